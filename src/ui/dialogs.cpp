#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace leafward::ui {

QString QtDialogs::askOpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& defaultSuffix) {
  QFileDialog box(parent, title);
  box.setAcceptMode(QFileDialog::AcceptOpen);
  box.setFileMode(QFileDialog::AnyFile);
  box.setNameFilter(filter);
  box.setDefaultSuffix(defaultSuffix);
  if (box.exec() != QDialog::Accepted) return {};
  return box.selectedFiles().value(0);
}

void QtDialogs::showMessage(QWidget* parent, const QString& text, const QString& title) {
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QMessageBox box(QMessageBox::NoIcon, title, shown, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace leafward::ui
