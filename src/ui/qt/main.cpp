#include <QApplication>

#include "app/login_dialog.h"
#include "connection/shared_connection.h"
#include "ui/qt/frm_login.h"
#include "ui/qt/frm_main.h"
#include "ui/qt/qt_translations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Leafward"));
  // Qt's own dialogs and buttons in the window's language; without the file they stay English.
  const auto qtChineseTexts = leafward::ui::installQtChineseTexts();

  leafward::connection::SharedConnection shared;
  leafward::ui::QtLoginViews loginViews;
  leafward::app::LoginDialogHost login(leafward::connection::serverLinkOf(shared), loginViews);
  leafward::ui::FrmMain window(shared, &login);
  QObject::connect(&window, &leafward::ui::FrmMain::closed, &app, &QApplication::quit);
  window.show();
  // A file named on the command line ("Open with") is opened as Open opens it.
  window.openGivenLater(QCoreApplication::arguments().mid(1));
  return QApplication::exec();
}
