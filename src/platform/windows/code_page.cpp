#include "platform/code_page.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

// Code pages that are not byte encodings: UTF-16 and UTF-32, either way round.
bool isWideEncoding(std::uint16_t codePage) {
  return codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001;
}

// The ANSI code pages of Windows (874, 1250-1258), whose tables leave a few bytes undefined.
bool isAnsiCodePage(std::uint16_t codePage) {
  return codePage == 874 || (codePage >= 1250 && codePage <= 1258);
}

// One character of the code page, or nothing when the code page does not define these bytes.
// Windows reads a byte its ANSI tables leave undefined as the C1 control of the same number;
// those are never real text in these code pages, so they count as undefined too, as they do
// everywhere else.
bool decodeOne(std::uint16_t codePage, const std::uint8_t* bytes, int count, std::wstring& out) {
  wchar_t wide[4];
  const char* text = reinterpret_cast<const char*>(bytes);
  int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, count, wide, 4);
  // A few code pages (the ISO-2022 ones, UTF-7) take no flags at all.
  if (length <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    length = MultiByteToWideChar(codePage, 0, text, count, wide, 4);
  }
  if (length <= 0) return false;
  if (isAnsiCodePage(codePage) && count == 1 && bytes[0] >= 0x80 && length == 1 &&
      wide[0] >= 0x80 && wide[0] <= 0x9F) {
    return false;
  }
  out.append(wide, static_cast<std::size_t>(length));
  return true;
}

}  // namespace

struct CodePageDecoder::State {};

bool codePageSupported(std::uint16_t codePage) {
  return !isWideEncoding(codePage) && IsValidCodePage(codePage);
}

CodePageDecoder::CodePageDecoder(std::uint16_t codePage) : codePage_(codePage) {
  if (!codePageSupported(codePage_)) codePage_ = 1252;
}

CodePageDecoder::~CodePageDecoder() = default;

void CodePageDecoder::append(std::span<const std::uint8_t> bytes, std::string& utf8) {
  std::wstring wide;
  wide.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t* at = bytes.data() + i;
    if (*at < 0x80) {
      wide += static_cast<wchar_t>(*at);
      ++i;
      continue;
    }
    // A lead byte of a double-byte code page takes the next byte with it when it makes a
    // character; otherwise it stands alone for '?' and the next byte is read afresh.
    if (i + 1 < bytes.size() && IsDBCSLeadByteEx(codePage_, *at) &&
        decodeOne(codePage_, at, 2, wide)) {
      i += 2;
      continue;
    }
    if (!decodeOne(codePage_, at, 1, wide)) wide += L'?';
    ++i;
  }
  utf8 += utf8FromWide(wide);
}

}  // namespace leafward::platform
