#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::cli {

// What check and history print: the report text as the window shows it, or one document of
// the run for scripts.
enum class OutputFormat { Text, Json, Csv };

// Takes "--format text|json|csv" out of the options of `args`; Text when it is not there.
// Throws std::invalid_argument for another format.
OutputFormat takeOutputFormat(std::vector<std::string>& args);

// The version of the JSON and CSV layouts; it goes up only when a field changes its meaning or
// goes away (new fields may appear in the same version).
inline constexpr int kSchemaVersion = 1;

// JSON written as it goes, two spaces of indentation a level. Text is UTF-8: a byte that is not
// part of a well-formed sequence is written as U+FFFD, control characters as escapes.
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }
  // The name of the next member of the object being written.
  void key(std::string_view name);

  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(bool flag);
  void value(std::int64_t number);
  void null();
  template <class T>
  void value(const std::optional<T>& maybe) {
    if (maybe) {
      value(*maybe);
    } else {
      null();
    }
  }
  template <class T>
  void field(std::string_view name, const T& content) {
    key(name);
    value(content);
  }

 private:
  void open(char bracket);
  void close(char bracket);
  void beforeValue();
  void newLine();
  void writeString(std::string_view text);

  std::string& out_;
  std::vector<bool> empty_;  // per open level: nothing written in it yet
  bool afterKey_ = false;
};

// Begins the one JSON document of a run of `command`: the schema version, the Leafward version
// and the command, then the array of account sets, left open for their objects. Ends with
// endDocument().
void beginDocument(JsonWriter& json, const char* command);
// Closes the array and the document, and ends the text with a line end.
void endDocument(JsonWriter& json, std::string& text);

// "true" or "false", as the CSV layouts write flags.
inline const char* csvFlag(bool flag) {
  return flag ? "true" : "false";
}

}  // namespace leafward::cli
