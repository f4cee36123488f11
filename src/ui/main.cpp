#include <QApplication>

#include "connection/shared_connection.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/login/login_dialog_host.h"
#include "ui/qt_translations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Leafward"));
  // Qt's own dialogs and buttons in the window's language; without the file they stay English.
  const auto qtChineseTexts = leafward::ui::installQtChineseTexts();

  leafward::connection::SharedConnection shared;
  leafward::ui::QtDialogs dialogs;
  leafward::ui::FrmMain window(shared, dialogs);
  leafward::ui::QtLoginPrompts loginPrompts;
  leafward::ui::LoginDialogHost login(leafward::ui::loginTargetOf(shared), loginPrompts);
  window.setLoginDialog([&login] { login.showModal(); });
  QObject::connect(&window, &leafward::ui::FrmMain::closed, &app, &QApplication::quit);
  window.show();
  return QApplication::exec();
}
