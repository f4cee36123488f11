#include <gtest/gtest.h>

#include "dataaccess/errors.h"
#include "dataaccess/jet/format/text.h"
#include "dataaccess/jet/read/value_decoder.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

std::string jet4(std::vector<std::uint8_t> bytes) {
  std::string out;
  appendJet4Text(bytes, out);
  return out;
}

std::string jet3(int codePage, std::vector<std::uint8_t> bytes) {
  std::string out;
  TextDecoder(JetVersion::Jet3, codePage).append(bytes, out);
  return out;
}

// Compressed text (after FF FE) switches between one and two bytes per character at every zero
// byte, Latin-1 keeping its code point; other text is UTF-16. A lone last byte is dropped, a
// lone surrogate half becomes U+FFFD.
TEST(JetTextTest, Jet4TextIsUtf16OrCompressed) {
  EXPECT_EQ(jet4({0xFF, 0xFE, 'a', 'b', 0x00, 0x2D, 0x4E, 0x00, 'c'}), "ab中c");
  EXPECT_EQ(jet4({0xFF, 0xFE, 0xE4, 'k'}), "äk");
  EXPECT_EQ(jet4({0xFF, 0xFE, 'x', 0x00, 0x41}), "x");
  EXPECT_EQ(jet4({0xFF, 0xFE}), "");
  EXPECT_EQ(jet4({0xD1, 0x79, 0xEE, 0x76}), "科目");
  EXPECT_EQ(jet4({0x3D, 0xD8, 0x00, 0xDE}), "\U0001F600");
  EXPECT_EQ(jet4({0x3D, 0xD8, 'a', 0}), "\uFFFDa");
  EXPECT_EQ(jet4({0x00, 0xDE}), "\uFFFD");
  EXPECT_EQ(jet4({'a', 0, 'b'}), "a");
}

// A character cut short at the end is a "?". Text whose only byte past ASCII is 0x80 is not ASCII.
TEST(JetTextTest, Jet3TextIsInTheDatabaseCodePage) {
  EXPECT_EQ(jet3(1252, {'a', 0x80, 0xE9}), "a€é");
  EXPECT_EQ(jet3(1252, {'a', 0x80}), "a€");
  EXPECT_EQ(jet3(936, {0xD6, 0xD0, '1'}), "中1");
  EXPECT_EQ(jet3(936, {'x', 0xD6}), "x?");
}

// Exactly, past the digits a double holds.
TEST(JetTextTest, DecimalsCarrySignScaleAndAllFourWordsExactly) {
  std::vector<std::uint8_t> bytes(17, 0);
  bytes[13] = 0x39;  // least significant word, little-endian: 12345
  bytes[14] = 0x30;
  bytes[0] = 0x80;
  EXPECT_EQ(decodeDecimal(bytes, 2).toText(), "-123.45");
  bytes[0] = 0;
  bytes[9] = 1;  // next word up: 2^32
  EXPECT_EQ(decodeDecimal(bytes, 0).toText(), "4294979641");
  bytes[5] = 2;  // 2^65
  bytes[1] = 3;  // 3 * 2^96
  EXPECT_EQ(decodeDecimal(bytes, 10).toText(), "23768448757968650093.2345933881");
  std::fill(bytes.begin() + 1, bytes.end(), 0xFF);  // 2^128 - 1
  EXPECT_EQ(decodeDecimal(bytes, 38).toText(), "3.40282366920938463463374607431768211455");
  EXPECT_EQ(decodeDecimal(std::vector<std::uint8_t>(17, 0), 4).toText(), "0");
}

// An OLE value kept in its row is its bytes, an empty Binary value is not NULL, Currency its exact
// ten-thousandths whatever the sign; a value shorter than its type is refused. (The other types are
// compared with mdb-export on the sample files.)
TEST(JetTextTest, OtherValuesDecodeAsStored) {
  const Pager file(testing::fixture("jet-samples/testV1997.mdb"), Pager::Access::Read);
  TextDecoder text(JetVersion::Jet3, 1252);
  ValueDecoder decoder(file, text);
  const std::vector<std::uint8_t> page = {
      0x02, 0x00, 0x00, 0x80, 0,    0,    0,    0,   0, 0, 0, 0, 0xCA, 0xFE,  // inline OLE
      0xB0, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};                        // -5.0000
  const auto decode = [&](JetType type, std::size_t offset, std::size_t length) {
    ColumnDefinition column;
    column.type = static_cast<std::uint8_t>(type);
    return decoder.decode(column, page, Field{true, offset, length});
  };
  EXPECT_EQ(decode(JetType::Ole, 0, 14).toText(), "CAFE");
  EXPECT_EQ(decode(JetType::Money, 14, 8).toText(), "-5");
  EXPECT_EQ(decode(JetType::Binary, 0, 0), dataaccess::Value::binary({}));  // not NULL
  EXPECT_THROW(decode(JetType::Guid, 0, 15), dataaccess::DataAccessError);
  EXPECT_THROW(decode(JetType::Money, 14, 7), dataaccess::DataAccessError);
}

}  // namespace
}  // namespace leafward::jet
