#pragma once

#include <cstdint>
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
// one header row, then rows, each a CSV line (RFC 4180, CR LF) that ends with a checksum over
// itself and the row before it, so that a row changed, removed or moved by hand shows when the
// file is read. The checksum guards against mistakes, not against someone who sets out to forge
// a record. docs/formats.md gives every field.
//
// Two layouts of rows exist. Layout 1 (Leafward 0.1.0, 18 fields) writes the statement's text
// into every row of a planned code. Layout 2 (20 fields) writes it once per statement, names
// each row where the database keeps it, and records take-ups. A file begins in the layout its
// header names; a file of layout 1 goes on in layout 2 after a row of kind "格式".
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class Layout { One = 1, Two = 2 };

// The header row of a layout, CR LF included.
std::string headerLine(Layout layout = Layout::Two);

// The checksum a row of `fields` chains onto the row before, which left `previous`: 16
// lower-case hexadecimal digits.
std::string rowChecksum(std::string_view previous, const std::vector<std::string>& fields,
                        std::size_t count);

// The rows of repairs, in layout 2, as text to append to a file whose last row left `checksum`.
class RowWriter {
 public:
  explicit RowWriter(std::string checksum) : checksum_(std::move(checksum)) {}
  // After the header row of `layout` alone.
  static RowWriter afterHeader(Layout layout = Layout::Two);

  // The repair's first row, then for each statement a row with its text followed by one row
  // per planned code.
  std::string beginning(const Repair& repair);
  // The row that confirms how statement `step` of the repair ended.
  std::string confirmation(const Repair& repair, std::size_t step);
  // The rows of a take-up of statement `step`: the rows it left alone, then how it ended.
  std::string takeUp(const Repair& repair, std::size_t step, const TakeUp& takeUp);
  // The row, in layout 1, after which a file of layout 1 goes on in layout 2.
  std::string layoutSwitch(const std::string& version);

  // Any row of these fields (missing ones empty), in layout 2, chained like the others.
  std::string row(std::vector<std::string> fields);

  const std::string& checksum() const { return checksum_; }

 private:
  std::string chained(std::vector<std::string> fields, std::size_t columns);

  std::string checksum_;
};

// Where an entry's rows begin in the file: the offset of its first row, and the checksum the
// row before it left, from which its rows can be read and checked without the rows before.
struct EntryPlace {
  std::uint64_t offset = 0;
  std::string checksumBefore;
  bool operator==(const EntryPlace&) const = default;
};

// What the rows of a record file hold.
struct RecordContents {
  std::vector<Repair> repairs;     // in the order they were written
  std::vector<EntryPlace> places;  // of each repair
  std::string checksum;            // the last row's, for the next row to chain on
  Layout layout = Layout::Two;     // the layout the next row is written in
  // The file is empty, or ends inside its header row: the next repair writes the header first.
  bool headerIncomplete = false;
  // How many bytes hold the rows read: fewer than all when the file ends in rows a writer left
  // unfinished, which were passed over.
  std::uint64_t wholeSize = 0;
};

// How a read takes rows a writer may have left unfinished at the end of the bytes.
enum class Ending {
  Whole,     // none: every row and every repair's code rows are complete
  UnderWay,  // a repair holds the file and is writing it: its rows may be incomplete
  Mend,      // a file without an anchor (0.1.0's): an unfinished last row is passed over,
             // and with it a repair whose code rows it was still writing, which never ran
};

// Reads the bytes of a whole record file of `set`, trusting nothing: an empty file, or one cut
// short inside its header row, holds no repairs; a file that does not begin with the byte-order
// mark and a header row is not a record of repairs; a row that is not well formed, does not fit
// the rows before it or whose checksum does not match, a repair with fewer code rows than it
// declares, and the repairs of another account set are refused. Throws RecordError naming
// `fileName` and the line.
RecordContents readRecordText(std::string_view bytes, const AccountSet& set,
                              const std::string& fileName, Ending ending = Ending::Whole);

// Reads `rows`, the bytes of a record file from `from.offset` to the end of its whole rows, where
// the row before them left `from.checksumBefore`: the last entries of a record. An undo may name
// a repair before them. The rows must end whole. Throws RecordError.
RecordContents readRecordRows(std::string_view rows, const EntryPlace& from, const AccountSet& set,
                              const std::string& fileName);

// Whether `rows`, bytes that follow a row, are rows chained onto `checksum`, the last of them
// perhaps unfinished: what an append leaves when it is stopped.
bool rowsChainOn(std::string_view rows, std::string checksum);

// The account set of the first repair a record file's bytes hold, read without checking the
// rest; nothing when the file holds no repair yet. Throws RecordError when its beginning is not
// that of a record.
std::optional<AccountSet> firstAccountSet(std::string_view bytes, const std::string& fileName);

}  // namespace leafward::record
