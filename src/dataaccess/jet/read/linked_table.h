#pragma once

#include <string>

namespace leafward::jet {

// A table that the catalog lists as a link to a table kept elsewhere: another Access file, a
// file of another kind (Excel, text, dBASE ...) or an ODBC data source. Its rows are not in
// this file.
struct LinkedTable {
  std::string name;         // its name in this file
  std::string foreignName;  // its name where it is kept
  std::string file;         // the linked file; empty for ODBC or when the link names none
  bool odbc = false;
};

// The linked file of a catalog entry: its Database column, or else the DATABASE= entry of its
// connect string (";DATABASE=C:\data\ledger.mdb", "Excel 8.0;HDR=YES;DATABASE=...").
std::string linkedFileOf(const std::string& database, const std::string& connect);

// Why a statement cannot read the linked table, naming the file it links to. An ODBC connect
// string can hold a password, so it is never shown.
std::string linkedTableMessage(const LinkedTable& link);

}  // namespace leafward::jet
