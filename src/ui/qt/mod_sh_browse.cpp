#include "ui/qt/mod_sh_browse.h"

#include "ui/qt/computer_picker.h"

namespace leafward::ui {

QString BrowseForComputer(QWidget* owner, const netbrowse::BrowseRequest& request) {
  ComputerPicker picker(request, owner);
  return picker.exec() == QDialog::Accepted ? picker.chosen() : QString();
}

}  // namespace leafward::ui
