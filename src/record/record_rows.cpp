#include "record/record_rows.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "common/fnv1a.h"
#include "record/csv.h"
#include "record/repair_id.h"

namespace leafward::record {
namespace {

// Every field a row may have; a layout has some of them, in this order.
enum Field : std::size_t {
  kId,
  kKind,
  kTime,
  kUser,
  kComputer,
  kVersion,
  kServer,
  kAccountSet,
  kUndoes,
  kStep,
  kDirection,
  kCode,
  kRow,
  kBefore,
  kAfter,
  kStatement,
  kCount,
  kResult,
  kNote,
  kChecksum,
  kFields
};

struct Column {
  Field field;
  const char* name;
};

const std::vector<Column>& columnsOf(Layout layout) {
  static const std::vector<Column> one = {
      {kId, "修复编号"},  {kKind, "记录"},      {kUser, "用户"},       {kComputer, "计算机"},
      {kVersion, "版本"}, {kServer, "服务器"},  {kAccountSet, "账套"}, {kUndoes, "撤销的修复"},
      {kStep, "步骤"},    {kDirection, "标志"}, {kCode, "科目代码"},   {kBefore, "修复前"},
      {kAfter, "修复后"}, {kStatement, "语句"}, {kCount, "行数"},      {kResult, "结果"},
      {kNote, "说明"},    {kChecksum, "校验"}};
  static const std::vector<Column> two = {
      {kId, "修复编号"},    {kKind, "记录"},       {kTime, "时间"},
      {kUser, "用户"},      {kComputer, "计算机"}, {kVersion, "版本"},
      {kServer, "服务器"},  {kAccountSet, "账套"}, {kUndoes, "撤销的修复"},
      {kStep, "步骤"},      {kDirection, "标志"},  {kCode, "科目代码"},
      {kRow, "行"},         {kBefore, "修复前"},   {kAfter, "修复后"},
      {kStatement, "语句"}, {kCount, "行数"},      {kResult, "结果"},
      {kNote, "说明"},      {kChecksum, "校验"}};
  return layout == Layout::One ? one : two;
}

std::vector<std::string> headerFields(Layout layout) {
  std::vector<std::string> names;
  for (const Column& column : columnsOf(layout)) names.emplace_back(column.name);
  return names;
}

using Fields = std::array<std::string, kFields>;

constexpr std::string_view kRepairRow = "修复", kStatementRow = "语句", kPlannedRow = "计划",
                           kConfirmedRow = "确认", kTakeUpRow = "续做", kLeftAloneRow = "未做",
                           kLayoutRow = "格式";
constexpr std::string_view kNonLeaf = "非末级", kLeaf = "末级";
constexpr std::string_view kDone = "完成", kFailed = "失败", kAbandoned = "放弃";
constexpr std::string_view kNullCode = "科目代码为NULL";
constexpr std::size_t kMostSteps = 9;

std::string_view directionName(Direction direction) {
  return direction == Direction::NonLeaf ? kNonLeaf : kLeaf;
}

std::string directionsOf(const Repair& repair) {
  std::string text;
  for (const Step& step : repair.steps) {
    if (!text.empty()) text += '/';
    text += directionName(step.direction);
  }
  return text;
}

std::string flag(bool value) {
  return std::string(1, value ? '1' : '0');
}

std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

// The fields of a row naming one planned code of a statement.
Fields codeRow(const Repair& repair, std::size_t step, std::string_view kind,
               const CodeChange& change) {
  Fields fields;
  fields[kId] = repair.id;
  fields[kKind] = kind;
  fields[kStep] = std::to_string(step + 1);
  fields[kDirection] = directionName(repair.steps[step].direction);
  fields[kCode] = change.code.value_or("");
  fields[kRow] = change.row;
  if (!change.code) fields[kNote] = kNullCode;
  fields[kBefore] = flag(change.before);
  fields[kAfter] = flag(change.after);
  return fields;
}

std::vector<std::string> inLayout(const Fields& fields, Layout layout) {
  std::vector<std::string> ordered;
  for (const Column& column : columnsOf(layout)) ordered.push_back(fields[column.field]);
  return ordered;
}

// Reads the rows of one file in order, keeping what the rows so far have declared. From the
// middle of a file (`tail`) an undo may name a repair before the rows read.
class RowReader {
 public:
  // `lines`: the lines of the file before the rows read (its header's), or, for the rows from
  // the middle of a file, nothing: lines are then counted from there, and so named.
  RowReader(const AccountSet& set, const std::string& fileName, std::optional<std::size_t> lines,
            std::uint64_t from = 0)
      : set_(set), fileName_(fileName), tail_(!lines), lines_(lines.value_or(0)), from_(from) {}

  // Reads one row that begins at `offset`, in the layout its field count names (which must be
  // the file's layout at this point), chained onto `checksum`.
  void read(const CsvRecord& record, std::uint64_t offset, Layout& layout, std::string& checksum) {
    line_ = record.line + lines_;
    const std::size_t count = record.fields.size();
    const Layout rowLayout = count == columnsOf(Layout::One).size()   ? Layout::One
                             : count == columnsOf(Layout::Two).size() ? Layout::Two
                                                                      : layout;
    if (count != columnsOf(rowLayout).size() || rowLayout != layout) {
      fail("it has " + std::to_string(count) + " fields, not " +
           std::to_string(columnsOf(layout).size()));
    }
    const std::string expected = rowChecksum(checksum, record.fields, count - 1);
    if (record.fields.back() != expected) {
      fail("its checksum does not match: the row was changed, or a row before it removed");
    }
    const std::string before = std::exchange(checksum, expected);
    Fields fields;
    const std::vector<Column>& columns = columnsOf(layout);
    for (std::size_t i = 0; i < columns.size(); ++i) fields[columns[i].field] = record.fields[i];

    const std::string& kind = fields[kKind];
    if (kind == kLayoutRow && layout == Layout::One) {
      if (fields[kNote] != "2") fail("it switches to a layout this version does not know");
      pendingDone();
      layout = Layout::Two;
      return;
    }
    if (kind == kRepairRow) return readRepair(fields, offset, layout, before);
    Repair& repair = known(fields[kId]);
    if (layout == Layout::Two && kind == kLeftAloneRow) return readLeftAlone(repair, fields);
    if (layout == Layout::Two && kind == kTakeUpRow) return readTakeUp(repair, fields);
    pendingDone();
    if (kind == kPlannedRow) return readPlanned(repair, fields, layout);
    if (layout == Layout::Two && kind == kStatementRow) return readStatement(repair, fields);
    if (kind == kConfirmedRow) return readConfirmed(repair, fields, layout);
    fail("it is not a kind of row Leafward writes");
  }

  // Every repair's code rows are all there, except perhaps the last one's while it is written.
  void finish(bool lastMayBeIncomplete) {
    if (!lastMayBeIncomplete && !leftAlone_.empty()) {
      fail("rows left alone by a take-up are not followed by how it ended");
    }
    for (std::size_t i = 0; i < repairs_.size(); ++i) {
      if (complete(i) || (lastMayBeIncomplete && i + 1 == repairs_.size())) continue;
      const Repair& repair = repairs_[i];
      throw RecordError(fileName_ + " is damaged: the repair " + repair.id + " lists " +
                        std::to_string(repair.plannedCount()) + " of its " +
                        std::to_string(declared_[i].total) + " codes");
    }
  }

  RecordContents take() {
    RecordContents contents;
    contents.repairs = std::move(repairs_);
    contents.places = std::move(places_);
    return contents;
  }
  std::size_t repairCount() const { return repairs_.size(); }
  bool lastIncomplete() const { return !repairs_.empty() && !complete(repairs_.size() - 1); }

  [[noreturn]] void fail(const std::string& why) const {
    const std::string where = tail_ ? " of the rows from byte " + std::to_string(from_) : "";
    throw RecordError(fileName_ + " is damaged at line " + std::to_string(line_) + where + ": " +
                      why);
  }

 private:
  // What a repair's first row declares, and how far its listing has come.
  struct Declared {
    std::size_t total = 0;
    std::vector<std::size_t> perStep;  // layout 2: from each statement's row
    std::size_t stepsListed = 0;       // layout 2: statement rows read
    Layout layout = Layout::Two;
    bool takenUp = false;  // a take-up row of it was read
  };

  bool complete(std::size_t index) const {
    const Declared& declared = declared_[index];
    const Repair& repair = repairs_[index];
    if (repair.plannedCount() != declared.total) return false;
    if (declared.layout == Layout::One) return true;
    if (declared.stepsListed != repair.steps.size()) return false;
    for (std::size_t i = 0; i < repair.steps.size(); ++i) {
      if (repair.steps[i].planned.size() != declared.perStep[i]) return false;
    }
    return true;
  }

  void readRepair(const Fields& fields, std::uint64_t offset, Layout layout,
                  const std::string& before) {
    pendingDone();
    if (!repairs_.empty() && !complete(repairs_.size() - 1)) {
      fail("a repair begins before the one before it lists all its codes");
    }
    Repair repair;
    repair.id = fields[kId];
    if (!isRepairId(repair.id)) fail(quoted(repair.id) + " is not a repair's id");
    if (ids_.count(repair.id)) fail("the repair " + repair.id + " begins a second time");
    // R5: in layout 2 each repair's id names a later moment than the one before it.
    if (layout == Layout::Two && !repairs_.empty() &&
        instantOf(repair.id) <= instantOf(repairs_.back().id)) {
      fail("the repair " + repair.id + " is not later than the one before it");
    }
    repair.user = fields[kUser];
    repair.computer = fields[kComputer];
    repair.version = fields[kVersion];
    repair.accountSet = {fields[kServer], fields[kAccountSet]};
    if (!repair.accountSet.sameAs(set_)) {
      throw RecordError(fileName_ + " records the repairs of another account set (" +
                        repair.accountSet.describe() + "), not of " + set_.describe());
    }
    repair.undoes = fields[kUndoes];
    if (!repair.undoes.empty() && !ids_.count(repair.undoes) &&
        (!tail_ || !isRepairId(repair.undoes))) {
      fail("it undoes a repair the record does not hold");
    }
    const std::size_t steps = count(fields[kStep], kMostSteps);
    std::string_view directions = fields[kDirection];
    for (std::size_t i = 0; i < steps; ++i) {
      const std::size_t slash = directions.find('/');
      if ((slash == std::string_view::npos) != (i + 1 == steps)) {
        fail("its flags do not name its " + std::to_string(steps) + " statements");
      }
      repair.steps.push_back({direction(directions.substr(0, slash)), {}, {}, {}, {}});
      if (slash != std::string_view::npos) directions.remove_prefix(slash + 1);
    }
    if (steps == 0) fail("it has no statements");
    for (const Field empty : {kTime, kCode, kRow, kBefore, kAfter, kStatement, kResult, kNote}) {
      if (!fields[empty].empty()) fail("a repair's first row has a field it does not use");
    }
    Declared declared;
    declared.total = count(fields[kCount], SIZE_MAX / 2);
    declared.layout = layout;
    ids_.insert(repair.id);
    repairs_.push_back(std::move(repair));
    declared_.push_back(declared);
    places_.push_back({offset, before});
  }

  void readStatement(Repair& repair, const Fields& fields) {
    Declared& declared = declaredOf(repair);
    const std::size_t number = stepNumber(repair, fields);
    if (number != declared.stepsListed + 1) fail("its statement comes out of order");
    if (declared.stepsListed > 0 &&
        repair.steps[declared.stepsListed - 1].planned.size() != declared.perStep.back()) {
      fail("a statement begins before the one before it lists all its codes");
    }
    if (fields[kStatement].empty()) fail("it names no statement");
    for (const Field empty : {kTime, kUser, kComputer, kCode, kRow, kBefore, kAfter, kResult}) {
      if (!fields[empty].empty()) fail("a statement's row has a field it does not use");
    }
    repair.steps[number - 1].statement = fields[kStatement];
    declared.perStep.push_back(count(fields[kCount], SIZE_MAX / 2));
    ++declared.stepsListed;
    std::size_t sum = 0;
    for (const std::size_t rows : declared.perStep) sum += rows;
    if (sum > declared.total) fail("its statements list more codes than the repair declares");
  }

  void readPlanned(Repair& repair, const Fields& fields, Layout layout) {
    Declared& declared = declaredOf(repair);
    if (&repair != &repairs_.back()) fail("a code row follows a later repair");
    Step& step = stepOf(repair, fields, layout);
    if (step.confirmation) fail("a code follows the statement's confirmation");
    if (repair.plannedCount() >= declared.total) {
      fail("the repair " + repair.id + " lists more codes than it declares");
    }
    if (layout == Layout::Two) {
      const std::size_t number = stepNumber(repair, fields);
      if (number != declared.stepsListed || step.planned.size() >= declared.perStep.back()) {
        fail("a code row does not follow its statement's row");
      }
    }
    step.planned.push_back(codeChange(fields));
    if (!fields[kCount].empty() || !fields[kResult].empty()) fail("a code row has a count");
  }

  void readConfirmed(Repair& repair, const Fields& fields, Layout layout) {
    Step& step = stepOf(repair, fields, layout);
    if (step.confirmation) fail("the statement is confirmed a second time");
    if (declaredOf(repair).takenUp) fail("a statement is confirmed after a take-up");
    if (!complete(indexOf(repair))) {
      fail("a statement is confirmed before all codes of the repair are listed");
    }
    if (!fields[kCode].empty() || !fields[kBefore].empty() || !fields[kAfter].empty() ||
        !fields[kRow].empty()) {
      fail("a confirmation names a code");
    }
    Confirmation confirmation;
    if (fields[kResult] != kDone && fields[kResult] != kFailed) fail("its result is unknown");
    confirmation.failed = fields[kResult] == kFailed;
    confirmation.count = static_cast<std::int64_t>(count(fields[kCount], SIZE_MAX / 2));
    confirmation.note = fields[kNote];
    step.confirmation = std::move(confirmation);
  }

  void readLeftAlone(Repair& repair, const Fields& fields) {
    takeUpOfLast(repair);
    Step& step = stepOf(repair, fields, Layout::Two);
    const std::size_t number = stepNumber(repair, fields);
    if (!leftAlone_.empty() && leftAloneStep_ != number) {
      fail("rows left alone by a take-up name two statements");
    }
    leftAloneStep_ = number;
    CodeChange change = codeChange(fields);
    if (std::find(step.planned.begin(), step.planned.end(), change) == step.planned.end()) {
      fail("a row left alone by a take-up is not one its statement planned");
    }
    leftAlone_.push_back(std::move(change));
  }

  void readTakeUp(Repair& repair, const Fields& fields) {
    takeUpOfLast(repair);
    Step& step = stepOf(repair, fields, Layout::Two);
    if (!leftAlone_.empty() && leftAloneStep_ != stepNumber(repair, fields)) {
      fail("rows left alone by a take-up name another statement");
    }
    if (step.done() || step.abandoned()) fail("a statement is taken up that needs no take-up");
    if (!complete(indexOf(repair))) fail("a statement is taken up before its codes are listed");
    if (!isRepairId(fields[kTime])) fail(quoted(fields[kTime]) + " is not a time");
    if (!fields[kCode].empty() || !fields[kRow].empty() || !fields[kBefore].empty() ||
        !fields[kAfter].empty()) {
      fail("a take-up names a code");
    }
    TakeUp takeUp;
    takeUp.time = fields[kTime];
    takeUp.user = fields[kUser];
    takeUp.computer = fields[kComputer];
    takeUp.version = fields[kVersion];
    const std::string& result = fields[kResult];
    if (result != kDone && result != kFailed && result != kAbandoned) fail("its result is unknown");
    takeUp.confirmation.failed = result != kDone;
    takeUp.abandoned = result == kAbandoned;
    takeUp.confirmation.count = static_cast<std::int64_t>(count(fields[kCount], SIZE_MAX / 2));
    takeUp.confirmation.note = fields[kNote];
    if (takeUp.confirmation.failed && !leftAlone_.empty()) {
      fail("a take-up that changed nothing leaves rows alone");
    }
    takeUp.leftAlone = std::move(leftAlone_);
    leftAlone_.clear();
    declaredOf(repair).takenUp = true;
    step.takeUps.push_back(std::move(takeUp));
  }

  // Rows left alone are followed at once by the take-up they belong to.
  void pendingDone() const {
    if (!leftAlone_.empty()) fail("rows left alone by a take-up are not followed by how it ended");
  }

  // A take-up belongs to the last repair begun: it is carried out before anything is appended.
  void takeUpOfLast(const Repair& repair) const {
    if (&repair != &repairs_.back()) fail("a take-up names a repair other than the last one");
  }

  CodeChange codeChange(const Fields& fields) const {
    CodeChange change;
    if (fields[kNote] == kNullCode && fields[kCode].empty()) {
      change.code = std::nullopt;
    } else if (fields[kNote].empty()) {
      change.code = fields[kCode];
    } else {
      fail("the note of a code is not one Leafward writes");
    }
    change.row = fields[kRow];
    change.before = flagValue(fields[kBefore]);
    change.after = flagValue(fields[kAfter]);
    if (change.before == change.after) fail("the flag is the same before and after");
    return change;
  }

  // From the last: a repair's rows follow its first row.
  Repair& known(const std::string& id) {
    for (auto repair = repairs_.rbegin(); repair != repairs_.rend(); ++repair) {
      if (repair->id == id) return *repair;
    }
    fail("it belongs to no repair begun before it");
  }

  std::size_t indexOf(const Repair& repair) const {
    return static_cast<std::size_t>(&repair - repairs_.data());
  }
  Declared& declaredOf(const Repair& repair) { return declared_[indexOf(repair)]; }

  std::size_t stepNumber(const Repair& repair, const Fields& fields) const {
    const std::size_t number = count(fields[kStep], repair.steps.size());
    if (number == 0) fail("it names no statement of its repair");
    return number;
  }

  // The step the row names; its direction must agree with the repair's, and in layout 1 its
  // statement with the step's other rows.
  Step& stepOf(Repair& repair, const Fields& fields, Layout layout) {
    Step& step = repair.steps[stepNumber(repair, fields) - 1];
    if (direction(fields[kDirection]) != step.direction) {
      fail("its flag differs from the one its repair declares");
    }
    if (layout == Layout::Two) {
      if (!fields[kStatement].empty()) fail("it repeats its statement");
      return step;
    }
    if (fields[kStatement].empty()) fail("it names no statement");
    const bool first = step.planned.empty() && !step.confirmation;
    if (first) step.statement = fields[kStatement];
    if (fields[kStatement] != step.statement) fail("its statement differs from the step's");
    return step;
  }

  Direction direction(std::string_view text) const {
    if (text == kNonLeaf) return Direction::NonLeaf;
    if (text == kLeaf) return Direction::Leaf;
    fail(quoted(text) + " is not a kind of flag");
  }

  bool flagValue(std::string_view text) const {
    if (text == "1") return true;
    if (text == "0") return false;
    fail("a flag is " + quoted(text) + ", not 1 or 0");
  }

  // A whole number from 0 to `most`, in digits without sign or leading zeros.
  std::size_t count(std::string_view text, std::size_t most) const {
    std::size_t value = 0;
    const bool digits = !text.empty() && text.size() <= 18 && (text == "0" || text[0] != '0');
    for (char c : text) {
      if (!digits || c < '0' || c > '9') fail(quoted(text) + " is not a count");
      value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!digits || value > most) fail(quoted(text) + " is out of range");
    return value;
  }

  const AccountSet& set_;
  const std::string& fileName_;
  bool tail_;
  std::size_t lines_;
  std::uint64_t from_;
  std::size_t line_ = 0;
  std::vector<Repair> repairs_;
  std::vector<Declared> declared_;
  std::vector<EntryPlace> places_;
  std::set<std::string> ids_;
  std::vector<CodeChange> leftAlone_;  // rows left alone by a take-up whose row is yet to come
  std::size_t leftAloneStep_ = 0;
};

// What reading rows to the end of a text found there.
struct RowsEnd {
  std::string problem;  // a row that is not CSV
  std::size_t problemLine = 0;
  bool cutShort = false;            // the text ends inside a row
  std::size_t wholeEnd = 0;         // where the last whole row ends
  std::size_t lastRepairStart = 0;  // where the last repair's first row begins
};

// Reads the rows of `text` (what follows the byte-order mark) from `start`, a row boundary, to
// the end. Rows are taken one at a time, in `contents.layout` (in a tail, `layoutUnknown`: the
// layout of the first row's field count), chained onto `contents.checksum`.
RowsEnd readRows(std::string_view text, std::size_t start, std::uint64_t base, RowReader& reader,
                 RecordContents& contents, bool layoutUnknown = false) {
  RowsEnd end;
  end.wholeEnd = end.lastRepairStart = start;
  CsvCursor cursor(text.substr(start));
  CsvRecord record;
  while (cursor.next(record)) {
    if (layoutUnknown) {
      contents.layout =
          record.fields.size() == columnsOf(Layout::One).size() ? Layout::One : Layout::Two;
      layoutUnknown = false;
    }
    const std::size_t before = reader.repairCount();
    reader.read(record, base + end.wholeEnd, contents.layout, contents.checksum);
    if (reader.repairCount() > before) end.lastRepairStart = end.wholeEnd;
    end.wholeEnd = start + record.end;
  }
  end.problem = cursor.problem();
  end.problemLine = cursor.problemLine();
  end.cutShort = cursor.cutShort();
  return end;
}

// The repairs the reader took, with what the rows left for the next one.
RecordContents finished(RowReader& reader, const RecordContents& state, std::uint64_t size) {
  RecordContents contents = reader.take();
  contents.checksum = state.checksum;
  contents.layout = state.layout;
  contents.wholeSize = size;
  return contents;
}

}  // namespace

std::string rowChecksum(std::string_view previous, const std::vector<std::string>& fields,
                        std::size_t count) {
  Fnv1a64 hash;
  // Each field ends with a separator no field can forge by moving text between fields.
  hash.add(previous).add(std::uint8_t{0x1F});
  for (std::size_t i = 0; i < count; ++i) hash.add(fields[i]).add(std::uint8_t{0x1F});
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash.value()));
  return text;
}

std::string headerLine(Layout layout) {
  return csvLine(headerFields(layout));
}

RowWriter RowWriter::afterHeader(Layout layout) {
  const std::vector<std::string> header = headerFields(layout);
  return RowWriter(rowChecksum("", header, header.size()));
}

std::string RowWriter::chained(std::vector<std::string> fields, std::size_t columns) {
  fields.resize(columns);
  checksum_ = rowChecksum(checksum_, fields, columns - 1);
  fields[columns - 1] = checksum_;
  return csvLine(fields);
}

std::string RowWriter::row(std::vector<std::string> fields) {
  return chained(std::move(fields), columnsOf(Layout::Two).size());
}

std::string RowWriter::beginning(const Repair& repair) {
  Fields first;
  first[kId] = repair.id;
  first[kKind] = kRepairRow;
  first[kUser] = repair.user;
  first[kComputer] = repair.computer;
  first[kVersion] = repair.version;
  first[kServer] = repair.accountSet.server;
  first[kAccountSet] = repair.accountSet.name;
  first[kUndoes] = repair.undoes;
  first[kStep] = std::to_string(repair.steps.size());
  first[kDirection] = directionsOf(repair);
  first[kCount] = std::to_string(repair.plannedCount());
  std::string text = row(inLayout(first, Layout::Two));
  for (std::size_t i = 0; i < repair.steps.size(); ++i) {
    const Step& step = repair.steps[i];
    Fields statement;
    statement[kId] = repair.id;
    statement[kKind] = kStatementRow;
    statement[kStep] = std::to_string(i + 1);
    statement[kDirection] = directionName(step.direction);
    statement[kStatement] = step.statement;
    statement[kCount] = std::to_string(step.planned.size());
    text += row(inLayout(statement, Layout::Two));
    for (const CodeChange& change : step.planned) {
      text += row(inLayout(codeRow(repair, i, kPlannedRow, change), Layout::Two));
    }
  }
  return text;
}

std::string RowWriter::confirmation(const Repair& repair, std::size_t step) {
  const Step& confirmed = repair.steps.at(step);
  const Confirmation& how = confirmed.confirmation.value();
  Fields fields;
  fields[kId] = repair.id;
  fields[kKind] = kConfirmedRow;
  fields[kStep] = std::to_string(step + 1);
  fields[kDirection] = directionName(confirmed.direction);
  fields[kCount] = std::to_string(how.count);
  fields[kResult] = how.failed ? kFailed : kDone;
  fields[kNote] = how.note;
  return row(inLayout(fields, Layout::Two));
}

std::string RowWriter::takeUp(const Repair& repair, std::size_t step, const TakeUp& takeUp) {
  std::string text;
  for (const CodeChange& change : takeUp.leftAlone) {
    text += row(inLayout(codeRow(repair, step, kLeftAloneRow, change), Layout::Two));
  }
  Fields fields;
  fields[kId] = repair.id;
  fields[kKind] = kTakeUpRow;
  fields[kTime] = takeUp.time;
  fields[kUser] = takeUp.user;
  fields[kComputer] = takeUp.computer;
  fields[kVersion] = takeUp.version;
  fields[kStep] = std::to_string(step + 1);
  fields[kDirection] = directionName(repair.steps.at(step).direction);
  fields[kCount] = std::to_string(takeUp.confirmation.count);
  fields[kResult] = takeUp.abandoned ? kAbandoned : takeUp.confirmation.failed ? kFailed : kDone;
  fields[kNote] = takeUp.confirmation.note;
  return text + row(inLayout(fields, Layout::Two));
}

std::string RowWriter::layoutSwitch(const std::string& version) {
  Fields fields;
  fields[kKind] = kLayoutRow;
  fields[kVersion] = version;
  fields[kNote] = "2";
  return chained(inLayout(fields, Layout::One), columnsOf(Layout::One).size());
}

RecordContents readRecordText(std::string_view bytes, const AccountSet& set,
                              const std::string& fileName, Ending ending) {
  // A file cut short inside its first row holds nothing yet: the writer stopped while it made
  // the file, and the next repair writes the first row again.
  for (const Layout layout : {Layout::Two, Layout::One}) {
    const std::string start = std::string(kByteOrderMark) + headerLine(layout);
    if (bytes.size() < start.size() && std::string_view(start).starts_with(bytes)) {
      RecordContents contents;
      contents.checksum = RowWriter::afterHeader().checksum();
      contents.headerIncomplete = true;
      contents.wholeSize = bytes.size();
      return contents;
    }
  }
  const std::string foreign = fileName + " is not a record of repairs written by Leafward";
  if (!bytes.starts_with(kByteOrderMark)) throw RecordError(foreign + " (no byte-order mark)");
  const std::string_view text = bytes.substr(kByteOrderMark.size());
  Layout layout = Layout::Two;
  if (text.starts_with(headerLine(Layout::One))) {
    layout = Layout::One;
  } else if (!text.starts_with(headerLine(Layout::Two))) {
    throw RecordError(foreign + " (its first row is not Leafward's header)");
  }
  const std::size_t headerSize = headerLine(layout).size();
  RecordContents state;
  state.layout = layout;
  state.checksum = RowWriter::afterHeader(layout).checksum();
  RowReader reader(set, fileName, 1);
  const RowsEnd end = readRows(text, headerSize, kByteOrderMark.size(), reader, state);
  if (!end.problem.empty()) {
    throw RecordError(fileName + " is damaged at line " + std::to_string(end.problemLine + 1) +
                      ": " + end.problem);
  }
  if (end.cutShort && ending == Ending::Whole) {
    throw RecordError(fileName + " is damaged: it ends inside a row");
  }
  if (ending == Ending::Mend && (end.cutShort || reader.lastIncomplete())) {
    const std::size_t whole = reader.lastIncomplete() ? end.lastRepairStart : end.wholeEnd;
    return readRecordText(bytes.substr(0, kByteOrderMark.size() + whole), set, fileName,
                          Ending::Whole);
  }
  reader.finish(ending == Ending::UnderWay);
  return finished(reader, state, bytes.size());
}

RecordContents readRecordRows(std::string_view rows, const EntryPlace& from, const AccountSet& set,
                              const std::string& fileName) {
  RecordContents state;
  state.checksum = from.checksumBefore;
  RowReader reader(set, fileName, std::nullopt, from.offset);
  const RowsEnd end = readRows(rows, 0, from.offset, reader, state, true);
  if (!end.problem.empty() || end.cutShort) {
    throw RecordError(fileName + " is damaged after byte " + std::to_string(from.offset) + ": " +
                      (end.problem.empty() ? std::string("it ends inside a row") : end.problem));
  }
  reader.finish(false);
  return finished(reader, state, from.offset + rows.size());
}

bool rowsChainOn(std::string_view rows, std::string checksum) {
  CsvCursor cursor(rows);
  CsvRecord record;
  while (cursor.next(record)) {
    const std::vector<std::string>& fields = record.fields;
    if (fields.size() < 2 || fields.back() != rowChecksum(checksum, fields, fields.size() - 1)) {
      return false;
    }
    checksum = fields.back();
  }
  return cursor.problem().empty();
}

std::optional<AccountSet> firstAccountSet(std::string_view bytes, const std::string& fileName) {
  const std::string foreign = fileName + " is not a record of repairs written by Leafward";
  if (!bytes.starts_with(kByteOrderMark)) {
    if (std::string_view(kByteOrderMark).starts_with(bytes)) return std::nullopt;
    throw RecordError(foreign + " (no byte-order mark)");
  }
  const std::string_view text = bytes.substr(kByteOrderMark.size());
  for (const Layout layout : {Layout::One, Layout::Two}) {
    const std::string header = headerLine(layout);
    if (header.starts_with(text)) return std::nullopt;  // cut inside its header
    if (!text.starts_with(header)) continue;
    CsvCursor cursor(text.substr(header.size()));
    CsvRecord record;
    if (!cursor.next(record)) {
      if (cursor.problem().empty()) return std::nullopt;  // no row yet, or half of one
      break;
    }
    const std::vector<std::string>& fields = record.fields;
    if (fields.size() != columnsOf(layout).size()) break;
    Fields named;
    for (std::size_t i = 0; i < fields.size(); ++i) named[columnsOf(layout)[i].field] = fields[i];
    if (named[kKind] != kRepairRow) break;
    return AccountSet{named[kServer], named[kAccountSet]};
  }
  throw RecordError(foreign + " (its first row is not Leafward's header)");
}

}  // namespace leafward::record
