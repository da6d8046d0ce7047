#include "qvx/ui/frm_x10_config.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "qvx/config/editing.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/devices/x10_config.h"
#include "qvx/ui/model/presentation.h"
#include "qvx/ui/place.h"
#include "qvx/ui/qt_text.h"

namespace qvx::ui {
namespace {

constexpr int kWidthTwips = 4500;
constexpr int kFullHeightTwips = 3750;
constexpr int kDisabledHeightTwips = 1800;

}  // namespace

frmX10Config::frmX10Config(QWidget* parent, ConfigStore& store, devices::X10State& x10,
                           const std::vector<std::string>& comList, platform::PortHandle irPort,
                           Prompter& prompter)
    : QDialog(parent), store_(store), x10_(x10), irPort_(irPort), prompter_(prompter) {
  setObjectName(QStringLiteral("frmX10Config"));
  setWindowTitle(QStringLiteral("X10 Configuration"));

  disable_ = Place(new QCheckBox(QStringLiteral("Disable X10"), this), "DisableX10Checkbox", 120,
                   180, 1800, 300);
  Place(new QPushButton(QStringLiteral("&OK"), this), "X10OKButton", 3300, 120, 1080, 360);

  auto* frame = Place(new QGroupBox(QStringLiteral("Device Description"), this), "FrameDescription",
                      120, 600, 4260, 1800);
  Caption(frame, "House Code", 120, 300);
  houses_ = Place(new QListWidget(frame), "HCListbox", 120, 540, 900, 1140);
  Caption(frame, "Device Code", 1140, 300);
  units_ = Place(new QListWidget(frame), "DCListbox", 1140, 540, 900, 1140);
  Caption(frame, "Description", 2160, 300);
  description_ = Place(new QComboBox(frame), "X10DescCombo", 2160, 540, 1980, 315);
  description_->setEditable(true);
  description_->setInsertPolicy(QComboBox::NoInsert);
  Place(new QPushButton(QStringLiteral("&Add/Modify"), frame), "X10AddButton", 2160, 1020, 960,
        360);
  Place(new QPushButton(QStringLiteral("&Delete"), frame), "X10DelButton", 3180, 1020, 960, 360);

  auto* settings = Place(new QGroupBox(QStringLiteral("Settings"), this), "FrameSettings", 120,
                         2460, 4260, 900);
  Caption(settings, "COM Port", 120, 360);
  ports_ = Place(new QComboBox(settings), "X10COMList", 1140, 330, 1200, 315);
  Place(new QPushButton(QStringLiteral("RESET"), settings), "ResetX10Button", 3000, 300, 1140,
        360);

  const devices::X10PortChoice choice = devices::X10PortEntries(comList, store_.general.comPort,
                                                                store_.general.x10Com);
  for (const std::string& entry : choice.entries) ports_->addItem(ToQt(entry));
  ports_->setCurrentIndex(choice.selected);
  disable_->setChecked(!store_.general.x10Ena);
  DisableToggled(disable_->isChecked());
  for (char house = 'A'; house <= 'P'; ++house) houses_->addItem(QString(QChar(house)));
  for (int unit = 1; unit <= devices::kX10Units; ++unit) units_->addItem(QString::number(unit));

  devices::LoadX10Section(x10_.names, store_.text);
  for (const devices::X10Entry& entry : devices::ReadX10Entries(store_.text))
    description_->addItem(ToQt(entry.name));
  Wire();
  if (description_->count() > 0) {
    description_->setCurrentIndex(0);
    DescriptionChosen();
  }
}

void frmX10Config::Wire() {
  connect(description_, &QComboBox::activated, this, [this] { DescriptionChosen(); });
  connect(houses_, &QListWidget::itemSelectionChanged, this, [this] { AddressChosen(); });
  connect(units_, &QListWidget::itemSelectionChanged, this, [this] { AddressChosen(); });
  connect(disable_, &QCheckBox::toggled, this, [this](bool ticked) { DisableToggled(ticked); });
  connect(findChild<QPushButton*>(QStringLiteral("X10AddButton")), &QPushButton::clicked, this,
          [this] { AddModify(); });
  connect(findChild<QPushButton*>(QStringLiteral("X10DelButton")), &QPushButton::clicked, this,
          [this] { Delete(); });
  connect(findChild<QPushButton*>(QStringLiteral("ResetX10Button")), &QPushButton::clicked, this,
          [this] { Reset(); });
  connect(findChild<QPushButton*>(QStringLiteral("X10OKButton")), &QPushButton::clicked, this,
          [this] { Ok(); });
}

void frmX10Config::DescriptionChosen() {
  const auto address = devices::FindX10Module(x10_.names, FromQt(description_->currentText()));
  if (!address) return;
  const QSignalBlocker blockHouses(houses_);
  const QSignalBlocker blockUnits(units_);
  houses_->setCurrentRow(address->first);
  units_->setCurrentRow(address->second);
}

void frmX10Config::AddressChosen() {
  if (houses_->currentRow() < 0 || units_->currentRow() < 0) return;
  const std::string name = ToLower(
      devices::X10NameAt(x10_.names, houses_->currentRow(), units_->currentRow()));
  for (int i = 0; i < description_->count(); ++i) {
    if (!name.empty() && ToLower(TrimBlanks(FromQt(description_->itemText(i)))) == name) {
      description_->setCurrentIndex(i);
      return;
    }
  }
  description_->setEditText(QString());
}

void frmX10Config::AddModify() {
  if (devices::AddX10Module(x10_.names, houses_->currentRow(), units_->currentRow(),
                            FromQt(description_->currentText()), prompter_))
    RefillDescriptions();
}

void frmX10Config::Delete() {
  if (devices::DeleteX10Module(x10_.names, houses_->currentRow(), units_->currentRow(),
                               FromQt(description_->currentText()), prompter_))
    RefillDescriptions();
}

void frmX10Config::DisableToggled(bool ticked) {
  setFixedSize(Pixels(kWidthTwips), Pixels(ticked ? kDisabledHeightTwips : kFullHeightTwips));
  ports_->setEnabled(!ticked);
}

void frmX10Config::Reset() {
  prompter_.ShowStatus(devices::ResetX10Interface(x10_, store_.general.x10Com, irPort_));
}

void frmX10Config::Ok() {
  if (!devices::SaveX10Config(store_, x10_, x10_.names, FromQt(ports_->currentText()),
                              disable_->isChecked())) {
    prompter_.ShowStatus("");
    // A refusal because another program saved meanwhile explains itself; OK may be pressed
    // again on the file as it is now.
    if (store_.lastError == kFileChangedMeanwhile)
      prompter_.ShowMessage(kFileChangedMeanwhile, MessageIcon::Exclamation, kMessageTitle);
    else if (!store_.lastError.empty())
      prompter_.ShowMessage(std::string(kSaveFailed) + store_.lastError, MessageIcon::Critical,
                            kMessageTitle);
    return;
  }
  accept();
}

void frmX10Config::RefillDescriptions() {
  description_->clear();
  for (const std::string& name : devices::X10TableNames(x10_.names)) description_->addItem(ToQt(name));
  if (description_->count() > 0) {
    description_->setCurrentIndex(0);
    DescriptionChosen();
  }
}

}  // namespace qvx::ui
