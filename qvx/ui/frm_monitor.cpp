#include "qvx/ui/frm_monitor.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "qvx/ui/place.h"
#include "qvx/ui/qt_text.h"

namespace qvx::ui {
namespace {

void Fill(QComboBox* list, const std::vector<std::string>& entries, int selected) {
  const QSignalBlocker block(list);
  list->clear();
  for (const std::string& entry : entries) list->addItem(ToQt(entry));
  list->setCurrentIndex(selected);
}

}  // namespace

frmMonitor::frmMonitor(QWidget* parent, ConfigStore& store, Prompter& prompter)
    : QDialog(parent), store_(store), prompter_(prompter) {
  setObjectName(QStringLiteral("frmMonitor"));
  setWindowTitle(QStringLiteral("Monitored events"));
  setFixedSize(Pixels(7200), Pixels(5400));

  auto* frame = Place(new QGroupBox(QStringLiteral("Add a new monitored event"), this),
                      "AddEventFrame", 120, 120, 6960, 1980);
  Caption(frame, "IN Dev", 120, 300);
  irDev_ = Place(new QComboBox(frame), "IRDev", 120, 540, 1560, 315);
  Caption(frame, "IN Cmd", 1800, 300);
  irCmd_ = Place(new QComboBox(frame), "IRCmd", 1800, 540, 1560, 315);
  Caption(frame, "Out Dev", 3480, 300);
  outDev_ = Place(new QComboBox(frame), "OutDev", 3480, 540, 1560, 315);
  Caption(frame, "Out Cmd", 5160, 300);
  outCmd_ = Place(new QComboBox(frame), "OutCmd", 5160, 540, 1560, 315);
  btDevLabel_ = Place(new QLabel(frame), "BtDevLabel", 120, 1020, 600, 240);
  btDevList_ = Place(new QComboBox(frame), "BTDevListCombo", 120, 1320, 3240, 315);
  Place(new QPushButton(QStringLiteral("Add"), frame), "AdMonButton", 5640, 1440, 1080, 360);

  Caption(this, "Available monitored events", 120, 2220, 3000);
  monEvent_ = Place(new QListWidget(this), "MonEvent", 120, 2520, 5640, 2640);
  Place(new QPushButton(QStringLiteral("Delete"), this), "Delete", 5880, 2520, 1200, 360);
  Place(new QPushButton(QStringLiteral("Clean"), this), "CleanButton", 5880, 3000, 1200, 360);
  Place(new QPushButton(QStringLiteral("Exit"), this), "Command2", 5880, 4800, 1200, 360);

  monitor::LoadEventEditor(editor_, store_);
  Show();
  Wire();
}

void frmMonitor::Wire() {
  const auto button = [this](const char* name) {
    return findChild<QPushButton*>(QString::fromLatin1(name));
  };
  connect(irDev_, &QComboBox::activated, this, [this](int index) {
    monitor::ChooseInputDevice(editor_, store_, index);
    Show();
  });
  connect(irCmd_, &QComboBox::activated, this, [this](int index) {
    monitor::ChooseInputCommand(editor_, index);
    Show();
  });
  connect(btDevList_, &QComboBox::activated, this, [this](int index) {
    monitor::ChoosePhoneEntry(editor_, index);
    Show();
  });
  connect(outDev_, &QComboBox::activated, this, [this](int index) {
    monitor::ChooseOutputDevice(editor_, store_, index);
    Show();
  });
  connect(outCmd_, &QComboBox::activated, this, [this](int index) { editor_.outCmdIndex = index; });
  connect(monEvent_, &QListWidget::currentRowChanged, this,
          [this](int row) { editor_.monEventIndex = row; });
  connect(button("AdMonButton"), &QPushButton::clicked, this, [this] {
    monitor::AddMonitoredEvent(editor_, store_, prompter_);
    Show();
  });
  connect(button("Delete"), &QPushButton::clicked, this, [this] {
    monitor::DeleteMonitoredEvent(editor_, store_, prompter_);
    Show();
  });
  connect(button("CleanButton"), &QPushButton::clicked, this, [this] {
    monitor::CleanMonitoredEvents(editor_, store_, prompter_);
    Show();
  });
  connect(button("Command2"), &QPushButton::clicked, this, [this] { close(); });
}

void frmMonitor::Show() {
  Fill(irDev_, editor_.irDev, editor_.irDevIndex);
  Fill(irCmd_, editor_.irCmd, editor_.irCmdIndex);
  Fill(outDev_, editor_.outDev, editor_.outDevIndex);
  Fill(outCmd_, editor_.outCmd, editor_.outCmdIndex);
  Fill(btDevList_, editor_.btDevList, editor_.btDevIndex);
  btDevLabel_->setText(ToQt(editor_.btDevLabel));
  btDevLabel_->setVisible(editor_.btDevLabelShown);
  btDevList_->setVisible(editor_.btDevListShown);
  const QSignalBlocker block(monEvent_);
  monEvent_->clear();
  for (const std::string& line : editor_.monEvent) monEvent_->addItem(ToQt(line));
  monEvent_->setCurrentRow(editor_.monEventIndex);
}

}  // namespace qvx::ui
