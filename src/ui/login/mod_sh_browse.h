#pragma once

#include <QString>
#include <cstdint>

#include "netbrowse/sql_browser.h"

class QWidget;

namespace leafward::ui {

// The title of the computer picker.
inline constexpr const char* kPickerTitle = "请选取数据库服务器计算机名：";

// A shell folder index as a special-folder id: below 2 the desktop (0), 2 to 11 themselves,
// 12 and above shifted by 4 (14, the network, gives 18).
std::int32_t FolderIdFromIndex(std::int16_t index);

// Lets the user pick a database server computer of the local network, in a chooser modal to
// `owner`. Returns the chosen name, or an empty text when the user cancelled.
QString BrowseForComputer(QWidget* owner);

// The same, asking the SQL Server Browsers that `request` reaches.
QString BrowseForComputer(QWidget* owner, const netbrowse::BrowseRequest& request);

}  // namespace leafward::ui
