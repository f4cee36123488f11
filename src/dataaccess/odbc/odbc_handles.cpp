#include "dataaccess/odbc/odbc_handles.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/odbc/utf16.h"

namespace leafward::odbc {
namespace {

// Shorter secrets are masked too, but only where they stand alone, to keep messages readable.
constexpr std::size_t kShortSecret = 4;

void mask(std::string& text, std::string_view secret) {
  if (secret.empty()) return;
  const auto isWordByte = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  };
  std::size_t at = 0;
  while ((at = text.find(secret, at)) != std::string::npos) {
    const std::size_t end = at + secret.size();
    const bool standsAlone =
        (at == 0 || !isWordByte(text[at - 1])) && (end >= text.size() || !isWordByte(text[end]));
    if (secret.size() >= kShortSecret || standsAlone) {
      text.replace(at, secret.size(), "****");
      at += 4;
    } else {
      at = end;
    }
  }
}

// The text in an SQLWCHAR buffer up to its terminator or `capacity` units.
std::u16string_view wideView(const SQLWCHAR* text, std::size_t capacity) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  const auto* units = reinterpret_cast<const char16_t*>(text);
  std::size_t length = 0;
  while (length < capacity && units[length] != 0) ++length;
  return {units, length};
}

// One diagnostic record as UTF-8; false when there is none.
bool readDiagnostic(const Handle& handle, SQLSMALLINT record, std::string& state,
                    std::string& message) {
  constexpr SQLSMALLINT kCapacity = 1024;
  SQLINTEGER nativeError = 0;
  SQLSMALLINT length = 0;
  if (handle.textMode() == TextMode::Utf8) {
    SQLCHAR stateText[6] = {};
    SQLCHAR messageText[kCapacity] = {};
    if (!succeeded(SQLGetDiagRec(handle.type(), handle.get(), record, stateText, &nativeError,
                                 messageText, kCapacity, &length))) {
      return false;
    }
    state = reinterpret_cast<const char*>(stateText);
    message = reinterpret_cast<const char*>(messageText);
    return true;
  }
  SQLWCHAR stateText[6] = {};
  SQLWCHAR messageText[kCapacity] = {};
  if (!succeeded(SQLGetDiagRecW(handle.type(), handle.get(), record, stateText, &nativeError,
                                messageText, kCapacity, &length))) {
    return false;
  }
  state = utf8FromUtf16(wideView(stateText, 5));
  message = utf8FromUtf16(wideView(messageText, kCapacity - 1));
  return true;
}

}  // namespace

Handle::~Handle() {
  if (!handle_) return;
  if (type_ == SQL_HANDLE_DBC && connected_) SQLDisconnect(handle_);
  SQLFreeHandle(type_, handle_);
}

void Handle::swap(Handle& other) noexcept {
  std::swap(type_, other.type_);
  std::swap(handle_, other.handle_);
  std::swap(mode_, other.mode_);
  std::swap(connected_, other.connected_);
}

Handle allocateEnvironment(TextMode mode) {
  SQLHANDLE env = SQL_NULL_HANDLE;
  if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    throw dataaccess::DataAccessError("The ODBC driver manager could not start");
  }
  Handle handle(SQL_HANDLE_ENV, env, mode);
  check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        handle, "The ODBC driver manager refused ODBC 3");
  return handle;
}

Handle allocate(SQLSMALLINT type, const Handle& parent) {
  SQLHANDLE child = SQL_NULL_HANDLE;
  check(SQLAllocHandle(type, parent.get(), &child), parent, "Cannot allocate an ODBC handle");
  return Handle(type, child, parent.textMode());
}

std::string diagnostics(const Handle& handle, std::string_view secret) {
  std::string text;
  std::vector<std::string> seen;
  for (SQLSMALLINT record = 1; record <= 20; ++record) {
    std::string state;
    std::string message;
    if (!readDiagnostic(handle, record, state, message)) break;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
      message.pop_back();
    }
    // Drivers repeat a record as it passes through their layers; once is enough.
    const std::string entry = "[" + state + "] " + message;
    if (std::find(seen.begin(), seen.end(), entry) != seen.end()) continue;
    seen.push_back(entry);
    if (!text.empty()) text += "; ";
    text += entry;
  }
  if (text.empty()) text = "no reason given by the driver";
  mask(text, secret);
  return text;
}

bool hasState(const Handle& handle, std::string_view sqlState) {
  for (SQLSMALLINT record = 1; record <= 20; ++record) {
    std::string state;
    std::string message;
    if (!readDiagnostic(handle, record, state, message)) break;
    if (state == sqlState) return true;
  }
  return false;
}

SQLRETURN executeText(const Handle& statement, std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX / 2)) {
    throw dataaccess::DataAccessError("The statement is too long");
  }
  if (statement.textMode() == TextMode::Utf8) {
    std::string sql(text);
    return SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                         static_cast<SQLINTEGER>(sql.size()));
  }
  std::u16string sql = utf16FromUtf8(text);
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  return SQLExecDirectW(statement.get(), reinterpret_cast<SQLWCHAR*>(sql.data()),
                        static_cast<SQLINTEGER>(sql.size()));
}

void check(SQLRETURN rc, const Handle& handle, std::string_view what, std::string_view secret) {
  if (succeeded(rc)) return;
  if (rc == SQL_INVALID_HANDLE) {
    throw dataaccess::DataAccessError(std::string(what) + ": invalid ODBC handle");
  }
  throw dataaccess::DataAccessError(std::string(what) + ": " + diagnostics(handle, secret));
}

}  // namespace leafward::odbc
