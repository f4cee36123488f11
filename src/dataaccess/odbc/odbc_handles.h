#pragma once

#include <string>
#include <string_view>

#include "platform/odbc_api.h"

namespace leafward::odbc {

// How text crosses the ODBC interface: as UTF-16 through the wide functions (for drivers that
// speak Unicode), or as UTF-8 through the narrow ones (for drivers that are told to use UTF-8,
// or that store it).
enum class TextMode { Wide, Utf8 };

// Owns one ODBC handle and frees it with its kind. Connections are disconnected first.
class Handle {
 public:
  Handle() = default;
  Handle(SQLSMALLINT type, SQLHANDLE handle, TextMode mode)
      : type_(type), handle_(handle), mode_(mode) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept { swap(other); }
  Handle& operator=(Handle&& other) noexcept {
    Handle(std::move(other)).swap(*this);
    return *this;
  }
  ~Handle();

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  TextMode textMode() const { return mode_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

  // Marks a connection handle as connected, so that it is disconnected before it is freed.
  void setConnected() { connected_ = true; }

 private:
  void swap(Handle& other) noexcept;
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
  TextMode mode_ = TextMode::Wide;
  bool connected_ = false;
};

// A fresh ODBC 3 environment whose handles pass text in `mode`.
Handle allocateEnvironment(TextMode mode = TextMode::Wide);
// A handle of `type` under `parent`, in the parent's text mode; throws DataAccessError with the
// driver's reasons.
Handle allocate(SQLSMALLINT type, const Handle& parent);

// The driver's diagnostic records for a handle, as "[SQLSTATE] message" lines joined by "; ",
// with every occurrence of `secret` (when it is long enough to be told from ordinary words)
// masked.
std::string diagnostics(const Handle& handle, std::string_view secret = {});

// Whether the handle's diagnostics carry this SQLSTATE.
bool hasState(const Handle& handle, std::string_view sqlState);

// Throws DataAccessError "what: diagnostics" unless `rc` is a success code.
void check(SQLRETURN rc, const Handle& handle, std::string_view what, std::string_view secret = {});

// Runs `text` on the statement handle, through the narrow or the wide call as its text mode
// says, and returns what the driver returned. Throws DataAccessError for a text too long to send.
SQLRETURN executeText(const Handle& statement, std::string_view text);

inline bool succeeded(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

}  // namespace leafward::odbc
