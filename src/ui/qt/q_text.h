#pragma once

#include <QString>
#include <string_view>

namespace leafward::ui {

// Leafward's texts are UTF-8, Qt's are QStrings.
inline QString qText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace leafward::ui
