#include "ui/login/login_prompts.h"

#include <QMessageBox>

#include "ui/login/mod_sh_browse.h"

namespace leafward::ui {

void QtLoginPrompts::showMessage(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

QString QtLoginPrompts::browseForComputer(QWidget* owner) {
  return BrowseForComputer(owner);
}

}  // namespace leafward::ui
