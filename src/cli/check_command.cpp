#include <optional>
#include <ostream>

#include "audit/check.h"
#include "audit/workbench.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "cli/reasons.h"
#include "record/csv.h"

namespace leafward::cli {
namespace {

// One account set of a run, as the JSON and CSV documents tell it.
struct Checked {
  std::string name;
  int exitCode = kExitFailed;
  std::string failure;  // why it could not be opened or read
  std::vector<std::string> notices;
  std::optional<audit::Findings> findings;
  std::string report;  // as the text output prints it, without the last line end
};

int checkOne(connection::SharedConnection& shared, const std::string& name, OutputFormat format,
             std::ostream& out, std::ostream& err, Checked& checked) {
  audit::TextWorkbench bench;
  audit::CheckOutcome outcome = audit::runCheck(
      shared, bench, format == OutputFormat::Text ? audit::Details::Skip : audit::Details::Read);
  shared.shutDown();
  checked.notices = outcome.notices;
  for (const std::string& notice : outcome.notices) writeReason(err, name + ": " + notice);
  if (outcome.end == audit::CheckEnd::EndedEarly && !outcome.failure.empty()) {
    checked.failure = "cannot read " + name + ": " + outcome.failure;
    writeReason(err, checked.failure);
    return kExitFailed;
  }

  const bool errorsFound = outcome.findings.errorsFound();
  checked.findings = std::move(outcome.findings);
  checked.report = connection::replaceAll(bench.text, "\r\n", "\n");
  if (format == OutputFormat::Text) printReport(bench, out);
  if (outcome.end != audit::CheckEnd::Finished) {
    writeReason(
        err, "the check of " + name + " ended without a verdict (the code table holds no codes)");
    return kExitNoVerdict;
  }
  return errorsFound ? kExitErrorsFound : kExitClean;
}

const char* statusOf(int exitCode) {
  switch (exitCode) {
    case kExitClean:
      return "no_errors";
    case kExitErrorsFound:
      return "errors_found";
    case kExitNoVerdict:
      return "no_verdict";
    default:
      return "failed";
  }
}

const char* kindOf(audit::WrongFlagKind kind) {
  return kind == audit::WrongFlagKind::NonLeafFlaggedAsLeaf ? "non_leaf_flagged_as_leaf"
                                                            : "leaf_flagged_as_non_leaf";
}

const char* stateOf(audit::StoredScheme::State state) {
  using State = audit::StoredScheme::State;
  switch (state) {
    case State::Fits:
      return "fits";
    case State::Mismatch:
      return "mismatch";
    case State::Missing:
      return "missing";
    case State::Null:
      return "null";
    case State::Unread:
      return "unread";
  }
  return "";
}

// What is not known is null, in the JSON as in the CSV (an empty field).
const audit::CodeDetails kUnknown;

void writeWrongFlag(JsonWriter& json, const audit::WrongFlag& wrong) {
  const audit::CodeDetails& details = wrong.details ? *wrong.details : kUnknown;
  json.beginObject();
  json.field("code", wrong.code);
  json.field("kind", kindOf(wrong.kind));
  json.field("bend", wrong.flag());
  json.field("bend_should_be", wrong.wantedFlag());
  json.field("name", details.name);
  json.field("level", details.level);
  json.field("parent", details.parent);
  json.key("sub_codes");
  if (wrong.details) {
    json.value(details.subCodes);
  } else {
    json.null();
  }
  json.field("first_sub_code", details.firstSubCode);
  json.endObject();
}

void writeScheme(JsonWriter& json, const audit::SchemeFindings& scheme) {
  json.beginObject();
  json.key("code_lengths");
  json.beginArray();
  for (const std::int64_t length : scheme.lengths) json.value(length);
  json.endArray();
  json.field("level_string", scheme.level);
  json.key("stored");
  json.beginArray();
  for (const audit::StoredScheme* stored : {&scheme.accInformation, &scheme.gradeDef}) {
    json.beginObject();
    json.field("table", stored->table);
    json.field("state", stateOf(stored->state));
    json.key("value");
    if (stored->state == audit::StoredScheme::State::Fits ||
        stored->state == audit::StoredScheme::State::Mismatch) {
      json.value(stored->stored);
    } else {
      json.null();
    }
    json.field("reported", stored->reported());
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

std::string jsonDocument(const std::vector<Checked>& sets) {
  std::string text;
  JsonWriter json(text);
  beginDocument(json, "check");
  for (const Checked& set : sets) {
    json.beginObject();
    json.field("name", set.name);
    json.field("status", statusOf(set.exitCode));
    json.field("exit_code", std::int64_t{set.exitCode});
    json.key("error");
    if (set.failure.empty()) {
      json.null();
    } else {
      json.value(set.failure);
    }
    json.key("notices");
    json.beginArray();
    for (const std::string& notice : set.notices) json.value(notice);
    json.endArray();
    json.key("report");
    if (set.findings) {
      json.value(set.report);
    } else {
      json.null();
    }
    json.key("wrong_flags");
    json.beginArray();
    if (set.findings) {
      for (const audit::WrongFlag& wrong : set.findings->wrongFlags) writeWrongFlag(json, wrong);
    }
    json.endArray();
    json.key("coding_scheme");
    if (set.findings && set.findings->scheme) {
      writeScheme(json, *set.findings->scheme);
    } else {
      json.null();
    }
    json.endObject();
  }
  endDocument(json, text);
  return text;
}

std::string text(const std::optional<std::string>& value) {
  return value.value_or("");
}
std::string text(const std::optional<std::int64_t>& value) {
  return value ? std::to_string(*value) : std::string();
}

std::string csvDocument(const std::vector<Checked>& sets) {
  std::string document =
      record::csvLine({"account_set", "kind", "code", "name", "level", "bend", "bend_should_be",
                       "parent", "sub_codes", "first_sub_code", "scheme_table", "scheme_stored"});
  for (const Checked& set : sets) {
    if (!set.findings) continue;
    for (const audit::WrongFlag& wrong : set.findings->wrongFlags) {
      const audit::CodeDetails& details = wrong.details ? *wrong.details : kUnknown;
      document += record::csvLine({set.name, kindOf(wrong.kind), text(wrong.code),
                                   text(details.name), text(details.level), csvFlag(wrong.flag()),
                                   csvFlag(wrong.wantedFlag()), text(details.parent),
                                   wrong.details ? std::to_string(details.subCodes) : "",
                                   text(details.firstSubCode), "", ""});
    }
    if (!set.findings->scheme) continue;
    for (const audit::StoredScheme* stored :
         {&set.findings->scheme->accInformation, &set.findings->scheme->gradeDef}) {
      if (!stored->reported()) continue;
      const bool missing = stored->state == audit::StoredScheme::State::Missing;
      document +=
          record::csvLine({set.name, missing ? "coding_scheme_missing" : "coding_scheme_mismatch",
                           "", "", "", "", "", "", "", "", stored->table, stored->stored});
    }
  }
  return document;
}

}  // namespace

int runCheck(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = words;
  const OutputFormat format = takeOutputFormat(args);
  std::vector<Checked> sets;
  bool working = false;  // the last of `sets` is being checked
  RunReporting reporting;
  reporting.headings = format == OutputFormat::Text;
  reporting.failed = [&](const NamedAccountSet& set, const std::string& reason) {
    if (!working) sets.emplace_back().name = set.name;
    working = false;
    sets.back().exitCode = kExitFailed;
    sets.back().failure = reason;
    sets.back().findings.reset();
  };
  const int exitCode = runOnAccountSets(
      "check", args, out, err,
      [&](connection::SharedConnection& shared, const NamedAccountSet& set) {
        working = true;
        sets.emplace_back().name = set.name;
        const int code = checkOne(shared, set.name, format, out, err, sets.back());
        sets.back().exitCode = code;
        working = false;
        return code;
      },
      Scope::Many, reporting);
  if (format == OutputFormat::Text || (sets.empty() && exitCode == kExitFailed)) return exitCode;
  out << (format == OutputFormat::Json ? jsonDocument(sets) : csvDocument(sets));
  out.flush();
  return exitCode;
}

}  // namespace leafward::cli
