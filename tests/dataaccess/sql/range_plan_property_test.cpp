// The range search for `p.ccode like code.ccode+'_%'` against a plain reference, on random code
// sets full of wildcard characters and mixed case.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <random>
#include <type_traits>

#include "dataaccess/sql/column_values.h"
#include "dataaccess/sql/prefix_index.h"
#include "dataaccess/sql/run_sort.h"
#include "memory_tables.h"

namespace leafward::sql::testing {
namespace {

// The characters of a text as the engine reads it: well-formed UTF-8 sequences are characters,
// any other byte is a character of its own (0x110000 + the byte). Folded the way the engine
// folds the letters used here: ASCII, Latin-1 and Cyrillic capitals.
std::u32string foldedCharacters(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 1;
    char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
    bool wellFormed = lead < 0x80 || (length > 1 && i + length <= text.size());
    for (std::size_t k = 1; wellFormed && k < length; ++k) {
      wellFormed = (byte(i + k) & 0xC0u) == 0x80;
      c = (c << 6) | (byte(i + k) & 0x3Fu);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    wellFormed = wellFormed && c >= smallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    if (!wellFormed) {
      out.push_back(0x110000 + lead);
      ++i;
      continue;
    }
    i += length;
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x410 && c <= 0x42F)) {
      c += 32;
    }
    out.push_back(c);
  }
  return out;
}

// LIKE by plain recursion.
bool like(const std::u32string& s, std::size_t i, const std::u32string& p, std::size_t j) {
  if (j == p.size()) return i == s.size();
  const char32_t c = p[j];
  if (c == '%') return like(s, i, p, j + 1) || (i < s.size() && like(s, i + 1, p, j));
  if (c == '[') {
    const std::size_t close = p.find(']', j + 1);
    if (close != std::u32string::npos) {
      const std::u32string body = p.substr(j + 1, close - j - 1);
      if (body.empty()) return like(s, i, p, close + 1);
      if (i == s.size()) return false;
      const bool negated = body[0] == '!';
      bool inSet = false;
      for (std::size_t k = negated ? 1 : 0; k < body.size(); ++k) {
        const bool range = k + 2 < body.size() && body[k + 1] == '-';
        const char32_t high = range ? body[k + 2] : body[k];
        inSet = inSet || (body[k] <= s[i] && s[i] <= high);
        if (range) k += 2;
      }
      return inSet != negated && like(s, i + 1, p, close + 1);
    }
  }
  if (i == s.size()) return false;
  return (c == '_' || c == s[i]) && like(s, i + 1, p, j + 1);
}

class SqlRangePlanProperty : public ::testing::Test {
 protected:
  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  std::string randomText(std::size_t maxLength) {
    // Wildcards, case pairs, two- and three-byte characters, and bytes that are not
    // well-formed alone ("\xC3" "\xA9" together are é).
    static const std::vector<std::string> alphabet = {"1", "1", "2", "2",    "a",   "A", "é",
                                                      "É", "Д", "д", "中",   "_",   "%", "[",
                                                      "]", "!", "-", "\xC3", "\xA9"};
    std::string text;
    for (std::size_t n = pick(maxLength + 1); n > 0; --n) text += alphabet[pick(alphabet.size())];
    return text;
  }
  // Mostly sub-accounts of codes already there, so that the hierarchy is rich; some NULL. Some
  // top-level codes are long, so that codes of 16 bytes and more share their first 16.
  std::vector<CodeRow> randomCodes(std::size_t count) {
    std::vector<CodeRow> rows;
    for (std::size_t i = 0; i < count; ++i) {
      CodeRow row;
      if (pick(25) != 0) {
        const CodeRow* parent = rows.empty() || pick(3) == 0 ? nullptr : &rows[pick(rows.size())];
        const std::string top = pick(4) != 0   ? ""
                                : pick(2) == 0 ? "0123456789abcd"
                                               : "0123456789ABCD";
        row.code = (parent ? parent->code.value_or("") : top) + randomText(3);
      }
      if (pick(20) != 0) row.leaf = pick(2) == 0;
      rows.push_back(row);
    }
    return rows;
  }
  // The rows as generated, sorted by folded code, or sorted in a few stretches (a table filled
  // in code order, then extended), so that the index sorts, keeps or merges them. In every
  // fourth round no code holds a byte past ASCII or a capital but 'A'; in every other one of
  // those not 'A' either, so that the codes are their own keys, and none is NULL (sorted, the
  // column is its own index).
  void arrange(std::vector<CodeRow>& rows, int round) {
    if (round % 4 == 3) {
      if (round % 8 == 7) std::erase_if(rows, [](const CodeRow& row) { return !row.code; });
      for (CodeRow& row : rows) {
        if (!row.code) continue;
        for (char& c : *row.code) {
          if (c == 'A' && round % 8 == 3) continue;
          if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z')) c = '1';
        }
      }
    }
    const auto byFoldedCode = [](const CodeRow& a, const CodeRow& b) {
      return foldedCharacters(a.code.value_or("")) < foldedCharacters(b.code.value_or(""));
    };
    const std::size_t stretches = round % 3 == 0 ? 0 : round % 3 == 1 ? 1 : 2 + pick(3);
    for (std::size_t k = 0; k < stretches; ++k) {
      const auto at = [&](std::size_t j) {
        return rows.begin() + static_cast<std::ptrdiff_t>(rows.size() * j / stretches);
      };
      std::stable_sort(at(k), at(k + 1), byFoldedCode);
    }
  }
  // Whether any code is LIKE the pattern; the codes are folded once per table.
  bool anyLike(const std::vector<CodeRow>& rows, const std::string& pattern) {
    if (&rows != foldedFor_) {
      folded_.clear();
      for (const auto& row : rows) {
        if (row.code) folded_.push_back(foldedCharacters(*row.code));
      }
      foldedFor_ = &rows;
    }
    const std::u32string foldedPattern = foldedCharacters(pattern);
    for (const auto& code : folded_) {
      if (like(code, 0, foldedPattern, 0)) return true;
    }
    return false;
  }

  std::mt19937 random_{20240611};
  const std::vector<CodeRow>* foldedFor_ = nullptr;
  std::vector<std::u32string> folded_;
};

// Small tables are answered row by row; bigger ones switch to answering every outer row at
// once, walking the index in order.
TEST_F(SqlRangePlanProperty, AgreesWithBruteForceOnRandomCodeSets) {
  for (int round = 0; round < 36; ++round) {
    std::vector<CodeRow> rows = randomCodes(round % 2 == 0 ? 60 : 300);
    arrange(rows, round);
    foldedFor_ = nullptr;
    std::string nonLeafFlaggedLeaf;
    std::string leafFlaggedNonLeaf;
    std::vector<std::size_t> toClear;
    std::vector<std::size_t> toSet;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const bool hasSub = rows[r].code && anyLike(rows, *rows[r].code + "_%");
      if (!rows[r].leaf) continue;
      const std::string shown = rows[r].code.value_or("") + ",";
      if (hasSub && *rows[r].leaf) nonLeafFlaggedLeaf += shown, toClear.push_back(r);
      if (!hasSub && !*rows[r].leaf) leafFlaggedNonLeaf += shown, toSet.push_back(r);
    }

    MemoryTables tables;
    addCodeTable(tables, rows);
    Engine engine(tables);
    ASSERT_EQ(clipList(engine.query(kFirstListAccess)), nonLeafFlaggedLeaf) << round;
    ASSERT_EQ(clipList(engine.query(kSecondListAccess)), leafFlaggedNonLeaf) << round;
    ASSERT_EQ(engine.planUpdate(kClearNonLeaf).rows, toClear) << round;
    ASSERT_EQ(engine.planUpdate(kSetLeafAccess).rows, toSet) << round;
    // The same condition in a shape the range search does not take: tried row by row.
    ASSERT_EQ(clipList(engine.query("SELECT ccode FROM code WHERE EXISTS (SELECT * FROM code p "
                                    "WHERE (p.ccode LIKE code.ccode + '_%') = true) AND bend")),
              nonLeafFlaggedLeaf)
        << round;
    // With another condition on the longer code, after the statements above have shared their
    // answers: only the longer codes flagged as leaves count.
    std::vector<CodeRow> flagged;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(flagged),
                 [](const CodeRow& row) { return row.leaf == true; });
    std::string withFlaggedSub;
    for (const auto& row : rows) {
      if (row.code && anyLike(flagged, *row.code + "_%")) withFlaggedSub += *row.code + ",";
    }
    ASSERT_EQ(clipList(engine.query("SELECT ccode FROM code WHERE EXISTS (SELECT * FROM code p "
                                    "WHERE p.ccode LIKE code.ccode + '_%' AND p.bend)")),
              withFlaggedSub)
        << round;
  }
}

// The outer code followed by other constants, with and without literal characters of their
// own; an empty constant makes the code itself the pattern.
TEST_F(SqlRangePlanProperty, OtherConstantsAfterTheOuterCode) {
  int round = 0;
  for (const std::string tail : {"%", "_", "", "a%", "[1a]%", "%1", "_[!2]", "É_%", "\xA9%"}) {
    for (int i = 0; i < 4; ++i, ++round) {
      std::vector<CodeRow> rows = randomCodes(i % 2 == 0 ? 60 : 300);
      arrange(rows, round);
      foldedFor_ = nullptr;
      std::string expected;
      for (const auto& row : rows) {
        if (row.code && anyLike(rows, *row.code + tail)) expected += *row.code + ",";
      }
      MemoryTables tables;
      addCodeTable(tables, rows);
      EXPECT_EQ(clipList(Engine(tables).query("SELECT ccode FROM code WHERE EXISTS (SELECT * "
                                              "FROM code p WHERE p.ccode LIKE code.ccode + '" +
                                              tail + "')")),
                expected)
          << "tail '" << tail << "', round " << round;
    }
  }
}

TEST_F(SqlRangePlanProperty, PatternsFromAnotherTable) {
  for (int round = 0; round < 6; ++round) {
    const std::vector<CodeRow> codes = randomCodes(300);
    foldedFor_ = nullptr;
    std::vector<std::vector<Value>> patterns;
    std::string expected;
    for (int i = 0; i < 400; ++i) {
      const std::string text = randomText(4);
      patterns.push_back({Value::text(text)});
      if (anyLike(codes, text + "%")) expected += text + ",";
    }
    MemoryTables tables;
    addCodeTable(tables, codes);
    tables.add({"patterns", {{"text", ColumnType::Text}}}, patterns);
    EXPECT_EQ(clipList(Engine(tables).query("SELECT text FROM patterns WHERE EXISTS (SELECT * "
                                            "FROM code WHERE ccode LIKE text + '%')")),
              expected)
        << round;
  }
}

// The index sorts its entries by merging the stretches already in order: against std::sort.
TEST(SqlRunSort, SortsInputMadeOfSortedStretches) {
  std::mt19937 random(5);
  const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  // Keys repeat; the position makes every element distinct, as the row does in the index.
  using Element = std::pair<int, int>;
  for (int round = 0; round < 200; ++round) {
    const int count = pick(3) == 0 ? pick(40) : 200 + pick(2000);
    const int stretches = 1 + (round % 4 == 3 ? pick(count + 1) : pick(12));
    std::vector<Element> elements;
    for (int i = 0; i < count; ++i) elements.emplace_back(pick(round % 2 == 0 ? 10 : 100000), i);
    for (int k = 0; k < stretches; ++k) {
      std::sort(elements.begin() + count * k / stretches,
                elements.begin() + count * (k + 1) / stretches);
    }
    std::vector<Element> expected = elements;
    std::sort(expected.begin(), expected.end());
    const bool wasSorted = elements == expected;
    EXPECT_EQ(sortMergingRuns(elements.begin(), elements.end(), std::less<Element>()), !wasSorted);
    ASSERT_EQ(elements, expected) << "round " << round;
  }
}

// A column whose texts are their own folded keys serves as its own index, which points back at
// it: a column moved elsewhere must not keep an index into the one it left.
TEST(SqlFoldedIndex, FollowsItsColumnWhenTheColumnMoves) {
  static_assert(!std::is_copy_constructible_v<ColumnValues>);
  auto first = std::make_unique<ColumnValues>();
  for (const char* code : {"1001", "1002", "2001"}) first->appendText(code);
  ASSERT_EQ(first->foldedIndex().key(2), "2001");
  ColumnValues moved = std::move(*first);
  first.reset();
  const FoldedPrefixIndex& index = moved.foldedIndex();
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(index.key(0), "1001");
  EXPECT_EQ(index.key(2), "2001");
}

}  // namespace
}  // namespace leafward::sql::testing
