#include "platform/code_page.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

// The code pages Jet 3 databases are stored in; the same list on every system.
bool listed(std::uint16_t codePage) {
  switch (codePage) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
      return true;
    default:
      return false;
  }
}

// One character of the code page, or nothing when the code page does not define these bytes.
// Windows reads a byte its single-byte tables leave undefined as the C1 control of the same
// number; those are never real text in these code pages, so they count as undefined too, as
// they do everywhere else.
bool decodeOne(std::uint16_t codePage, const std::uint8_t* bytes, int count, std::wstring& out) {
  wchar_t wide[4];
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS,
                                         reinterpret_cast<const char*>(bytes), count, wide, 4);
  if (length <= 0) return false;
  if (count == 1 && bytes[0] >= 0x80 && length == 1 && wide[0] >= 0x80 && wide[0] <= 0x9F) {
    return false;
  }
  out.append(wide, static_cast<std::size_t>(length));
  return true;
}

}  // namespace

struct CodePageDecoder::State {};

bool codePageSupported(std::uint16_t codePage) {
  return listed(codePage) && IsValidCodePage(codePage);
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
