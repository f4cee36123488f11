#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace leafward::platform {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// iconv's names of the Windows code pages.
std::string charsetOf(std::uint16_t codePage) {
  switch (codePage) {
    case 932:
      return "CP932";
    case 936:
      return "CP936";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    case 874:
      return "CP874";
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
      return "CP" + std::to_string(codePage);
    default:
      return "CP" + std::to_string(codePage);
  }
}

iconv_t openConverter(std::uint16_t codePage) {
  return iconv_open("UTF-8", charsetOf(codePage).c_str());
}

}  // namespace

struct CodePageDecoder::State {
  iconv_t converter = kNoConverter;
};

bool codePageSupported(std::uint16_t codePage) {
  const iconv_t converter = openConverter(codePage);
  if (converter == kNoConverter) return false;
  iconv_close(converter);
  return true;
}

CodePageDecoder::CodePageDecoder(std::uint16_t codePage)
    : codePage_(codePage), state_(std::make_unique<State>()) {
  state_->converter = openConverter(codePage);
  if (state_->converter == kNoConverter) {
    state_->converter = openConverter(1252);
  }
}

CodePageDecoder::~CodePageDecoder() {
  if (state_->converter != kNoConverter) iconv_close(state_->converter);
}

void CodePageDecoder::append(std::span<const std::uint8_t> bytes, std::string& utf8) {
  if (state_->converter == kNoConverter) {
    // A system without even Windows-1252: only ASCII can be told.
    for (std::uint8_t b : bytes) utf8 += b < 0x80 ? static_cast<char>(b) : '?';
    return;
  }
  iconv(state_->converter, nullptr, nullptr, nullptr, nullptr);
  // iconv takes a non-const pointer but does not write through it.
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  std::size_t inLeft = bytes.size();
  char buffer[256];
  while (inLeft > 0) {
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(state_->converter, &in, &inLeft, &out, &outLeft);
    const int error = errno;
    utf8.append(buffer, static_cast<std::size_t>(out - buffer));
    if (result != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) continue;
    // A byte the code page does not define, or a character cut off at the end.
    utf8 += '?';
    ++in;
    --inLeft;
  }
}

}  // namespace leafward::platform
