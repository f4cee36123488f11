#include "ui/login/mod_sh_browse.h"

#include "ui/login/computer_picker.h"

namespace leafward::ui {

std::int32_t FolderIdFromIndex(std::int16_t index) {
  if (index < 2) return 0;
  if (index <= 11) return index;
  return index + 4;
}

QString BrowseForComputer(QWidget* owner) {
  return BrowseForComputer(owner, netbrowse::BrowseRequest{});
}

QString BrowseForComputer(QWidget* owner, const netbrowse::BrowseRequest& request) {
  ComputerPicker picker(request, owner);
  return picker.exec() == QDialog::Accepted ? picker.chosen() : QString();
}

}  // namespace leafward::ui
