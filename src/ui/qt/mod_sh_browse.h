#pragma once

#include <QString>

#include "netbrowse/sql_browser.h"

class QWidget;

namespace leafward::ui {

// Lets the user pick a database server computer of the local network, in a chooser modal to
// `owner`. Returns the chosen name, or an empty text when the user cancelled.
QString BrowseForComputer(QWidget* owner,
                          const netbrowse::BrowseRequest& request = netbrowse::BrowseRequest{});

}  // namespace leafward::ui
