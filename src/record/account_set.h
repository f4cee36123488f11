#pragma once

#include <string>

namespace leafward::record {

// The account set a record belongs to: an Access file, by its full real path, or a database on
// a SQL Server.
struct AccountSet {
  std::string server;  // empty for an Access file
  std::string name;    // the file's full real path, or the database's name

  // The file's full real path (links and "." or ".." resolved), so that every path that leads
  // to the file finds the same record. Throws platform::SystemError when it does not exist.
  static AccountSet accessFile(const std::string& path);
  static AccountSet serverDatabase(std::string server, std::string database);

  bool isFile() const { return server.empty(); }
  // Server and database names compare as SQL Server compares them, without regard to case.
  bool sameAs(const AccountSet& other) const;
  // The path, or "DATABASE on SERVER".
  std::string describe() const;
  // The name of its record file: what a person recognises the account set by (the file's name,
  // or "DATABASE on SERVER"), made safe for every file system, then a 64-bit hash of the whole
  // path or name that tells apart files of the same name in different folders. Should another
  // account set's record hold the name all the same, the `probe`th name after it is
  // "... (HASH-2).csv", "... (HASH-3).csv" and so on.
  std::string recordFileName(unsigned probe = 1) const;
  // The name Leafward 0.1.0 gave it, with a 32-bit hash: still found and written to.
  std::string legacyRecordFileName() const;

  bool operator==(const AccountSet&) const = default;
};

}  // namespace leafward::record
