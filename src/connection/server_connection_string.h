#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace leafward::connection {

// Connection-string template of a SQL Server account set: "|1" is the password of `sa`, "|2"
// the server computer's name, and "master" the database.
inline constexpr std::string_view kServerTemplate =
    "Provider=SQLOLEDB;Password='|1';Persist Security Info='True';User ID='sa';"
    "Initial Catalog='master';Data Source='|2'";

// The query that lists a server's account-set databases: "pelkor", any character, three
// digits, any character, and four digits of which the first is 1 or 2.
inline constexpr std::string_view kAccountSetQuery =
    "Select [name] from [sysdatabases] where [name] like "
    "'pelkor_[0-9][0-9][0-9]_[12][0-9][0-9][0-9]'";

// The template filled in, in one pass over it, so that a value is never searched again: a
// password holding "|2" or "master" stays as typed. Each value is quoted by the
// connection-string rules, so that a quote or a ';' stays inside it; for ordinary values the
// result is the template with the placeholders' texts replaced. Without a database the string
// reaches the server's `master` database.
std::string serverConnectionString(std::string_view password, std::string_view server,
                                   std::optional<std::string_view> database = std::nullopt);

}  // namespace leafward::connection
