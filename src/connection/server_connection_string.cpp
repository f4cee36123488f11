#include "connection/server_connection_string.h"

#include <array>

#include "dataaccess/connection_string.h"

namespace leafward::connection {

std::string serverConnectionString(std::string_view password, std::string_view server,
                                   std::optional<std::string_view> database) {
  using dataaccess::ConnectionString;
  struct Fill {
    std::string_view quotedPlaceholder;
    std::optional<std::string> value;
  };
  const std::array<Fill, 3> fills = {{
      {"'|1'", ConnectionString::quoteValue(password)},
      {"'|2'", ConnectionString::quoteValue(server)},
      {"'master'",
       database ? std::optional(ConnectionString::quoteValue(*database)) : std::nullopt},
  }};
  std::string result;
  std::string_view rest = kServerTemplate;
  while (!rest.empty()) {
    bool filled = false;
    for (const Fill& fill : fills) {
      if (fill.value && rest.starts_with(fill.quotedPlaceholder)) {
        result += *fill.value;
        rest.remove_prefix(fill.quotedPlaceholder.size());
        filled = true;
        break;
      }
    }
    if (!filled) {
      result += rest.front();
      rest.remove_prefix(1);
    }
  }
  return result;
}

}  // namespace leafward::connection
