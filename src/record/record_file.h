#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "record/account_set.h"
#include "record/record_rows.h"
#include "record/repair.h"

namespace leafward::record {

// The folder the records of repairs are kept in: LEAFWARD_RECORD_DIR when it is set and not
// empty, otherwise the user's own (platform::repairRecordFolder()). Throws RecordError when the
// system names none.
std::string recordFolder();

// The record file of `set` in `folder`.
std::string recordPath(const std::string& folder, const AccountSet& set);

// The record of one account set, held by one repair from before its first statement to its
// last confirmation. Other repairs of the account set wait for it as a reader waits for a
// writer, or are refused; `readRecord` can tell that a repair holds it. Rows are only ever
// appended, each batch made durable before the call returns.
class RecordFile {
 public:
  // Makes the folder (recordFolder() when `folder` is empty) and the file as needed, takes the
  // file and reads what it holds, cutting off rows a writer left unfinished. Throws RecordError
  // with the reason: the folder or file cannot be made or written, the name holds something
  // other than a file, another program or repair holds it longer than a reader waits, or it is
  // damaged or foreign.
  static RecordFile openForRepair(const std::string& folder, const AccountSet& set);

  const std::string& path() const { return path_; }
  const std::vector<Repair>& repairs() const { return repairs_; }
  // What a person should know about the file as it was found (rows a writer left unfinished
  // were cut off), as a line for the report; empty when nothing.
  const std::string& notice() const { return notice_; }

  // Writes down a repair before its first statement runs: gives it an id unique in the file
  // (the clock's local time), the user, the computer, Leafward's version and the account set,
  // and appends its first row and its planned codes. Throws RecordError; nothing may then run.
  void begin(Repair& repair);
  // Appends the row that confirms how step `step` of the repair (begun here) ended.
  void confirm(const Repair& repair, std::size_t step);

 private:
  RecordFile(platform::File file, std::string path, std::string folder, const AccountSet& set);
  void append(std::string text);

  platform::File file_;
  std::string path_, folder_, notice_;
  AccountSet set_;
  std::vector<Repair> repairs_;
  RowWriter writer_ = RowWriter::afterHeader();
  std::uint64_t size_ = 0;
  bool headerIncomplete_ = false;
  bool nameDurable_ = true;  // false until the first write of a file made here is synced
  bool broken_ = false;      // a write failed: nothing more is appended
};

// A record as `history` sees it, without waiting for anyone.
struct RecordReading {
  std::string path;
  std::vector<Repair> repairs;  // none when there is no record file yet
  bool repairUnderWay = false;  // a repair holds the file now: its last repair is running
};

// Reads the record of `set` in `folder` (recordFolder() when empty). Throws RecordError when it is
// damaged, foreign or cannot be read.
RecordReading readRecord(const std::string& folder, const AccountSet& set);

}  // namespace leafward::record
