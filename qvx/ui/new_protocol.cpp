#include "qvx/ui/new_protocol.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "qvx/ui/model/presentation.h"
#include "qvx/ui/qt_text.h"

namespace qvx::ui {
namespace {

using ircode::DeviceDialog;

// The dialog's rows, top to bottom: control, label, tool tip, and the text it edits (none for
// the protocol list).
struct Field {
  const char* name;
  const char* label;
  const char* tip;
  std::string DeviceDialog::*text;
};
constexpr Field kFields[] = {
    {"CProtIn", "NAME", "Enter the new protocol name. Use only letters and numbers.",
     &DeviceDialog::name},
    {"GProtoIn", "GPROTO", "Select generic protocol", nullptr},
    {"SendPlsIn", "SENDPLS", "The T legth for the sended pulse, in us (usualy 550).",
     &DeviceDialog::sendpls},
    {"RepeatIn", "REPEAT", "How many times the sequence is repeated.", &DeviceDialog::repeat},
    {"BitGIn", "BITG", "The sync bit representation.", &DeviceDialog::bitg},
    {"Bit0In", "BIT0", "The '0' bit representation.", &DeviceDialog::bit0},
    {"Bit1In", "BIT1", "The '1' bit representation.", &DeviceDialog::bit1},
    {"GRepeatIn", "GREPEAT", "Sync signal repeat (0, 1 or >3)", &DeviceDialog::grepeat},
    {"ProtDesc", "DESCRIPT.", "Enter the new protocol name. Use only letters and numbers.",
     &DeviceDialog::description},
};

constexpr int kRowTwips = 420;
constexpr int kWidthTwips = 4800;

QWidget* Place(QWidget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
  return widget;
}

}  // namespace

NewProtocol::NewProtocol(QWidget* parent, ConfigStore& store, Prompter& prompter,
                         DeviceDialog fields, std::string deviceList)
    : QDialog(parent), store_(store), prompter_(prompter), fields_(std::move(fields)),
      deviceList_(std::move(deviceList)), protocols_(new QComboBox(this)) {
  setObjectName(QStringLiteral("NewProtocol"));
  setWindowTitle(QStringLiteral("Device Parameters"));
  int top = 120;
  for (const Field& field : kFields) {
    auto* label = new QLabel(QString::fromLatin1(field.label), this);
    label->setGeometry(Pixels(120), Pixels(top + 40), Pixels(1200), Pixels(240));
    QWidget* input = field.text ? new QLineEdit(this) : static_cast<QWidget*>(protocols_);
    Place(input, field.name, 1440, top, 3240, 315)->setToolTip(QString::fromLatin1(field.tip));
    top += kRowTwips;
  }
  for (std::string_view protocol : ircode::kProtocolNames) protocols_->addItem(ToQt(protocol));

  auto* save = new QPushButton(QStringLiteral("Save"), this);
  Place(save, "CreateButton", 1440, top + 60, 1500, 360)
      ->setToolTip(QStringLiteral("Click here to save the new protocol in the configuration file."));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  Place(cancel, "CancelButton", 3180, top + 60, 1500, 360)
      ->setToolTip(QStringLiteral("Click here to cancel the new protocol creation procedure and to "
                                  "return to the main application window."));
  setFixedSize(Pixels(kWidthTwips), Pixels(top + 600));

  connect(protocols_, &QComboBox::activated, this, [this](int position) {
    ReadFields();
    ircode::ChooseProtocol(fields_, position);
    ShowFields();
  });
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  ShowFields();
}

void NewProtocol::ShowFields() {
  for (const Field& field : kFields)
    if (field.text)
      findChild<QLineEdit*>(QString::fromLatin1(field.name))->setText(ToQt(fields_.*field.text));
  protocols_->setCurrentIndex(fields_.gproto);
}

void NewProtocol::ReadFields() {
  for (const Field& field : kFields)
    if (field.text)
      fields_.*field.text = FromQt(findChild<QLineEdit*>(QString::fromLatin1(field.name))->text());
  fields_.gproto = protocols_->currentIndex();
}

void NewProtocol::Save() {
  ReadFields();
  savedSendPulse_ = ircode::SaveDevice(store_, prompter_, fields_, deviceList_);
  if (savedSendPulse_) {
    accept();
    return;
  }
  ShowFields();  // a refused save leaves the fields trimmed, as checked
}

}  // namespace qvx::ui
