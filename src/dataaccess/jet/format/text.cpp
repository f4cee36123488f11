#include "dataaccess/jet/format/text.h"

#include "dataaccess/utf8.h"
#include "platform/code_page.h"

namespace leafward::jet {
namespace {

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

}  // namespace

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
      const std::size_t start = out.size();
      out.resize(start + bytes.size() / 2);
      for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        out[start + i] = static_cast<char>(bytes[2 * i]);
      }
      return;
    }
    appendUtf16(bytes, out);
    return;
  }
  // Compressed ASCII with no switch to two bytes, the usual short code, is copied as it is.
  bool plain = true;
  for (std::size_t i = 2; plain && i < bytes.size(); ++i) plain = bytes[i] != 0 && bytes[i] < 0x80;
  if (plain) {
    out.append(reinterpret_cast<const char*>(bytes.data()) + 2, bytes.size() - 2);
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
  if (version_ == JetVersion::Jet3)
    codePage_ = std::make_unique<platform::CodePageDecoder>(codePage);
}

TextDecoder::~TextDecoder() = default;

void TextDecoder::append(Bytes bytes, std::string& out) {
  if (version_ == JetVersion::Jet4) {
    appendJet4Text(bytes, out);
  } else if (isAscii(bytes)) {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  } else {
    codePage_->append(bytes, out);
  }
}

}  // namespace leafward::jet
