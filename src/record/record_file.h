#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "record/account_set.h"
#include "record/anchor.h"
#include "record/record_rows.h"
#include "record/repair.h"

namespace leafward::record {

// The folder the records of repairs are kept in: LEAFWARD_RECORD_DIR when it is set and not
// empty, otherwise the user's own (platform::repairRecordFolder()). Throws RecordError when the
// system names none.
std::string recordFolder();

// The record file of `set` in `folder`: the file Leafward 0.1.0 named for it when that holds
// its repairs; otherwise the first of the names AccountSet::recordFileName gives that is free or
// holds the repairs of `set` (another account set's record under the name is passed by, so that
// two account sets never share one). Throws RecordError when a file under one of the names is
// not a record or cannot be read.
std::string recordPath(const std::string& folder, const AccountSet& set);

// The record of one account set, held by one repair from before its first statement to its
// last confirmation. Other repairs of the account set wait for it as a reader waits for a
// writer, or are refused; `readRecord` can tell that a repair holds it. Rows are only ever
// appended, each batch made durable, and then the anchor written (R1 .. R5 in record_file.cpp).
struct RecordPeek;

class RecordFile {
 public:
  // Makes the folder (recordFolder() when `folder` is empty) and the file as needed, takes the
  // file and reads the entries the next Update and undo need (see repairs()), cutting off the
  // rows an append left when it was stopped before its anchor was written. Throws RecordError
  // with the reason: the folder or file cannot be made or written, the name holds something
  // other than a file, another program or repair holds it longer than a reader waits, or it is
  // damaged, cut short or foreign.
  static RecordFile openForRepair(const std::string& folder, const AccountSet& set);

  // Reads the entries the next undo needs as openForRepair does, without waiting, writing or
  // holding anything: nothing when there is no record yet. Throws RecordError.
  static std::optional<RecordPeek> peek(const std::string& folder, const AccountSet& set);

  const std::string& path() const { return path_; }
  // The last entries of the record: every entry from the one the next undo needs, and at least
  // the last one; all of them where the anchor does not say (readWhole()). Begun and confirmed
  // repairs are added as they are written.
  const std::vector<Repair>& repairs() const { return repairs_; }
  bool readWhole() const { return whole_; }
  // What a person should know about the file as it was found (rows a writer left unfinished
  // were cut off), as a line for the report; empty when nothing.
  const std::string& notice() const { return notice_; }

  // Writes down a repair before its first statement runs: gives it an id later than every
  // repair's in the file (the clock's local time, or a millisecond after the last when the clock
  // is behind it), the user, the computer, Leafward's version and the account set, and appends
  // its first rows and its planned codes. Throws RecordError; nothing may then run.
  void begin(Repair& repair);
  // Appends the row that confirms how step `step` of the repair (begun here) ended.
  void confirm(const Repair& repair, std::size_t step);
  // Appends the rows of a take-up of step `step` of the last entry; `takeUp` gets the time, the
  // user, the computer and the version.
  void takeUp(std::size_t step, TakeUp& takeUp);

 private:
  RecordFile(platform::File file, std::string path, std::string folder, const AccountSet& set);
  void readAnchored(const Anchor& anchor);
  void readAnchoredRows(const Anchor& anchor);
  void readUnanchored(bool anchorDamaged);
  // Anchors the file before its first append (R4); throws RecordError.
  void ready();
  void append(std::string text);
  void anchorFirst();
  Anchor nextAnchor(std::uint64_t size) const;

  platform::File file_;
  std::optional<AnchorFile> anchor_;
  std::string path_, folder_, notice_;
  AccountSet set_;
  std::vector<Repair> repairs_;
  std::vector<EntryPlace> places_;  // of repairs_
  bool whole_ = false;
  Layout layout_ = Layout::Two;
  std::int64_t latest_ = INT64_MIN;  // the latest instant a repair's id names
  RowWriter writer_ = RowWriter::afterHeader();
  std::uint64_t size_ = 0;
  bool headerIncomplete_ = false;
  bool nameDurable_ = true;  // false until the first write of a file made here is synced
  bool broken_ = false;      // a write failed: nothing more is appended
  bool readOnly_ = false;    // peeking: what was found is not mended
};

// What RecordFile::peek finds.
struct RecordPeek {
  std::vector<Repair> repairs;  // as RecordFile::repairs()
  bool repairUnderWay = false;  // a repair holds the record now: nothing was read
};

// A record as `history` sees it, without waiting for anyone.
struct RecordReading {
  std::string path;
  std::vector<Repair> repairs;  // none when there is no record file yet
  bool repairUnderWay = false;  // a repair holds the file now: its last repair is running
};

// Reads the whole record of `set` in `folder` (recordFolder() when empty). Throws RecordError when
// it is damaged, cut short, foreign or cannot be read.
RecordReading readRecord(const std::string& folder, const AccountSet& set);

}  // namespace leafward::record
