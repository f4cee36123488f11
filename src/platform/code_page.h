#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace leafward::platform {

// Turns text in a Windows code page (1252, 936, 950, 932, 949, 1250-1258, 874) into UTF-8.
// A code page the system cannot convert is read as 1252. A byte or sequence the code page does
// not define becomes '?'.
class CodePageDecoder {
 public:
  explicit CodePageDecoder(std::uint16_t codePage);
  ~CodePageDecoder();
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  void append(std::span<const std::uint8_t> bytes, std::string& utf8);

 private:
  struct State;
  std::uint16_t codePage_;  // what the Windows half converts with (iconv keeps its own)
  std::unique_ptr<State> state_;
};

// Whether the system can convert this code page.
bool codePageSupported(std::uint16_t codePage);

}  // namespace leafward::platform
