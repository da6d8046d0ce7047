#include "qvx/ui/frm_main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include "platform/sound.h"
#include "pulsio/pulsio.h"
#include "qvx/config/editing.h"
#include "qvx/config/general.h"
#include "qvx/config/importform.h"
#include "qvx/config/text.h"
#include "qvx/devices/x10.h"
#include "qvx/devices/x10_config.h"
#include "qvx/ircode/calibration.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/monitor/eventeditor.h"
#include "qvx/monitor/texts.h"
#include "qvx/ui/frm_bt.h"
#include "qvx/ui/frm_monitor.h"
#include "qvx/ui/frm_wait_to_start.h"
#include "qvx/ui/frm_x10_config.h"
#include "qvx/ui/import_form.h"
#include "qvx/ui/model/messages.h"
#include "qvx/ui/new_protocol.h"
#include "qvx/ui/qt_prompter.h"
#include "qvx/ui/qt_text.h"
#include "qvx/ui/signal_view.h"

namespace qvx::ui {
namespace {

using ircode::Colour;

// Status texts go to the window's status line, everything else to the dialogs.
class WindowPrompter final : public Prompter {
 public:
  WindowPrompter(std::function<void(std::string_view)> status, Prompter& dialogs)
      : status_(std::move(status)), dialogs_(dialogs) {}
  void ShowStatus(std::string_view text) override { status_(text); }
  void ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) override {
    dialogs_.ShowMessage(text, icon, title);
  }
  bool AskYesNo(std::string_view question, std::string_view title, MessageIcon icon) override {
    return dialogs_.AskYesNo(question, title, icon);
  }
  bool AskOkCancel(std::string_view text, std::string_view title, MessageIcon icon) override {
    return dialogs_.AskOkCancel(text, title, icon);
  }
  std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                     std::string_view initial) override {
    return dialogs_.AskText(title, prompt, initial);
  }
  std::optional<std::string> AskOpenFile(std::string_view title, std::string_view filter) override {
    return dialogs_.AskOpenFile(title, filter);
  }
  std::optional<std::string> AskSaveFile(std::string_view title, std::string_view filter,
                                         std::string_view defaultExt) override {
    return dialogs_.AskSaveFile(title, filter, defaultExt);
  }

 private:
  std::function<void(std::string_view)> status_;
  Prompter& dialogs_;
};

constexpr std::string_view kDeviceMenus[] = {"FileNewMenu", "EditMenu", "ProtoDeleteMenu",
                                             "CalibrationMenu", "MenuProcDelay"};
constexpr std::string_view kInformationLabels[] = {"GProt", "BitNr", "Rpt", "GType", "AddrVal",
                                                   "CmdVal", "ToggleVal", "IRCommand"};

QColor QtColour(BgrColour colour) {
  const Rgb rgb = RgbOf(colour);
  return QColor(rgb.red, rgb.green, rgb.blue);
}

// A list's background: a colour of its own or the system's button face.
void SetListBackground(QWidget* widget, ListColour colour) {
  QPalette palette = QApplication::palette(widget);
  const QColor shown = colour ? QtColour(*colour) : palette.color(QPalette::Button);
  palette.setColor(QPalette::Button, shown);
  palette.setColor(QPalette::Base, shown);
  widget->setPalette(palette);
}

void SetTextColour(QWidget* widget, std::optional<QColor> colour) {
  QPalette palette = QApplication::palette(widget);
  if (colour) {
    palette.setColor(QPalette::WindowText, *colour);
    palette.setColor(QPalette::Text, *colour);
  }
  widget->setPalette(palette);
}

BgrColour TraceColour(Colour colour) { return colour == Colour::Green ? kGreen : kRed; }

std::string Trimmed(const QString& text) { return std::string(TrimBlanks(FromQt(text))); }

}  // namespace

frmMain::frmMain(Options options)
    : options_(std::move(options)), services_(platform::SystemServices()),
      executor_(store_, Variant::MainProgram, services_) {
  setObjectName(QStringLiteral("frmMain"));
  if (!options_.dialogs) ownDialogs_ = std::make_unique<QtPrompter>(this, [this](std::string_view t) {
    SetStatus(t);
  });
  prompter_ = std::make_unique<WindowPrompter>([this](std::string_view text) { SetStatus(text); },
                                               options_.dialogs ? *options_.dialogs : *ownDialogs_);
  monitor_ = std::make_unique<monitor::Monitoring>(executor_, *prompter_);
  phone_ = std::make_unique<bluetooth::PhoneRemote>(store_, *monitor_, services_.clock);
  monitor_->SetPhoneLink(*phone_);
  phone_->SetEventPump([this] { PhoneWaitPump(); });
  BuildControls();
  BuildMenus();
  BuildTimers();
  Wire();
}

frmMain::~frmMain() {
  // Open dialogs go first, while the window they enable again on closing is still whole.
  qDeleteAll(findChildren<QDialog*>(Qt::FindDirectChildrenOnly));
  ClosePorts();
}

// ---- construction -------------------------------------------------------------------------

void frmMain::BuildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  const auto make = [&](std::string_view name) -> QWidget* {
    if (name == "Protocol" || name == "SendCmd" || name == "ComList" || name == "Zone")
      return new QComboBox(central);
    if (name == "RecCmd" || name == "ExecCmd" || name == "CodeStr" || name == "SendPulse")
      return new QLineEdit(central);
    if (name.ends_with("Button") || name == "GExt" || name == "Gshr" || name == "GReset")
      return new QPushButton(central);
    if (name.ends_with("CheckBox") || name == "BeepCheckbox") return new QCheckBox(central);
    if (name == "DIMScroll" || name == "HScroll1") return new QScrollBar(Qt::Horizontal, central);
    if (name == "Signal") return new SignalView(central);
    if (name == "Frame1") return new QGroupBox(central);
    return new QLabel(central);
  };
  for (const Placement& place : ControlPlacements()) {
    QWidget* widget = make(place.name);
    widget->setObjectName(ToQt(place.name));
    widget->setGeometry(Pixels(place.left), Pixels(place.top), Pixels(place.width),
                        Pixels(place.height));
    if (!place.caption.empty()) {
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(ToQt(place.caption));
      if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(ToQt(place.caption));
    }
    controls_.emplace(std::string(place.name), widget);
  }
  // The frame sits behind the information labels it groups.
  controls_.at("Frame1")->lower();

  protocol_ = qobject_cast<QComboBox*>(controls_.at("Protocol"));
  sendCmd_ = qobject_cast<QComboBox*>(controls_.at("SendCmd"));
  comList_ = qobject_cast<QComboBox*>(controls_.at("ComList"));
  zone_ = qobject_cast<QComboBox*>(controls_.at("Zone"));
  recCmd_ = qobject_cast<QLineEdit*>(controls_.at("RecCmd"));
  execCmd_ = qobject_cast<QLineEdit*>(controls_.at("ExecCmd"));
  codeStr_ = qobject_cast<QLineEdit*>(controls_.at("CodeStr"));
  sendPulse_ = qobject_cast<QLineEdit*>(controls_.at("SendPulse"));
  frame1_ = qobject_cast<QGroupBox*>(controls_.at("Frame1"));
  txd_ = qobject_cast<QCheckBox*>(controls_.at("TxDCheckBox"));
  irda_ = qobject_cast<QCheckBox*>(controls_.at("IrDACheckBox"));
  beep_ = qobject_cast<QCheckBox*>(controls_.at("BeepCheckbox"));
  dimScroll_ = qobject_cast<QScrollBar*>(controls_.at("DIMScroll"));
  hScroll_ = qobject_cast<QScrollBar*>(controls_.at("HScroll1"));
  signal_ = static_cast<SignalView*>(controls_.at("Signal"));

  statusBar_ = new QLabel(central);
  statusBar_->setObjectName(QStringLiteral("StatusBar"));
  statusBar_->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  recCmd_->setReadOnly(true);
  execCmd_->setReadOnly(true);
  recCmd_->hide();
  execCmd_->hide();
  sendPulse_->setToolTip(ToQt(kTipPulseLength));
  txd_->setToolTip(ToQt(kTipTxd));
  zone_->setToolTip(ToQt(kTipZone));
  Label("ZoneNr")->setToolTip(ToQt(kTipZoneNr));
  dimScroll_->setRange(0, 100);
  dimScroll_->setValue(50);
  Label("DimVal")->setText(QStringLiteral("50%"));
  SetDimVisible(false);
  Label("ToggleVal")->hide();
  for (std::string_view name : {"Zone", "ZoneNr", "FirmAnswer"}) controls_.at(std::string(name))->hide();
  ApplyLayout(true);
}

void frmMain::BuildMenus() {
  std::map<std::string_view, QMenu*> menus;
  for (const Menu& menu : Menus()) {
    auto* qmenu = new QMenu(ToQt(menu.caption), this);
    qmenu->setObjectName(ToQt(menu.name));
    // The tray menu is only ever a pop-up.
    if (menu.name != kTrayMenu) menuBar()->addMenu(qmenu);
    menus.emplace(menu.name, qmenu);
  }
  for (const MenuEntry& entry : MenuEntries()) {
    QAction* action = menus.at(entry.menu)->addAction(ToQt(entry.caption));
    action->setObjectName(ToQt(entry.name));
    const bool monitorEntry = entry.name.starts_with("Monitoring") ||
                              entry.name == "mnuStartMonitor" || entry.name == "mnuStopMonitor";
    action->setCheckable(!entry.checkKey.empty() || entry.receiverType >= 0 || monitorEntry);
    actions_.emplace(std::string(entry.name), action);
  }
  interfaceMenu_ = menus.at("InterfaceMenu");
  trayMenu_ = menus.at(kTrayMenu);
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(this);
    tray_->setObjectName(QStringLiteral("TrayIcon"));
  }
}

void frmMain::BuildTimers() {
  const auto make = [this](const char* name, int intervalMs) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
  };
  secondTimer_ = make("SecondTimer", 200);
  btMonTimer_ = make("BTMonTimer", 100);
  btAutoTimer_ = make("BTAutoTimer", 2000);
  irMonTimer_ = make("IRMonTimer", monitor::kIrMonTimerIntervalMs);
  secondTimer_->start();
  btMonTimer_->start();
}

// Every signal of the window is connected here.
void frmMain::Wire() {
  const auto button = [this](std::string_view name) {
    return qobject_cast<QPushButton*>(controls_.at(std::string(name)));
  };
  const auto onTrigger = [this](std::string_view name, auto handler) {
    connect(Action(name), &QAction::triggered, this, handler);
  };

  connect(protocol_, &QComboBox::activated, this, [this](int index) { DeviceChosen(index); });
  connect(sendCmd_, &QComboBox::activated, this, [this](int index) { CommandChosen(index); });
  connect(comList_, &QComboBox::activated, this, [this](int index) { ComPortChosen(index); });
  connect(button("SendButton"), &QPushButton::clicked, this, [this] { SendPressed(); });
  connect(button("RecButton"), &QPushButton::clicked, this, [this] { RecordPressed(); });
  connect(button("SaveCmdButton"), &QPushButton::clicked, this, [this] { SavePressed(); });
  connect(button("DeleteCmdButton"), &QPushButton::clicked, this, [this] { DeleteCommandPressed(); });
  connect(button("MinButton"), &QPushButton::clicked, this, [this] { MinButtonPressed(); });
  connect(button("GExt"), &QPushButton::clicked, this, [this] { ZoomSignal(2.0); });
  connect(button("Gshr"), &QPushButton::clicked, this, [this] { ZoomSignal(0.5); });
  connect(button("GReset"), &QPushButton::clicked, this, [this] { ResetSignalView(); });
  connect(hScroll_, &QScrollBar::valueChanged, this, [this](int value) {
    plotScroll_ = value;
    signal_->Redraw(QtColour(kCyan), plotScroll_, plotZoom_);
  });
  connect(dimScroll_, &QScrollBar::valueChanged, this,
          [this](int value) { Label("DimVal")->setText(QString::number(value) + "%"); });
  connect(txd_, &QCheckBox::clicked, this, [this](bool ticked) {
    ircode::SetTxdOutput(iface_, store_, ticked);
    ShowInterface();
  });
  connect(irda_, &QCheckBox::clicked, this, [this](bool ticked) {
    ircode::SetIrdaOutput(iface_, ticked, *prompter_);
    ShowInterface();
  });
  connect(beep_, &QCheckBox::clicked, this,
          [this](bool ticked) { SetGeneralParam(store_, "BEEPON", ticked ? "1" : "0"); });

  onTrigger("FileNewMenu", [this] { NewDevicePressed(); });
  onTrigger("EditMenu", [this] { EditDevicePressed(); });
  onTrigger("ProtoDeleteMenu", [this] { DeleteDevicePressed(); });
  onTrigger("FileImportMenu", [this] {
    if (OpenImportFile(store_, *prompter_)) ShowImportForm();
  });
  onTrigger("FileSaveMenu", [this] {
    BeginExport(store_);
    ShowImportForm();
  });
  onTrigger("AddApplicationMenu", [this] { AddApplicationPressed(); });
  onTrigger("CalibrationMenu", [this] { CalibratePressed(); });
  onTrigger("MenuProcDelay", [this] { ProcDelayPressed(); });
  onTrigger("FileExit", [this] { Exit(); });
  onTrigger("AutoDetectMenu", [this] { AutoDetectPressed(); });
  onTrigger("X10ConfMenu", [this] { X10ConfigPressed(); });
  onTrigger("BluetoothConfigMenu", [this] { OpenBluetoothConfig(); });
  onTrigger("AddPluginMenu", [this] { SetStatus(ircode::kNotYetImplemented); });
  onTrigger("RemovePluginMenu", [this] { SetStatus(ircode::kNotYetImplemented); });
  // Restart runs Stop and Start in turn, so that the device selection of Stop comes between.
  using monitor::Monitoring;
  onTrigger("MonitoringStartMenu", [this] { RunMonitoring(&Monitoring::Start); });
  onTrigger("MonitoringStopMenu", [this] { RunMonitoring(&Monitoring::Stop); });
  onTrigger("RestartMonMenu", [this] {
    RunMonitoring(&Monitoring::Stop);
    RunMonitoring(&Monitoring::Start);
  });
  onTrigger("MonitorConfigureMenu", [this] { OpenEventEditor(); });
  onTrigger("HelpContentMenu", [this] { OpenUrl((options_.programDir / "qvx.html").string()); });
  onTrigger("WebPageMenu", [this] { OpenUrl(std::string(kProjectPage)); });
  onTrigger("UpdateMenu", [this] {
    prompter_->ShowMessage(ircode::kNotYetImplemented, MessageIcon::NoIcon, kMessageTitle);
  });
  onTrigger("AboutMenu", [this] {
    prompter_->ShowMessage(std::string(kAboutTitle) + store_.version + "\r\n" + std::string(kAuthors),
                           MessageIcon::Information, kMessageTitle);
  });
  onTrigger("mnuRestore", [this] {
    showNormal();
    activateWindow();
  });
  onTrigger("mnuStartMonitor", [this] { RunMonitoring(&Monitoring::TrayStart, true); });
  onTrigger("mnuStopMonitor", [this] { RunMonitoring(&Monitoring::TrayStop, true); });
  onTrigger("mnuRestartMonitor", [this] {
    RunMonitoring(&Monitoring::Stop);
    RunMonitoring(&Monitoring::Start);
  });
  onTrigger("mnuExit", [this] { close(); });
  for (const MenuEntry& entry : MenuEntries()) {
    // A menu's check mark shows state: a click must not turn it over by itself.
    if (!entry.checkKey.empty() && !entry.toggles)
      onTrigger(entry.name, [this, &entry] {
        Action(entry.name)->setChecked(GeneralFlag(store_.general, entry.checkKey).value_or(false));
      });
    if (entry.receiverType >= 0)
      onTrigger(entry.name, [this, type = entry.receiverType] { ReceiverChosen(type); });
    if (entry.toggles) onTrigger(entry.name, [this, &entry] { FlagToggled(entry); });
  }

  connect(secondTimer_, &QTimer::timeout, this, [this] { SecondTimerTick(); });
  connect(irMonTimer_, &QTimer::timeout, this, [this] { IRMonTimerTick(); });
  connect(btMonTimer_, &QTimer::timeout, this, [this] { BTMonTimerTick(); });
  connect(btAutoTimer_, &QTimer::timeout, this, [this] { BTAutoTimerTick(); });
  if (tray_) connect(tray_, &QSystemTrayIcon::activated, this, &frmMain::TrayActivated);
}

QAction* frmMain::Action(std::string_view name) const { return actions_.find(name)->second; }

QLabel* frmMain::Label(std::string_view name) const {
  return qobject_cast<QLabel*>(controls_.find(name)->second);
}

// ---- start-up and exit --------------------------------------------------------------------

void frmMain::SplashText(std::string_view text) {
  if (auto* splash = static_cast<frmWaitToStart*>(splash_.get())) splash->SetStatus(text);
  if (options_.splashShown) options_.splashShown(text);
}

bool frmMain::Start() {
  auto splash = std::make_unique<frmWaitToStart>();
  splash->show();
  splash_ = std::move(splash);
  SplashText(kSplashLoading);
  if (options_.splashWaitMs > 0) {
    QEventLoop wait;
    QTimer::singleShot(options_.splashWaitMs, &wait, &QEventLoop::quit);
    wait.exec();
  }

  store_.codeValidated = false;
  store_.path = options_.configPath;
  const LoadResult loaded = LoadGeneral(store_);
  if (!loaded.ok) {
    splash_.reset();
    prompter_->ShowMessage(std::string(kConfigurationError) + "(" + loaded.reason + ")\r\n" +
                               std::string(kSupportLine),
                           MessageIcon::Critical, kMessageTitle);
    close();
    return false;
  }
  started_ = true;
  const GeneralParams& general = store_.general;
  setWindowTitle(ToQt(std::string(kMainCaption) + store_.version));
  if (general.irInEna || general.irOutEna) SplashText(kSplashInterface);
  ShowStoredInterface(iface_.controls, general.receiverType, general.outputMode);
  ShowInterface();
  beep_->setChecked(general.beepOn);
  if (general.btMode == 0) btAutoTimer_->start(); else btAutoTimer_->stop();
  if (general.irInEna) SplashText(kSplashInfraredIn);
  if (general.irOutEna) SplashText(kSplashInfraredOut);
  if (general.x10Ena) SplashText(kSplashX10);
  for (const MenuEntry& entry : MenuEntries())
    if (const auto flag = GeneralFlag(general, entry.checkKey)) Action(entry.name)->setChecked(*flag);
  const bool firm = general.receiverType == ircode::kReceiverFirm;
  zone_->clear();
  if (firm) for (int zone = 1; zone <= 8; ++zone) zone_->addItem(QString::number(zone));
  zone_->setVisible(firm);
  fullLayout_ = true;

  if (const std::string status = ircode::ListAvailableCOM(iface_, store_); !status.empty())
    SetStatus(status);
  ShowInterface();
  beep_->setChecked(general.beepOn);
  if (general.beepOn) {
    for (const int hz : {5000, 2000, 5000}) platform::Beep(services_.clock, static_cast<uint32_t>(hz), 50);
  }
  LoadProtocolList();
  Label("ProcDelayparameter")->setText(QString::number(general.procDelay));
  hScroll_->setValue(0);
  const bool monitorAtStart = general.monitor;
  RunMonitoring(monitorAtStart ? &monitor::Monitoring::Start : &monitor::Monitoring::Stop);
  SetStatus(kStarted);
  UpdateTrayIcon();
  splash_.reset();
  if (monitorAtStart && tray_) {
    // Minimised while still hidden, so that the tray takes it without the window ever being
    // mapped: showMinimized would map it again after the tray had hidden it.
    setWindowState(windowState() | Qt::WindowMinimized);
  } else if (monitorAtStart) {
    showMinimized();
  } else {
    show();
  }
  return true;
}

void frmMain::Exit() {
  ircode::CloseIrPort(iface_);
  iface_.handle = platform::kPortClosed;
  devices::CloseX10Port(executor_.x10);
  // Every change was saved when it was made, so a file another program saved since is kept:
  // CommitConfigText refuses to write over it.
  if (started_) CommitConfigText(store_, store_.text);
  close();
}

void frmMain::ClosePorts() {
  ircode::CloseIrPort(iface_);
  iface_.handle = platform::kPortClosed;
  devices::CloseX10Port(executor_.x10);
  phone_->ClosePhonePort();
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (tray_) tray_->hide();
  ClosePorts();
  if (started_) CommitConfigText(store_, store_.text);  // kept as in Exit when changed meanwhile
  event->accept();
  QCoreApplication::quit();
}

void frmMain::OpenUrl(const std::string& url) {
  if (options_.openUrl) {
    options_.openUrl(url);
  } else if (url.starts_with("http")) {
    QDesktopServices::openUrl(QUrl(ToQt(url)));
  } else {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(url)));
  }
}

// ---- status line, layout, tray ------------------------------------------------------------

void frmMain::SetStatus(std::string_view text) { statusBar_->setText(ToQt(text)); }

std::string frmMain::StatusText() const { return FromQt(statusBar_->text()); }

void frmMain::ApplyLayout(bool fullLayout) {
  const LayoutGeometry geometry = GeometryOf(fullLayout);
  statusBar_->setGeometry(Pixels(60), Pixels(geometry.statusTop), Pixels(geometry.statusWidth),
                          Pixels(285));
  qobject_cast<QPushButton*>(controls_.at("MinButton"))->setText(fullLayout ? "<<" : ">>");
  setFixedSize(Pixels(geometry.windowWidth), Pixels(geometry.windowHeight));
  // The compact layout shows the window down to its status line only.
  if (fullLayout) {
    centralWidget()->clearMask();
  } else {
    centralWidget()->setMask(QRegion(0, 0, width(), statusBar_->geometry().bottom() + 2));
  }
}

void frmMain::ShowInterface() {
  const ircode::InterfaceControls& c = iface_.controls;
  comList_->clear();
  for (const std::string& entry : c.comList) comList_->addItem(ToQt(entry));
  comList_->setCurrentIndex(c.comSelected);
  SetTextColour(comList_, c.comListText == Colour::Red     ? std::optional<QColor>(Qt::red)
                          : c.comListText == Colour::Green ? std::optional<QColor>(Qt::darkGreen)
                                                           : std::nullopt);
  Label("ReceiverType")->setText(ToQt(c.receiverCaption));
  for (const MenuEntry& entry : MenuEntries())
    if (entry.receiverType >= 0) Action(entry.name)->setChecked(entry.receiverType == c.tickedReceiverMenu);
  txd_->setChecked(c.txdChecked);
  txd_->setEnabled(c.txdEnabled);
  irda_->setChecked(c.irdaChecked);
  irda_->setEnabled(c.irdaEnabled);
  for (std::string_view name : {"Zone", "ZoneNr", "FirmAnswer"})
    controls_.at(std::string(name))->setVisible(c.firmControlsVisible);
}

void frmMain::UpdateTrayIcon() {
  monitor_->UpdateTrayIcon();
  const QIcon icon(ToQt((options_.programDir / monitor_->Controls().icon).string()));
  setWindowIcon(icon);
  if (tray_ && tray_->isVisible()) {
    tray_->setIcon(icon);
    tray_->setToolTip(windowTitle().left(63));
  }
}

void frmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !tray_) return;
  if (isMinimized()) {
    hide();
    tray_->setContextMenu(nullptr);
    tray_->show();
    Action("mnuStopMonitor")->setChecked(!Monitoring());
    Action("mnuStartMonitor")->setChecked(Monitoring());
    UpdateTrayIcon();
  } else {
    tray_->hide();
  }
}

void frmMain::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Context) trayMenu_->popup(QCursor::pos());
}

void frmMain::SecondTimerTick() {
  ++secondTicks_;
  phone_->SecondTick();
}

// ---- devices and commands -----------------------------------------------------------------

void frmMain::LoadProtocolList() {
  protocol_->clear();
  for (const std::string& device : FillListFromText(BuildDeviceList(store_, Variant::MainProgram)))
    protocol_->addItem(ToQt(device));
  protocol_->setCurrentIndex(0);
  DeviceChosen(0);
}

void frmMain::DeviceChosen(int index) {
  if (index < 0) return;
  const std::string device = FromQt(protocol_->itemText(index));
  SetStatus("");
  ClearSignal();
  SetGeneralParam(store_, "PROTOCOL", " " + std::to_string(index));
  const CommandList list = LoadCommandList(store_, device);
  SelectionFacts facts;
  facts.device = device;
  facts.fullLayout = fullLayout_;
  facts.irOutEnabled = store_.general.irOutEna;
  facts.receiverType = store_.general.receiverType;
  facts.x10Com = store_.general.x10Com;
  facts.listAllowsSend = list.sendEnabled;
  facts.version = store_.version;
  const DeviceSelection selection = SelectDevice(facts);
  ApplyChanges(selection.first, list);
  if (selection.loadParams && !LoadDeviceParams(device)) return;
  if (selection.afterwards) ApplyChanges(*selection.afterwards, list);
}

void frmMain::ApplyChanges(const ControlChanges& c, const CommandList& list) {
  const auto enable = [this](std::string_view name, std::optional<bool> on) {
    if (on) controls_.at(std::string(name))->setEnabled(*on);
  };
  enable("SendButton", c.sendEnabled);
  enable("RecButton", c.recordEnabled);
  enable("SaveCmdButton", c.saveEnabled);
  enable("DeleteCmdButton", c.deleteCommandEnabled);
  if (c.deviceListColour) {
    deviceColour_ = *c.deviceListColour;
    SetListBackground(protocol_, deviceColour_);
  }
  if (c.commandListColour) SetListBackground(sendCmd_, *c.commandListColour);
  if (c.caption) setWindowTitle(ToQt(*c.caption));
  if (c.fullLayout) {
    fullLayout_ = *c.fullLayout;
    ApplyLayout(fullLayout_);
  }
  if (c.deviceMenusVisible)
    for (std::string_view name : kDeviceMenus) Action(name)->setVisible(*c.deviceMenusVisible);
  if (c.interfaceMenuVisible) interfaceMenu_->menuAction()->setVisible(*c.interfaceMenuVisible);
  if (c.addApplicationVisible) Action("AddApplicationMenu")->setVisible(*c.addApplicationVisible);
  if (c.zoneVisible) zone_->setVisible(*c.zoneVisible);
  if (c.dimVisible) SetDimVisible(*c.dimVisible);
  if (c.rts) ircode::SetRtsLine(*c.rts, iface_.handle);
  if (c.closeX10Port) devices::CloseX10Port(executor_.x10);
  if (c.initIrMan) ircode::InitIRMan(iface_, *prompter_, services_.clock);
  if (c.loadX10Names) devices::LoadX10Section(executor_.x10.names, store_.text);
  if (c.refillZone) {
    zone_->clear();
    for (int zone = 1; zone <= 8; ++zone) zone_->addItem(QString::number(zone));
    zone_->setCurrentIndex(0);
    zone_->setToolTip(ToQt(kTipZone));
  }
  if (c.clearCommandLabel) Label("IRCommand")->clear();
  if (c.clearRecordedFields) {
    codeStr_->clear();
    sendPulse_->clear();
    SetCodeBackground(Colour::Default);
    ClearInformation();
  }
  if (c.clearPulseLengths) {
    Label("plen0")->clear();
    Label("plen1")->clear();
  }
  if (c.commandListToolTip) sendCmd_->setToolTip(ToQt(*c.commandListToolTip));
  if (c.toolTipByColour) {
    const auto tip = DeviceListToolTip(
        deviceColour_, GetDeviceDescription(store_, FromQt(protocol_->currentText()), false));
    if (tip) protocol_->setToolTip(ToQt(*tip));
  }
  if (c.commandList) {
    switch (*c.commandList) {
      case CommandFill::X10Commands: FillCommandList(FillListFromText(kX10Commands)); break;
      case CommandFill::Stored: FillCommandList(list.entries); break;
      case CommandFill::PhoneEvents: FillCommandList(FillListFromText(kBluetoothEvents)); break;
    }
  }
}

bool frmMain::LoadDeviceParams(const std::string& device) {
  const auto texts = FindDeviceParams(store_.text, device, ParamScope::AcceptBeyondSection);
  if (!texts) return false;
  const auto params = ircode::DeviceParamsFromTexts(texts->gproto, texts->sendpls, texts->repeat,
                                                    texts->bitg, texts->bit0, texts->bit1,
                                                    texts->grepeat);
  if (!params) return false;
  executor_.send.params = *params;
  sendPulse_->setText(ToQt(" " + std::to_string(params->sendplsUs)));
  return true;
}

void frmMain::FillCommandList(const std::vector<std::string>& entries) {
  sendCmd_->clear();
  for (const std::string& entry : entries) sendCmd_->addItem(ToQt(entry));
  if (sendCmd_->count() == 0) return;
  sendCmd_->setCurrentIndex(0);
  CommandChosen(0);
}

void frmMain::CommandChosen(int index) {
  if (index < 0) return;
  store_.currentCommand = FromQt(sendCmd_->itemText(index));
  store_.currentDevice = FromQt(protocol_->currentText());
  const std::string& device = store_.currentDevice;
  if (GetDeviceKind(device) == DeviceKind::X10) SetDimVisible(DimVisibleFor(store_.currentCommand));
  if (const auto stored = FindCommandCode(store_.text, device, store_.currentCommand)) {
    if (const auto code = CodeFieldText(device, *stored)) {
      codeStr_->setText(ToQt(*code));
      // A stored code is not the learned one whose validation the colour showed.
      SetCodeBackground(Colour::Default);
      if (GetDeviceKind(device) == DeviceKind::Infrared)
        Label("BitNr")->setText(QString::number(code->size() - 1));
    }
  }
  if (const auto tip = CodeFieldToolTip(device)) codeStr_->setToolTip(ToQt(*tip));
}

// Selects a device and then a command of it by name (first entry equal ignoring case), as a
// choice in the lists does.
void frmMain::SelectStored(const ircode::StoredCommand& stored) {
  for (int i = 0; i < protocol_->count(); ++i) {
    if (!EqualsIgnoreCase(FromQt(protocol_->itemText(i)), stored.device)) continue;
    protocol_->setCurrentIndex(i);
    DeviceChosen(i);
    break;
  }
  for (int i = 0; i < sendCmd_->count(); ++i) {
    if (!EqualsIgnoreCase(FromQt(sendCmd_->itemText(i)), stored.command)) continue;
    sendCmd_->setCurrentIndex(i);
    CommandChosen(i);
    break;
  }
}

// Fills the command list of the selected device again and selects `select` (or the first).
void frmMain::ReloadCommands(std::string_view select) {
  FillCommandList(LoadCommandList(store_, FromQt(protocol_->currentText())).entries);
  for (int i = 0; i < sendCmd_->count(); ++i) {
    if (!EqualsIgnoreCase(FromQt(sendCmd_->itemText(i)), select)) continue;
    sendCmd_->setCurrentIndex(i);
    CommandChosen(i);
    break;
  }
}

// ---- Send ---------------------------------------------------------------------------------

void frmMain::SendPressed() {
  auto* send = controls_.at("SendButton");
  irMonTimer_->stop();
  ircode::SetDtrLine(false, iface_.handle);
  const std::string device = store_.currentDevice;
  const bool withCode = !SendsWithoutCode(device);
  const auto finish = [&] {
    if (store_.general.receiverType == ircode::kReceiverIRMan) ircode::SetDtrLine(true, iface_.handle);
    send->setEnabled(true);
    if (Monitoring()) irMonTimer_->start();
  };
  if (withCode) {
    if (NoCommandSelected(store_.currentCommand)) {
      SetStatus(kNoCommandSelected);
      return finish();
    }
    for (std::string_view name : kInformationLabels) SetTextColour(Label(name), std::nullopt);
    Label("plen0")->clear();
    Label("plen1")->clear();
    ClearSignal();
    if (const auto refusal = CodeRefusal(learn_.codeStrBack == Colour::Red, FromQt(codeStr_->text()))) {
      SetStatus(*refusal);
      return finish();
    }
    send->setEnabled(false);
  }

  executor_.irPort = iface_.handle;
  executor_.display.reset();
  monitor::WindowFields& fields = executor_.window;
  fields.source = monitor::CodeSource::Window;
  fields.codeStr = FromQt(codeStr_->text());
  fields.sendPulse = FromQt(sendPulse_->text());
  fields.recorded = {FromQt(Label("BitNr")->text()), FromQt(Label("Rpt")->text()),
                     FromQt(Label("GType")->text()), learn_.codingType};
  fields.x10Function = sendCmd_->currentIndex();
  fields.dimAmount = dimScroll_->value();
  SetStatus(monitor::ExecuteCommand(executor_));
  if (executor_.display) {
    Label("GProt")->setText(ToQt(executor_.display->gProt));
    Label("Rpt")->setText(ToQt(executor_.display->rpt));
    if (executor_.display->gType) Label("GType")->setText(ToQt(*executor_.display->gType));
  }

  if (withCode) {
    if (fullLayout_) {
      const std::string code(TrimBlanks(fields.codeStr));
      const ircode::SignalView sent = ircode::RebuildSentSignal(
          code, executor_.send.params, static_cast<int>(ircode::LeadingNumber(fields.sendPulse)),
          executor_.send.rc5Toggle);
      DrawSignal(sent.samples, kGreen);
    }
    Label("IRCommand")->setText(ToQt(device + "&" + store_.currentCommand));
    Label("BitNr")->setText(QString::number(static_cast<int>(Trimmed(codeStr_->text()).size()) - 1));
  }
  finish();
}

// ---- Record, Save, Delete -----------------------------------------------------------------

void frmMain::RecordPressed() {
  auto* record = controls_.at("RecButton");
  record->setEnabled(false);
  ircode::LearnEnv env;
  env.beepOn = store_.general.beepOn;
  env.beep = [this](int hz, int ms) {
    platform::Beep(services_.clock, static_cast<uint32_t>(hz), static_cast<uint32_t>(ms));
  };
  env.findCode = [this](const std::string& bits) -> std::optional<ircode::StoredCommand> {
    if (!FindCodeInConfig(store_, bits, 0)) return std::nullopt;
    return ircode::StoredCommand{store_.currentDevice, store_.currentCommand};
  };
  const ircode::LearnResult result = ircode::RecordCommand(
      learn_, store_.general.receiverType, Monitoring() || irMonTimer_->isActive(),
      ircode::PulsioRecordSource(iface_.handle, store_.general.procDelay, services_.clock), env);
  store_.codeValidated = learn_.validated;
  if (result.fieldsCleared) {
    // The stored command is selected first, so that what the recording shows stays.
    if (result.selectStored && result.stored) SelectStored(*result.stored);
    ApplyLearnResult(result);
  } else {
    SetStatus(result.Status());
  }
  record->setEnabled(true);
}

void frmMain::ApplyLearnResult(const ircode::LearnResult& r) {
  const auto set = [this](std::string_view name, const std::string& text) {
    Label(name)->setText(ToQt(text));
  };
  codeStr_->setText(ToQt(r.codeStr));
  set("BitNr", r.bitNr);
  set("AddrVal", r.addrVal);
  set("CmdVal", r.cmdVal);
  set("ToggleVal", r.toggleVal);
  set("Rpt", r.rpt);
  set("IRCommand", r.irCommand);
  set("plen1", r.plen1);
  set("plen0", r.plen0);
  Label("ToggleVal")->setVisible(r.toggleVisible);
  SetTextColour(Label("BitNr"), r.bitNrColour == Colour::Red ? std::optional<QColor>(Qt::red) : std::nullopt);
  if (r.gProt) set("GProt", *r.gProt);
  if (r.gProtColour)
    SetTextColour(Label("GProt"), *r.gProtColour == Colour::Green ? QColor(0, 0x80, 0) : QColor(Qt::red));
  if (r.frame1) frame1_->setTitle(ToQt(*r.frame1));
  if (r.sendPulse) sendPulse_->setText(ToQt(*r.sendPulse));
  if (r.gType) set("GType", *r.gType);
  SetCodeBackground(r.codeStrBack);
  SetStatus(r.Status());
  if (r.plot) {
    plotZoom_ = 1.0;
    plotScroll_ = r.plot->scrollPosition;
    const QSignalBlocker block(hScroll_);
    hScroll_->setRange(r.plot->scrollMin, r.plot->scrollMax);
    hScroll_->setValue(r.plot->scrollValue);
    DrawSignal(r.plot->samples, TraceColour(r.plot->trace));
  }
}

void frmMain::SavePressed() {
  const std::string code = FromQt(codeStr_->text());
  const auto name = SaveCommand(store_, *prompter_, code, ircode::EarlierCodeOf(learn_, code));
  if (!name) return;
  learn_.validated = false;
  SetCodeBackground(Colour::Default);
  ReloadCommands(*name);
  Label("IRCommand")->setText(ToQt(store_.currentDevice + "&" + *name));
}

void frmMain::DeleteCommandPressed() {
  if (DeleteCommand(store_, *prompter_, FromQt(protocol_->currentText()),
                    FromQt(sendCmd_->currentText())))
    ReloadCommands("");
}

void frmMain::DeleteDevicePressed() {
  if (DeleteDevice(store_, *prompter_, FromQt(protocol_->currentText()))) LoadProtocolList();
}

void frmMain::NewDevicePressed() {
  if (BeginNewDevice(store_, *prompter_, FromQt(protocol_->currentText()))) ShowDeviceForm();
}

void frmMain::EditDevicePressed() {
  if (BeginEditDevice(store_, *prompter_, FromQt(protocol_->currentText()))) ShowDeviceForm();
}

// NewProtocol over the window; afterwards the device list is reloaded when a device was saved,
// and the remembered position is selected again.
void frmMain::ShowDeviceForm() {
  const ircode::MainWindowFields window{.codeStr = FromQt(codeStr_->text()),
                                        .bitNr = FromQt(Label("BitNr")->text()),
                                        .sendPulse = FromQt(sendPulse_->text()),
                                        .detectedProto = learn_.codingType,
                                        .params = executor_.send.params,
                                        .selectedPosition = protocol_->currentIndex()};
  int position = window.selectedPosition;
  std::optional<std::string> sendPulse;
  if (auto fields = ircode::OpenDeviceDialog(store_, *prompter_, window)) {
    NewProtocol dialog(this, store_, *prompter_, std::move(*fields),
                       BuildDeviceList(store_, Variant::MainProgram));
    const bool saved = dialog.exec() == QDialog::Accepted;
    position = dialog.ReturnPosition();
    if (saved) {
      LoadProtocolList();
      sendPulse = dialog.SavedSendPulse();
    }
  }
  SetStatus("");
  protocol_->setCurrentIndex(position);
  DeviceChosen(position);
  if (sendPulse) sendPulse_->setText(ToQt(*sendPulse));
}

// ImportForm in the mode store_.importMode; an import rebuilds the device list.
void frmMain::ShowImportForm() {
  ImportForm dialog(this, store_, *prompter_);
  const bool done = dialog.exec() == QDialog::Accepted;
  SetStatus("");
  if (done && store_.importMode) LoadProtocolList();
}

void frmMain::AddApplicationPressed() {
  if (AddApplication(store_, *prompter_)) DeviceChosen(protocol_->currentIndex());
}

// ---- receiver, calibration, plug-ins ------------------------------------------------------

void frmMain::CalibratePressed() {
  const ircode::CalibrationResult result = ircode::Calibrate(
      iface_, store_,
      [this](std::string_view title, std::string_view text) { return prompter_->AskOkCancel(text, title); },
      [this](int hz, int ms) {
        platform::Beep(services_.clock, static_cast<uint32_t>(hz), static_cast<uint32_t>(ms));
      });
  if (!result.started) return;
  SetStatus(result.status);
  if (result.sendPulse) sendPulse_->setText(ToQt(*result.sendPulse));
  if (result.procDelayShown) Label("ProcDelayparameter")->setText(ToQt(*result.procDelayShown));
  if (result.irCommandCleared) Label("IRCommand")->clear();
}

void frmMain::ProcDelayPressed() {
  if (const auto value = ircode::EnterProcDelay(store_, *prompter_))
    Label("ProcDelayparameter")->setText(QString::number(*value));
}

void frmMain::ReceiverChosen(int receiverType) {
  if (const std::string status =
          ircode::ChooseReceiverType(iface_, store_, receiverType, *prompter_, services_.clock);
      !status.empty())
    SetStatus(status);
  ShowInterface();
}

void frmMain::AutoDetectPressed() {
  SetStatus(ircode::AutoDetectInterface(iface_, store_, *prompter_, services_.clock));
  ShowInterface();
}

void frmMain::ComPortChosen(int index) {
  if (index < 0) return;
  const std::string entry = FromQt(comList_->itemText(index));
  devices::YieldX10PortToInfrared(executor_.x10, store_.general.x10Com, entry);
  ircode::ChangeComPort(iface_, store_, entry, *prompter_, services_.clock);
  ShowInterface();
}

void frmMain::FlagToggled(const MenuEntry& entry) {
  std::optional<bool> on;
  if (entry.checkKey == "IRINENA") {
    on = ircode::ToggleInfraredIn(store_);
    if (*on) interfaceMenu_->menuAction()->setVisible(true);
  } else if (entry.checkKey == "IROUTENA") {
    on = ircode::ToggleInfraredOut(store_);
  } else {
    on = ToggleGeneralFlag(store_, entry.checkKey);
  }
  Action(entry.name)->setChecked(on.value_or(GeneralFlag(store_.general, entry.checkKey).value_or(false)));
  LoadProtocolList();
}

void frmMain::X10ConfigPressed() {
  frmX10Config dialog(this, store_, executor_.x10, iface_.controls.comList, iface_.handle,
                      *prompter_);
  const bool saved = dialog.exec() == QDialog::Accepted;
  if (!saved) {
    SetStatus(kX10Cancelled);
    return;
  }
  Action("X10ConfMenu")->setChecked(store_.general.x10Ena);
  LoadProtocolList();
  SetStatus(kX10Saved);
}

void frmMain::MinButtonPressed() {
  const auto change =
      SwitchLayout(FromQt(protocol_->currentText()), Monitoring(), fullLayout_, store_.version);
  if (!change) return;
  fullLayout_ = change->fullLayout;
  ApplyLayout(fullLayout_);
  setWindowTitle(ToQt(change->caption));
  interfaceMenu_->menuAction()->setVisible(change->interfaceMenuVisible);
}

// ---- monitoring ---------------------------------------------------------------------------

void frmMain::RunMonitoring(MonitorAction action, bool fromTray) {
  executor_.irPort = iface_.handle;
  const monitor::WindowRequests requests = (*monitor_.*action)();
  if (requests.refreshSelection && !isMinimized()) {
    // The device selection clears the status line, so the stop message is shown after it.
    DeviceChosen(protocol_->currentIndex());
    SetStatus(monitor::texts::kMonitoringStopped);
  }
  if (requests.shrink && !isMinimized() && fullLayout_) {
    if (const auto change = SwitchLayout(FromQt(protocol_->currentText()), false, true, store_.version)) {
      fullLayout_ = change->fullLayout;
      ApplyLayout(fullLayout_);
      interfaceMenu_->menuAction()->setVisible(change->interfaceMenuVisible);
    }
  }
  ShowMonitorControls();
  if (fromTray) {
    Action("mnuStartMonitor")->setChecked(monitor_->Controls().trayStartChecked);
    Action("mnuStopMonitor")->setChecked(monitor_->Controls().trayStopChecked);
  }
}

// Mirrors what monitoring shows: menus, caption, the display swap, the timers and the icon.
void frmMain::ShowMonitorControls() {
  const monitor::MonitorControls& c = monitor_->Controls();
  Action("MonitoringStartMenu")->setChecked(c.startMenuChecked);
  Action("MonitoringStopMenu")->setChecked(c.stopMenuChecked);
  if (Monitoring()) setWindowTitle(ToQt(c.caption));
  Label("Label111")->setText(ToQt(c.label111));
  Label("Label112")->setText(ToQt(c.label112));
  recCmd_->setVisible(c.monitorFieldsShown);
  execCmd_->setVisible(c.monitorFieldsShown);
  for (QWidget* widget : {static_cast<QWidget*>(sendCmd_), static_cast<QWidget*>(protocol_),
                          controls_.at("SendButton")})
    widget->setVisible(!c.monitorFieldsShown);
  zone_->setVisible(!c.monitorFieldsShown && c.zoneShown);
  if (c.irMonTimer != irMonTimer_->isActive()) {
    if (c.irMonTimer) irMonTimer_->start(); else irMonTimer_->stop();
  }
  // Start enables the phone's reconnection only while the phone is on; Stop ends both phone
  // timers.
  if (c.btAutoTimer && !btAutoTimer_->isActive()) btAutoTimer_->start();
  if (c.stopMenuChecked) {
    btAutoTimer_->stop();
    btMonTimer_->stop();
  }
  ShowPhoneControls();
}

void frmMain::IRMonTimerTick() {
  executor_.irPort = iface_.handle;
  if (!monitor_->TimerTick()) return;
  const monitor::MonitorControls& c = monitor_->Controls();
  recCmd_->setText(ToQt(c.recCmd));
  execCmd_->setText(ToQt(c.execCmd));
  Label("plen1")->setText(ToQt(c.plen1));
  Label("plen0")->setText(ToQt(c.plen0));
}

void frmMain::OpenEventEditor() {
  if (!monitor::MayOpenEventEditor(store_, *prompter_)) return;
  ShowWhileDisabled(new frmMonitor(this, store_, *prompter_), [this] { SetStatus(""); });
}

void frmMain::ShowWhileDisabled(QDialog* dialog, std::function<void()> closed) {
  // The main window is unavailable while the dialog is open; the dialog itself stays usable.
  centralWidget()->setEnabled(false);
  menuBar()->setEnabled(false);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QObject::destroyed, this, [this, closed = std::move(closed)] {
    centralWidget()->setEnabled(true);
    menuBar()->setEnabled(true);
    if (closed) closed();
  });
  dialog->show();
}

// ---- the phone remote ---------------------------------------------------------------------

void frmMain::BTMonTimerTick() {
  const bool wasConnected = phone_->Connected();
  phone_->BTMonTick();
  ShowPhoneControls(wasConnected != phone_->Connected());
}

void frmMain::BTAutoTimerTick() {
  phone_->BTAutoTick();
  ShowPhoneControls();
}

// A reply wait of the phone lets the window's events and timers run, SecondTimer among them.
void frmMain::PhoneWaitPump() {
  const std::string& label = phone_->Controls().startupLabel;
  if (auto* splash = static_cast<frmWaitToStart*>(splash_.get()); splash && !label.empty())
    splash->SetStatus(label);
  QCoreApplication::processEvents();
  services_.clock.SleepMs(bluetooth::kWaitSliceMs);
}

// Mirrors the phone link: BTMonTimer, the received event and its outputs, RecCmd's colour and,
// when asked, the icon.
void frmMain::ShowPhoneControls(bool updateIcon) {
  const bluetooth::PhoneControls& p = phone_->Controls();
  if (p.btMonTimer != btMonTimer_->isActive()) {
    if (p.btMonTimer) btMonTimer_->start(); else btMonTimer_->stop();
  }
  const monitor::MonitorControls& c = monitor_->Controls();
  recCmd_->setText(ToQt(c.recCmd));
  execCmd_->setText(ToQt(c.execCmd));
  if (p.recCmdColour) {
    QPalette palette = recCmd_->palette();
    palette.setColor(QPalette::Base, QtColour(*p.recCmdColour));
    recCmd_->setPalette(palette);
  }
  if (updateIcon) UpdateTrayIcon();
}

void frmMain::OpenBluetoothConfig() {
  frmBT::Hooks hooks{
      .phoneInputChanged =
          [this](bool on) {
            Action("BluetoothConfigMenu")->setChecked(on);
            LoadProtocolList();
          },
      .autoTimerChanged =
          [this](bool run) {
            if (run) btAutoTimer_->start(); else btAutoTimer_->stop();
          },
  };
  ShowWhileDisabled(new frmBT(this, store_, *phone_, iface_.controls.comList, *prompter_,
                              std::move(hooks)));
}

// ---- fields and the signal view -----------------------------------------------------------

void frmMain::ClearSignal() { signal_->Clear(); }

void frmMain::DrawSignal(std::string samples, BgrColour colour) {
  signal_->Draw(std::move(samples), QtColour(colour), plotScroll_, plotZoom_);
}

void frmMain::ZoomSignal(double factor) {
  // A shown signal of at least 60 bytes (480 samples) and a slot length are needed.
  if (Trimmed(sendPulse_->text()).empty() || signal_->Samples().size() < 60 * 8) return;
  plotZoom_ *= factor;
  signal_->Redraw(QtColour(kCyan), plotScroll_, plotZoom_);
}

void frmMain::ResetSignalView() {
  plotZoom_ = 1.0;
  plotScroll_ = 15;
  const QSignalBlocker block(hScroll_);
  hScroll_->setValue(15);
  signal_->Redraw(QtColour(kCyan), plotScroll_, plotZoom_);
}

void frmMain::SetCodeBackground(Colour colour) {
  learn_.codeStrBack = colour;
  QPalette palette = QApplication::palette(codeStr_);
  switch (colour) {
    case Colour::Red: palette.setColor(QPalette::Base, QtColour(kRed)); break;
    case Colour::Green: palette.setColor(QPalette::Base, QtColour(kGreen)); break;
    case Colour::ButtonFace: palette.setColor(QPalette::Base, palette.color(QPalette::Button)); break;
    case Colour::Default: break;
  }
  codeStr_->setPalette(palette);
}

void frmMain::SetDimVisible(bool visible) {
  for (std::string_view name : {"DIMScroll", "DIMLabel", "DimVal"})
    controls_.at(std::string(name))->setVisible(visible);
}

void frmMain::ClearInformation() {
  for (std::string_view name : kInformationLabels) Label(name)->clear();
}

}  // namespace qvx::ui
