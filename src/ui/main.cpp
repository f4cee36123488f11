#include <QApplication>

#include "connection/shared_connection.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Leafward"));

  leafward::connection::SharedConnection shared;
  leafward::ui::QtDialogs dialogs;
  leafward::ui::FrmMain window(shared, dialogs);
  QObject::connect(&window, &leafward::ui::FrmMain::closed, &app, &QApplication::quit);
  window.show();
  return QApplication::exec();
}
