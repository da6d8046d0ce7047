#include "qvx/ui/import_form.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "qvx/config/importform.h"
#include "qvx/ui/model/presentation.h"
#include "qvx/ui/qt_text.h"

namespace qvx::ui {
namespace {

constexpr int kColumnTwips = 5000;

}  // namespace

ImportForm::ImportForm(QWidget* parent, ConfigStore& store, Prompter& prompter)
    : QDialog(parent), store_(store), prompter_(prompter), list_(new QTreeWidget(this)) {
  setObjectName(QStringLiteral("ImportForm"));
  setWindowTitle(QStringLiteral("Available Sections"));
  const ImportFormView view = OpenImportForm(store_);

  list_->setObjectName(QStringLiteral("ImportList"));
  list_->setGeometry(Pixels(120), Pixels(120), Pixels(kColumnTwips + 300), Pixels(3000));
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({QStringLiteral("Device Description")});
  list_->setColumnWidth(0, Pixels(kColumnTwips));
  list_->setToolTip(ToQt(view.hint));
  for (const std::string& entry : view.entries) {
    auto* item = new QTreeWidgetItem(list_, {ToQt(entry)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
  }

  // Sections that share a description: the list says which one an entry stands for.
  int buttonsTop = 3240;
  if (!view.notice.empty()) {
    auto* notice = new QLabel(ToQt(view.notice), this);
    notice->setObjectName(QStringLiteral("NoticeLabel"));
    notice->setWordWrap(true);
    notice->setGeometry(Pixels(120), Pixels(3180), Pixels(kColumnTwips + 300), Pixels(720));
    buttonsTop += 780;
  }
  auto* press = new QPushButton(ToQt(view.buttonCaption), this);
  press->setObjectName(QStringLiteral("ImportButton"));
  press->setGeometry(Pixels(120), Pixels(buttonsTop), Pixels(1500), Pixels(360));
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("ImpCANCELButton"));
  cancel->setGeometry(Pixels(kColumnTwips + 420 - 1500), Pixels(buttonsTop), Pixels(1500),
                      Pixels(360));
  setFixedSize(Pixels(kColumnTwips + 540), Pixels(buttonsTop + 480));

  connect(press, &QPushButton::clicked, this, [this] { Press(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void ImportForm::Press() {
  std::vector<std::string> ticked;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list_->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked) ticked.push_back(FromQt(item->text(0)));
  }
  if (PressImportButton(store_, prompter_, ticked)) accept();
}

}  // namespace qvx::ui
