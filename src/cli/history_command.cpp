#include <ostream>

#include "audit/history.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "cli/reasons.h"
#include "record/csv.h"

namespace leafward::cli {
namespace {

using Entry = audit::HistoryEntry;

const char* stateOf(Entry::State state) {
  switch (state) {
    case Entry::State::Planned:
      return "planned";
    case Entry::State::Done:
      return "done";
    case Entry::State::Failed:
      return "failed";
    case Entry::State::Partial:
      return "partial";
    case Entry::State::Interrupted:
      return "interrupted";
    case Entry::State::Undone:
      return "undone";
  }
  return "";
}

const char* directionOf(const Entry::Step& step) {
  return step.nonLeaf ? "non_leaf" : "leaf";
}

std::string jsonDocument(const std::string& name, const std::vector<Entry>& entries) {
  std::string text;
  JsonWriter json(text);
  beginDocument(json, "history");
  json.beginObject();
  json.field("name", name);
  json.key("repairs");
  json.beginArray();
  for (const Entry& entry : entries) {
    json.beginObject();
    json.field("id", entry.id);
    json.field("user", entry.user);
    json.field("computer", entry.computer);
    json.field("version", entry.version);
    json.field("kind", entry.undoes.empty() ? "repair" : "undo");
    json.key("undoes");
    if (entry.undoes.empty()) {
      json.null();
    } else {
      json.value(entry.undoes);
    }
    json.field("state", stateOf(entry.state));
    json.key("steps");
    json.beginArray();
    for (const Entry::Step& step : entry.steps) {
      json.beginObject();
      json.field("direction", directionOf(step));
      json.field("confirmed", step.confirmed);
      json.field("failed", step.failed);
      json.field("done", step.done);
      json.field("taken_up", step.takenUp);
      json.field("count", step.count);
      json.field("flags_changed", step.flagsChanged);
      json.field("note", step.note);
      json.key("planned");
      json.beginArray();
      for (const Entry::CodeChange& change : step.planned) {
        json.beginObject();
        json.field("code", change.code);
        json.field("before", change.before);
        json.field("after", change.after);
        json.key("row");
        if (change.row.empty()) {
          json.null();
        } else {
          json.value(change.row);
        }
        json.endObject();
      }
      json.endArray();
      json.endObject();
    }
    json.endArray();
    json.endObject();
  }
  json.endArray();
  json.endObject();
  endDocument(json, text);
  return text;
}

// One line per statement of a repair (one with no statements gets one line of its own).
std::string csvDocument(const std::string& name, const std::vector<Entry>& entries) {
  std::string document = record::csvLine(
      {"account_set", "id", "user", "computer", "version", "kind", "undoes", "state", "direction",
       "planned", "confirmed", "failed", "count", "flags_changed", "note", "done", "taken_up"});
  for (const Entry& entry : entries) {
    const std::vector<std::string> repair = {
        name,          entry.id,
        entry.user,    entry.computer,
        entry.version, entry.undoes.empty() ? "repair" : "undo",
        entry.undoes,  stateOf(entry.state)};
    if (entry.steps.empty()) {
      std::vector<std::string> line = repair;
      line.resize(line.size() + 9);
      document += record::csvLine(line);
    }
    for (const Entry::Step& step : entry.steps) {
      std::vector<std::string> line = repair;
      line.insert(line.end(),
                  {directionOf(step), std::to_string(step.planned.size()), csvFlag(step.confirmed),
                   csvFlag(step.failed), step.count ? std::to_string(*step.count) : std::string(),
                   std::to_string(step.flagsChanged), step.note, csvFlag(step.done),
                   csvFlag(step.takenUp)});
      document += record::csvLine(line);
    }
  }
  return document;
}

}  // namespace

int runHistory(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = words;
  const OutputFormat format = takeOutputFormat(args);
  const std::optional<NamedAccountSet> set = oneAccountSet("history", args, err);
  if (!set) return kExitFailed;
  std::string failure, document;
  try {
    const audit::RecordTarget target{{}, set->identity()};
    if (format == OutputFormat::Text) {
      const audit::History history = audit::listHistory(target);
      failure = history.failure;
      for (const std::string& line : history.lines) document += line + "\n";
    } else {
      const audit::HistoryEntries history = audit::readHistory(target);
      failure = history.failure;
      document = format == OutputFormat::Json ? jsonDocument(set->name, history.entries)
                                              : csvDocument(set->name, history.entries);
    }
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (!failure.empty()) {
    writeReason(err, failure);
    return kExitFailed;
  }
  out << document;
  out.flush();
  return kExitClean;
}

}  // namespace leafward::cli
