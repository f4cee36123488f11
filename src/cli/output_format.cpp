#include "cli/output_format.h"

#include <stdexcept>

#include "cli/command_line.h"

namespace leafward::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at `pos`, or 0.
std::size_t sequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    least = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  char32_t code = lead & (0x3F >> (length - 1));
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace

OutputFormat takeOutputFormat(std::vector<std::string>& args) {
  const std::optional<std::string> format = takeValue(args, "--format");
  if (!format || *format == "text") return OutputFormat::Text;
  if (*format == "json") return OutputFormat::Json;
  if (*format == "csv") return OutputFormat::Csv;
  throw std::invalid_argument("unknown format '" + *format + "' (text, json or csv)");
}

void beginDocument(JsonWriter& json, const char* command) {
  json.beginObject();
  json.field("schema_version", std::int64_t{kSchemaVersion});
  json.field("leafward_version", LEAFWARD_VERSION);
  json.field("command", command);
  json.key("account_sets");
  json.beginArray();
}

void endDocument(JsonWriter& json, std::string& text) {
  json.endArray();
  json.endObject();
  text += '\n';
}

void JsonWriter::newLine() {
  out_ += '\n';
  out_.append(2 * empty_.size(), ' ');
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (empty_.empty()) return;
  if (!empty_.back()) out_ += ',';
  empty_.back() = false;
  newLine();
}

void JsonWriter::key(std::string_view name) {
  beforeValue();
  writeString(name);
  out_ += ": ";
  afterKey_ = true;
}

void JsonWriter::open(char bracket) {
  beforeValue();
  out_ += bracket;
  empty_.push_back(true);
}

void JsonWriter::close(char bracket) {
  const bool wasEmpty = empty_.back();
  empty_.pop_back();
  if (!wasEmpty) newLine();
  out_ += bracket;
}

void JsonWriter::value(std::string_view text) {
  beforeValue();
  writeString(text);
}

void JsonWriter::writeString(std::string_view text) {
  out_ += '"';
  for (std::size_t pos = 0; pos < text.size();) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte >= 0x80) {
      const std::size_t length = sequenceLength(text, pos);
      if (length == 0) {
        out_ += "\xEF\xBF\xBD";
        ++pos;
      } else {
        out_.append(text.substr(pos, length));
        pos += length;
      }
      continue;
    }
    ++pos;
    switch (byte) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out_ += "\\u00";
          out_ += kHexDigits[byte >> 4];
          out_ += kHexDigits[byte & 0xF];
        } else {
          out_ += static_cast<char>(byte);
        }
    }
  }
  out_ += '"';
}

void JsonWriter::value(bool flag) {
  beforeValue();
  out_ += flag ? "true" : "false";
}

void JsonWriter::value(std::int64_t number) {
  beforeValue();
  out_ += std::to_string(number);
}

void JsonWriter::null() {
  beforeValue();
  out_ += "null";
}

}  // namespace leafward::cli
