#include "dataaccess/jet/text_decoder.h"

#include <iconv.h>

#include <cerrno>

#include "dataaccess/utf8.h"

namespace leafward::jet {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

void appendCodePoint(std::uint32_t c, std::string& out) {
  dataaccess::appendUtf8(out, static_cast<char32_t>(c));
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// Decodes UTF-16 code units one at a time, pairing surrogates.
class Utf16Sink {
 public:
  explicit Utf16Sink(std::string& out) : out_(out) {}
  ~Utf16Sink() { flush(); }
  void unit(std::uint16_t u) {
    if (pendingHigh_ != 0) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        appendCodePoint(0x10000 + ((pendingHigh_ - 0xD800u) << 10) + (u - 0xDC00u), out_);
        pendingHigh_ = 0;
        return;
      }
      flush();
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      pendingHigh_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      appendCodePoint(kReplacement, out_);
    } else {
      appendCodePoint(u, out_);
    }
  }

 private:
  void flush() {
    if (pendingHigh_ != 0) appendCodePoint(kReplacement, out_);
    pendingHigh_ = 0;
  }
  std::string& out_;
  std::uint16_t pendingHigh_ = 0;
};

bool isAscii(Bytes bytes) {
  for (std::uint8_t b : bytes) {
    if (b >= 0x80) return false;
  }
  return true;
}

// iconv names of the Windows code pages Jet 3 databases use; others by their number.
std::string charsetOf(std::uint16_t codePage) {
  switch (codePage) {
    case 932:
      return "SHIFT-JIS";
    case 936:
      return "WINDOWS-936";
    case 949:
      return "CP949";
    case 950:
      return "BIG-5";
    case 874:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
      return "WINDOWS-" + std::to_string(codePage);
    default:
      return "CP" + std::to_string(codePage);
  }
}

}  // namespace

bool knownCodePage(std::uint16_t codePage) {
  const iconv_t converter = iconv_open("UTF-8", charsetOf(codePage).c_str());
  if (converter == kNoConverter) return false;
  iconv_close(converter);
  return true;
}

void appendUtf16(Bytes bytes, std::string& out) {
  Utf16Sink sink(out);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) sink.unit(readU16(bytes, i));
}

void appendJet4Text(Bytes bytes, std::string& out) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
    // Plain ASCII is common enough to be worth a shortcut.
    bool ascii = bytes.size() % 2 == 0;
    for (std::size_t i = 0; ascii && i < bytes.size(); i += 2) {
      ascii = bytes[i] < 0x80 && bytes[i + 1] == 0;
    }
    if (ascii) {
      for (std::size_t i = 0; i < bytes.size(); i += 2) out += static_cast<char>(bytes[i]);
      return;
    }
    appendUtf16(bytes, out);
    return;
  }
  Utf16Sink sink(out);
  bool compressed = true;
  std::size_t i = 2;
  while (i < bytes.size()) {
    if (bytes[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      sink.unit(bytes[i]);
      ++i;
    } else if (i + 1 < bytes.size()) {
      sink.unit(readU16(bytes, i));
      i += 2;
    } else {
      break;
    }
  }
}

TextDecoder::TextDecoder(JetVersion version, std::uint16_t codePage) : version_(version) {
  if (version_ != JetVersion::Jet3) return;
  iconv_t converter = iconv_open("UTF-8", charsetOf(codePage).c_str());
  if (converter == kNoConverter) converter = iconv_open("UTF-8", "WINDOWS-1252");
  if (converter != kNoConverter) converter_ = converter;
}

TextDecoder::~TextDecoder() {
  if (converter_) iconv_close(static_cast<iconv_t>(converter_));
}

void TextDecoder::append(Bytes bytes, std::string& out) {
  if (version_ == JetVersion::Jet4) {
    appendJet4Text(bytes, out);
  } else {
    appendCodePage(bytes, out);
  }
}

void TextDecoder::appendCodePage(Bytes bytes, std::string& out) {
  if (isAscii(bytes)) {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  if (!converter_) {
    // Without a converter, read the bytes as Latin-1.
    for (std::uint8_t b : bytes) appendCodePoint(b, out);
    return;
  }
  auto converter = static_cast<iconv_t>(converter_);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  // iconv takes a non-const pointer but does not write through it.
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  std::size_t inLeft = bytes.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) continue;
    // A byte the code page does not define, or a character cut off at the end.
    out += '?';
    ++in;
    --inLeft;
  }
}

}  // namespace leafward::jet
