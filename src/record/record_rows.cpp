#include "record/record_rows.h"

#include <cstdint>
#include <cstdio>
#include <map>

#include "record/csv.h"
#include "record/repair_id.h"

namespace leafward::record {
namespace {

enum Column : std::size_t {
  kId,
  kKind,
  kUser,
  kComputer,
  kVersion,
  kServer,
  kAccountSet,
  kUndoes,
  kStep,
  kDirection,
  kCode,
  kBefore,
  kAfter,
  kStatement,
  kCount,
  kResult,
  kNote,
  kChecksum,
  kColumns
};

const std::vector<std::string>& headerFields() {
  static const std::vector<std::string> fields = {
      "修复编号", "记录",     "用户",   "计算机", "版本", "服务器", "账套", "撤销的修复", "步骤",
      "标志",     "科目代码", "修复前", "修复后", "语句", "行数",   "结果", "说明",       "校验"};
  return fields;
}

constexpr std::string_view kRepairRow = "修复", kPlannedRow = "计划", kConfirmedRow = "确认";
constexpr std::string_view kNonLeaf = "非末级", kLeaf = "末级";
constexpr std::string_view kDone = "完成", kFailed = "失败";
constexpr std::string_view kNullCode = "科目代码为NULL";
constexpr std::size_t kMostSteps = 9;

std::string checksumOf(std::string_view previous, const std::vector<std::string>& fields,
                       std::size_t count) {
  std::uint64_t hash = 14695981039346656037ull;
  const auto mix = [&](std::string_view text) {
    for (char c : text) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ull;
    }
    hash ^= 0x1F;  // a separator no field can forge by moving text between fields
    hash *= 1099511628211ull;
  };
  mix(previous);
  for (std::size_t i = 0; i < count; ++i) mix(fields[i]);
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

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
  std::string result = "'";
  result += text;
  result += "'";
  return result;
}

// Reads the rows of one file in order, keeping what the rows so far have declared.
class RowReader {
 public:
  RowReader(const AccountSet& set, const std::string& fileName) : set_(set), fileName_(fileName) {}

  void read(const CsvRecord& record, std::string& checksum) {
    line_ = record.line;
    const std::vector<std::string>& fields = record.fields;
    if (fields.size() != kColumns) {
      fail("it has " + std::to_string(fields.size()) + " fields, not " + std::to_string(kColumns));
    }
    const std::string expected = checksumOf(checksum, fields, kChecksum);
    if (fields[kChecksum] != expected) {
      fail("its checksum does not match: the row was changed, or a row before it removed");
    }
    checksum = expected;
    if (fields[kKind] == kRepairRow) return readRepair(fields);
    Repair& repair = known(fields[kId]);
    Step& step = stepOf(repair, fields);
    if (fields[kKind] == kPlannedRow) return readPlanned(repair, step, fields);
    if (fields[kKind] == kConfirmedRow) return readConfirmed(repair, step, fields);
    fail("it is neither a repair, a planned code nor a confirmation");
  }

  // Every repair's code rows are all there, except perhaps the last one's while it is written.
  void finish(bool lastMayBeIncomplete) {
    for (std::size_t i = 0; i < repairs_.size(); ++i) {
      const Repair& repair = repairs_[i];
      const std::size_t listed = repair.plannedCount(), declared = declared_[repair.id];
      if (listed == declared || (lastMayBeIncomplete && i + 1 == repairs_.size())) continue;
      throw RecordError(fileName_ + " is damaged: the repair " + repair.id + " lists " +
                        std::to_string(listed) + " of its " + std::to_string(declared) + " codes");
    }
  }

  std::vector<Repair> take() { return std::move(repairs_); }
  std::size_t repairCount() const { return repairs_.size(); }
  bool lastIncomplete() {
    return !repairs_.empty() && repairs_.back().plannedCount() != declared_[repairs_.back().id];
  }

  [[noreturn]] void fail(const std::string& why) const {
    throw RecordError(fileName_ + " is damaged at line " + std::to_string(line_) + ": " + why);
  }

 private:
  void readRepair(const std::vector<std::string>& fields) {
    Repair repair;
    repair.id = fields[kId];
    if (!isRepairId(repair.id)) fail(quoted(repair.id) + " is not a repair's id");
    if (declared_.count(repair.id)) fail("the repair " + repair.id + " begins a second time");
    repair.user = fields[kUser];
    repair.computer = fields[kComputer];
    repair.version = fields[kVersion];
    repair.accountSet = {fields[kServer], fields[kAccountSet]};
    if (!repair.accountSet.sameAs(set_)) {
      throw RecordError(fileName_ + " records the repairs of another account set (" +
                        repair.accountSet.describe() + "), not of " + set_.describe());
    }
    repair.undoes = fields[kUndoes];
    if (!repair.undoes.empty() && !declared_.count(repair.undoes)) {
      fail("it undoes a repair the record does not hold");
    }
    const std::size_t steps = count(fields[kStep], kMostSteps);
    std::string_view directions = fields[kDirection];
    for (std::size_t i = 0; i < steps; ++i) {
      const std::size_t slash = directions.find('/');
      if ((slash == std::string_view::npos) != (i + 1 == steps)) {
        fail("its flags do not name its " + std::to_string(steps) + " statements");
      }
      repair.steps.push_back({direction(directions.substr(0, slash)), {}, {}, {}});
      if (slash != std::string_view::npos) directions.remove_prefix(slash + 1);
    }
    if (steps == 0) fail("it has no statements");
    declared_[repair.id] = count(fields[kCount], SIZE_MAX / 2);
    repairs_.push_back(std::move(repair));
  }

  void readPlanned(Repair& repair, Step& step, const std::vector<std::string>& fields) {
    if (step.confirmation) fail("a code follows the statement's confirmation");
    if (repair.plannedCount() >= declared_[repair.id]) {
      fail("the repair " + repair.id + " lists more codes than it declares");
    }
    CodeChange change;
    if (fields[kNote] == kNullCode && fields[kCode].empty()) {
      change.code = std::nullopt;
    } else if (fields[kNote].empty()) {
      change.code = fields[kCode];
    } else {
      fail("the note of a code is not one Leafward writes");
    }
    change.before = flagValue(fields[kBefore]);
    change.after = flagValue(fields[kAfter]);
    if (change.before == change.after) fail("the flag is the same before and after");
    if (!fields[kCount].empty() || !fields[kResult].empty()) fail("a code row has a count");
    step.planned.push_back(std::move(change));
  }

  void readConfirmed(Repair& repair, Step& step, const std::vector<std::string>& fields) {
    if (step.confirmation) fail("the statement is confirmed a second time");
    if (repair.plannedCount() != declared_[repair.id]) {
      fail("a statement is confirmed before all codes of the repair are listed");
    }
    if (!fields[kCode].empty() || !fields[kBefore].empty() || !fields[kAfter].empty()) {
      fail("a confirmation names a code");
    }
    Confirmation confirmation;
    if (fields[kResult] != kDone && fields[kResult] != kFailed) fail("its result is unknown");
    confirmation.failed = fields[kResult] == kFailed;
    confirmation.count = static_cast<std::int64_t>(count(fields[kCount], SIZE_MAX / 2));
    confirmation.note = fields[kNote];
    step.confirmation = std::move(confirmation);
  }

  // From the last: a repair's rows follow its first row.
  Repair& known(const std::string& id) {
    for (auto repair = repairs_.rbegin(); repair != repairs_.rend(); ++repair) {
      if (repair->id == id) return *repair;
    }
    fail("it belongs to no repair begun before it");
  }

  // The step the row names; its direction and statement must agree with the step's other rows.
  Step& stepOf(Repair& repair, const std::vector<std::string>& fields) {
    const std::size_t number = count(fields[kStep], repair.steps.size());
    if (number == 0) fail("it names no statement of its repair");
    Step& step = repair.steps[number - 1];
    if (direction(fields[kDirection]) != step.direction) {
      fail("its flag differs from the one its repair declares");
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
  std::size_t line_ = 0;
  std::vector<Repair> repairs_;
  std::map<std::string, std::size_t> declared_;  // codes each repair declares, by id
};

}  // namespace

std::string headerLine() {
  return csvLine(headerFields());
}

RowWriter RowWriter::afterHeader() {
  return RowWriter(checksumOf("", headerFields(), kColumns));
}

std::string RowWriter::row(std::vector<std::string> fields) {
  fields.resize(kColumns);
  checksum_ = checksumOf(checksum_, fields, kChecksum);
  fields[kChecksum] = checksum_;
  return csvLine(fields);
}

std::string RowWriter::beginning(const Repair& repair) {
  std::vector<std::string> first(kColumns);
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
  std::string text = row(std::move(first));
  for (std::size_t i = 0; i < repair.steps.size(); ++i) {
    const Step& step = repair.steps[i];
    for (const CodeChange& change : step.planned) {
      std::vector<std::string> fields(kColumns);
      fields[kId] = repair.id;
      fields[kKind] = kPlannedRow;
      fields[kStep] = std::to_string(i + 1);
      fields[kDirection] = directionName(step.direction);
      fields[kCode] = change.code.value_or("");
      if (!change.code) fields[kNote] = kNullCode;
      fields[kBefore] = flag(change.before);
      fields[kAfter] = flag(change.after);
      fields[kStatement] = step.statement;
      text += row(std::move(fields));
    }
  }
  return text;
}

std::string RowWriter::confirmation(const Repair& repair, std::size_t step) {
  const Step& confirmed = repair.steps.at(step);
  const Confirmation& how = confirmed.confirmation.value();
  std::vector<std::string> fields(kColumns);
  fields[kId] = repair.id;
  fields[kKind] = kConfirmedRow;
  fields[kStep] = std::to_string(step + 1);
  fields[kDirection] = directionName(confirmed.direction);
  fields[kStatement] = confirmed.statement;
  fields[kCount] = std::to_string(how.count);
  fields[kResult] = how.failed ? kFailed : kDone;
  fields[kNote] = how.note;
  return row(std::move(fields));
}

RecordContents readRecordText(std::string_view bytes, const AccountSet& set,
                              const std::string& fileName, bool repairUnderWay) {
  RecordContents contents;
  contents.checksum = RowWriter::afterHeader().checksum();
  // A file cut short inside its first row holds nothing yet: the writer stopped while it made
  // the file, and the next repair writes the first row again.
  const std::string start = std::string(kByteOrderMark) + headerLine();
  if (bytes.size() < start.size() && std::string_view(start).starts_with(bytes)) {
    contents.headerIncomplete = true;
    contents.wholeSize = bytes.size();
    return contents;
  }
  const std::string foreign = fileName + " is not a record of repairs written by Leafward";
  if (!bytes.starts_with(kByteOrderMark)) throw RecordError(foreign + " (no byte-order mark)");
  const CsvText csv = readCsv(bytes.substr(kByteOrderMark.size()));
  if (csv.records.empty() || csv.records.front().fields != headerFields()) {
    throw RecordError(foreign + " (its first row is not Leafward's header)");
  }
  RowReader reader(set, fileName);
  std::size_t lastRepairStart = 0;
  for (std::size_t i = 1; i < csv.records.size(); ++i) {
    const std::size_t before = reader.repairCount();
    reader.read(csv.records[i], contents.checksum);
    if (reader.repairCount() > before) lastRepairStart = csv.records[i - 1].end;
  }
  if (!csv.problem.empty()) {
    throw RecordError(fileName + " is damaged at line " + std::to_string(csv.problemLine) + ": " +
                      csv.problem);
  }
  if (csv.cutShort && !repairUnderWay) {
    const std::size_t whole = reader.lastIncomplete() ? lastRepairStart : csv.records.back().end;
    return readRecordText(bytes.substr(0, kByteOrderMark.size() + whole), set, fileName);
  }
  reader.finish(repairUnderWay);
  contents.repairs = reader.take();
  contents.wholeSize = bytes.size();
  return contents;
}

}  // namespace leafward::record
