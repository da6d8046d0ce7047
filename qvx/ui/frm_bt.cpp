#include "qvx/ui/frm_bt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "qvx/bluetooth/btconfig.h"
#include "qvx/ui/place.h"
#include "qvx/ui/qt_text.h"

namespace qvx::ui {
namespace {

constexpr int kWidthTwips = 4200;

}  // namespace

frmBT::frmBT(QWidget* parent, ConfigStore& store, bluetooth::PhoneRemote& phone,
             const std::vector<std::string>& comList, Prompter& prompter, Hooks hooks)
    : QDialog(parent), store_(store), phone_(phone), prompter_(prompter), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("frmBT"));
  setWindowTitle(QStringLiteral("Bluetooth Configuration"));

  disable_ = Place(new QCheckBox(QStringLiteral("Disable BT"), this), "BTCheckbox", 120, 180,
                   1800, 300);
  Place(new QPushButton(QStringLiteral("&Exit"), this), "OKButton", 2940, 120, 1080, 360);
  Caption(this, "BTCom", 120, 660, 800);
  ports_ = Place(new QComboBox(this), "BtComListbox", 960, 630, 1200, 315);

  mode_ = Place(new QGroupBox(QStringLiteral("Operation mode"), this), "ModeFrame", 120, 1080,
                3900, 600);
  const char* captions[] = {"Auto", "Manual "};
  for (int index = 0; index < 2; ++index) {
    options_[index] = Place(new QRadioButton(QString::fromLatin1(captions[index]), mode_),
                            "BTModeOption", 120 + index * 1800, 270, 1500, 255);
    options_[index]->setProperty("index", index);
  }

  number_ = Place(new QComboBox(this), "BTDevNrCombo", 120, 1860, 700, 315);
  number_->setToolTip(QStringLiteral("Current BT Device number"));
  name_ = Place(new QLineEdit(this), "BTDevText", 900, 1860, 1900, 315);
  name_->setToolTip(QStringLiteral(
      "You can change here the associated BT device name for the current device number."));
  auto* change = Place(new QPushButton(QStringLiteral("&Change"), this), "ButtonChange", 2940,
                       1830, 1080, 360);
  change->setToolTip(QStringLiteral("Click here to save the new name."));

  const GeneralParams& general = store_.general;
  disable_->setChecked(!general.btEna);
  ShowPhoneInput(general.btEna);
  const bluetooth::PhonePortChoice ports = bluetooth::PhonePortEntries(comList, general.btCom);
  for (const std::string& entry : ports.entries) ports_->addItem(ToQt(entry));
  ports_->setCurrentIndex(ports.selected);
  if (general.btMode == 0 || general.btMode == 1) options_[general.btMode]->setChecked(true);
  for (int n = 0; n <= 9; ++n) number_->addItem(QString::number(n));
  number_->setCurrentIndex(0);
  DeviceNumberChosen();
  Wire();
}

void frmBT::Wire() {
  connect(disable_, &QCheckBox::toggled, this, [this](bool ticked) {
    bluetooth::SetPhoneInput(store_, !ticked);
    ShowPhoneInput(!ticked);
    if (hooks_.phoneInputChanged) hooks_.phoneInputChanged(!ticked);
  });
  connect(ports_, &QComboBox::activated, this, [this] {
    bluetooth::ChangePhonePort(store_, phone_, FromQt(ports_->currentText()));
  });
  for (int index = 0; index < 2; ++index) {
    connect(options_[index], &QRadioButton::clicked, this, [this, index] {
      const bool run = bluetooth::SetPhoneMode(store_, index);
      if (hooks_.autoTimerChanged) hooks_.autoTimerChanged(run);
    });
  }
  connect(number_, &QComboBox::activated, this, [this] { DeviceNumberChosen(); });
  connect(findChild<QPushButton*>(QStringLiteral("ButtonChange")), &QPushButton::clicked, this,
          [this] {
            bluetooth::RenameBluetoothDevice(store_, number_->currentIndex(),
                                             FromQt(name_->text()), prompter_);
          });
  connect(findChild<QPushButton*>(QStringLiteral("OKButton")), &QPushButton::clicked, this,
          [this] { close(); });
}

void frmBT::ShowPhoneInput(bool on) {
  mode_->setEnabled(on);
  for (QRadioButton* option : options_) option->setEnabled(on);
  ports_->setEnabled(on);
  setFixedSize(Pixels(kWidthTwips),
               Pixels(on ? bluetooth::kBtOnHeightTwips : bluetooth::kBtOffHeightTwips));
}

void frmBT::DeviceNumberChosen() {
  const int number = number_->currentIndex();
  if (number < 0) return;
  name_->setText(ToQt(store_.general.bt[static_cast<std::size_t>(number)]));
}

}  // namespace qvx::ui
