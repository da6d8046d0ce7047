#pragma once

// The main window frmMain: start-up and exit, device and command selection, Send, Record, Save
// and Delete, the receiver settings, the menus, the tray icon and the four timers. Every
// control carries the system's control name as its objectName. The window holds the program's
// state and calls the core for every action; what a device kind shows comes from
// presentation.h.

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "qvx/bluetooth/phoneremote.h"
#include "qvx/config/devices.h"
#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/receivers.h"
#include "qvx/monitor/executor.h"
#include "qvx/monitor/monitoring.h"
#include "qvx/ui/model/presentation.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;

namespace qvx::ui {

class SignalView;

// The address the Web Page menu opens.
inline constexpr std::string_view kProjectPage = "https://zarvel.example.org/";

class frmMain final : public QMainWindow {
 public:
  struct Options {
    std::filesystem::path configPath;  // pelgrin.cfg
    std::filesystem::path programDir;  // the icons and the manual
    // Answers the questions and shows the message boxes; null uses Qt dialogs.
    Prompter* dialogs = nullptr;
    int splashWaitMs = 1000;  // the pause after the splash window appears
    // Told every text the splash window shows, in order.
    std::function<void(std::string_view)> splashShown;
    // Opens a file or web address with the desktop's viewer; empty uses the desktop's.
    std::function<void(const std::string&)> openUrl;
  };

  explicit frmMain(Options options);
  ~frmMain() override;

  // The window's load event: start-up in the system's order, ending with the window shown (or
  // in the tray when monitoring starts). False when the configuration is invalid; the user has
  // been told and the window is closed.
  bool Start();

  // Timer handlers, called by the timers and directly by tests.
  void SecondTimerTick();
  // IRMonTimer: the monitoring ticks of one firing; they block while they sample and after a
  // received command.
  void IRMonTimerTick();
  // BTMonTimer: one poll of the phone; BTAutoTimer: the phone's reconnection in Auto mode.
  void BTMonTimerTick();
  void BTAutoTimerTick();

  // A click on the tray icon: the right button opens the tray menu, the left does nothing.
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);

  ConfigStore& Store() { return store_; }
  // Monitoring of the window; the phone link connects itself here (SetPhoneLink).
  monitor::Monitoring& Monitor() { return *monitor_; }
  bluetooth::PhoneRemote& Phone() { return *phone_; }
  const ircode::IrInterface& Interface() const { return iface_; }
  int SecondTicks() const { return secondTicks_; }

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void BuildTimers();
  void Wire();
  QAction* Action(std::string_view name) const;

  void SetStatus(std::string_view text);
  std::string StatusText() const;
  void SplashText(std::string_view text);
  void ApplyLayout(bool fullLayout);
  void ShowInterface();
  void UpdateTrayIcon();

  void LoadProtocolList();
  void DeviceChosen(int index);
  void ApplyChanges(const ControlChanges& changes, const CommandList& list);
  bool LoadDeviceParams(const std::string& device);
  void FillCommandList(const std::vector<std::string>& entries);
  void CommandChosen(int index);
  void SelectStored(const ircode::StoredCommand& stored);
  void ReloadCommands(std::string_view select);

  void SendPressed();
  void RecordPressed();
  void ApplyLearnResult(const ircode::LearnResult& result);
  void SavePressed();
  void DeleteCommandPressed();
  void DeleteDevicePressed();
  void NewDevicePressed();
  void EditDevicePressed();
  void ShowDeviceForm();
  void ShowImportForm();
  void AddApplicationPressed();
  void CalibratePressed();
  void ProcDelayPressed();
  void ReceiverChosen(int receiverType);
  void AutoDetectPressed();
  void FlagToggled(const MenuEntry& entry);
  void ComPortChosen(int index);
  void X10ConfigPressed();
  void MinButtonPressed();

  using MonitorAction = monitor::WindowRequests (monitor::Monitoring::*)();
  void RunMonitoring(MonitorAction action, bool fromTray = false);
  void ShowMonitorControls();
  bool Monitoring() const { return monitor_->MonitoringOn(); }
  void OpenEventEditor();
  // Shows a dialog with the main window disabled until it closes; then runs `closed`.
  void ShowWhileDisabled(QDialog* dialog, std::function<void()> closed = {});

  void PhoneWaitPump();
  void ShowPhoneControls(bool updateIcon = true);
  void OpenBluetoothConfig();

  void ClearSignal();
  void DrawSignal(std::string samples, BgrColour colour);
  void ZoomSignal(double factor);
  void ResetSignalView();
  void SetCodeBackground(ircode::Colour colour);
  void SetDimVisible(bool visible);
  void ClearInformation();
  QLabel* Label(std::string_view name) const;

  void Exit();
  void ClosePorts();
  void OpenUrl(const std::string& url);

  Options options_;
  ConfigStore store_;
  ircode::IrInterface iface_;
  platform::Services services_;  // the system's clock, input, programs and player
  monitor::ExecutorContext executor_;
  ircode::LearnContext learn_;
  std::unique_ptr<Prompter> ownDialogs_;
  std::unique_ptr<Prompter> prompter_;
  std::unique_ptr<monitor::Monitoring> monitor_;
  std::unique_ptr<bluetooth::PhoneRemote> phone_;
  bool started_ = false;
  bool fullLayout_ = true;
  int secondTicks_ = 0;
  ListColour deviceColour_;
  int plotScroll_ = 15;
  double plotZoom_ = 1.0;

  std::map<std::string, QWidget*, std::less<>> controls_;
  std::map<std::string, QAction*, std::less<>> actions_;
  QMenu* interfaceMenu_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QTimer* secondTimer_ = nullptr;
  QTimer* btMonTimer_ = nullptr;
  QTimer* btAutoTimer_ = nullptr;
  QTimer* irMonTimer_ = nullptr;
  QComboBox* protocol_ = nullptr;
  QComboBox* sendCmd_ = nullptr;
  QLineEdit* recCmd_ = nullptr;
  QLineEdit* execCmd_ = nullptr;
  QComboBox* comList_ = nullptr;
  QComboBox* zone_ = nullptr;
  QLineEdit* codeStr_ = nullptr;
  QLineEdit* sendPulse_ = nullptr;
  QLabel* statusBar_ = nullptr;
  QGroupBox* frame1_ = nullptr;
  QCheckBox* txd_ = nullptr;
  QCheckBox* irda_ = nullptr;
  QCheckBox* beep_ = nullptr;
  QScrollBar* dimScroll_ = nullptr;
  QScrollBar* hScroll_ = nullptr;
  SignalView* signal_ = nullptr;
  std::unique_ptr<QWidget> splash_;
};

}  // namespace qvx::ui
