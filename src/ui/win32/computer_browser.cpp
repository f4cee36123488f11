#include "ui/win32/computer_browser.h"

#include <shlobj.h>

#include "app/computer_search.h"
#include "app/layout.h"
#include "ui/win32/modal.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {

std::string browseForComputer(HWND owner) {
  PIDLIST_ABSOLUTE network = nullptr;
  if (SHGetSpecialFolderLocation(owner, app::FolderIdFromIndex(app::kNetworkFolderIndex),
                                 &network) != S_OK) {
    network = nullptr;
  }
  wchar_t name[MAX_PATH] = {};
  const std::wstring title = wide(app::kComputerPicker.caption);
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.pidlRoot = network;
  request.pszDisplayName = name;
  request.lpszTitle = title.c_str();
  request.ulFlags = BIF_BROWSEFORCOMPUTER;
  PIDLIST_ABSOLUTE chosen = nullptr;
  {
    ModalScope modal;
    chosen = SHBrowseForFolderW(&request);
  }
  if (network) CoTaskMemFree(network);
  if (!chosen) return {};
  CoTaskMemFree(chosen);
  return utf8(name);
}

}  // namespace leafward::ui::win32
