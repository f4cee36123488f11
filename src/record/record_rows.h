#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "record/account_set.h"
#include "record/repair.h"

namespace leafward::record {

// A record of repairs that cannot be trusted or written: damaged, foreign, cut short, or out
// of reach. The message says which file and why.
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A record file is UTF-8 with a byte-order mark (so that Excel shows the Chinese right), then
// one header row, then the rows of each repair as it was written: its first row (who, where,
// which account set, how many statements and codes), one row per code it plans to change,
// written before its first statement runs, and one row per statement that confirms how it
// ended. Every row ends with a checksum over itself and the row before it, so that a row
// changed, removed or moved by hand shows when the file is read. The checksum guards against
// mistakes, not against someone who sets out to forge a record.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The header row, CR LF included.
std::string headerLine();

// The rows of repairs, as text to append to a file whose last row left `checksum`.
class RowWriter {
 public:
  explicit RowWriter(std::string checksum) : checksum_(std::move(checksum)) {}
  // After the header row alone.
  static RowWriter afterHeader();

  // The repair's first row and one row per planned code.
  std::string beginning(const Repair& repair);
  // The row that confirms how step `step` of the repair ended.
  std::string confirmation(const Repair& repair, std::size_t step);

  // Any row of these fields (missing ones empty), chained like the others.
  std::string row(std::vector<std::string> fields);

  const std::string& checksum() const { return checksum_; }

 private:
  std::string checksum_;
};

// What a record file holds.
struct RecordContents {
  std::vector<Repair> repairs;  // in the order they were written
  std::string checksum;         // the last row's, for the next row to chain on
  // The file is empty, or ends inside its header row: the next repair writes the header first.
  bool headerIncomplete = false;
  // How many of the bytes hold the repairs read; fewer than all when the file ends in rows a
  // writer left unfinished, which were passed over.
  std::size_t wholeSize = 0;
};

// Reads the bytes of the record file `fileName` of `set`, trusting nothing: an empty file, or
// one cut short inside its header row, holds no repairs; a file that does not begin with the
// byte-order mark and the header row is not a record of repairs; a row that is not well formed,
// does not fit the rows before it or whose checksum does not match, a repair with fewer code rows
// than its first row declares, and the repairs of another account set are refused. A file that ends
// inside a row was left so by a writer that stopped (a full disk, a kill, the power): while a
// repair holds the file (`repairUnderWay`) and is writing it, its last repair may be incomplete;
// otherwise the unfinished row is passed over, and with it a repair whose code rows it was still
// writing, which never ran (a repair runs only once all its code rows are durable). Throws
// RecordError.
RecordContents readRecordText(std::string_view bytes, const AccountSet& set,
                              const std::string& fileName, bool repairUnderWay = false);

}  // namespace leafward::record
