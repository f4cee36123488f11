#include "audit/code_details.h"

#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "dataaccess/sql/like_pattern.h"
#include "dataaccess/sql/text_fold.h"

namespace leafward::audit {
namespace {

using dataaccess::Value;

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// The characters that make a code act as a pattern rather than as plain text when it is the
// left part of LIKE code + '_%'. They are ASCII, so they never occur inside a longer UTF-8
// sequence.
constexpr std::string_view kWildcards = "%_[";

// Codes counted as lying under one watched code (or under all the watched codes of one folded
// text, which have the same ones).
struct Tally {
  std::int64_t count = 0;
  std::optional<std::string> first;
  void add(std::string_view code) {
    ++count;
    if (!first || code < *first) first = std::string(code);
  }
};

}  // namespace

// The watched codes as a tree of their folded characters: a node for every folded prefix of a
// watched code. A code offered walks down the tree along its own characters, so it meets every
// watched code it lies under (their folded text is a prefix of its own) and, where its walk
// ends, learns whether it is itself a prefix of watched codes.
struct CodeNeighbours::Tree {
  struct Node {
    std::uint32_t parent = kNone, firstChild = kNone, nextSibling = kNone;
    char32_t character = 0;              // folded
    std::uint32_t firstWatched = kNone;  // watched codes spelt by this node, through nextWatched
    std::uint32_t tally = kNone;         // the tally of the plain watched codes spelt by this node
    std::uint32_t firstHook = kNone;     // patterns whose literal start ends here, through nextHook
    std::uint32_t plainCode = kNone;     // the least plain code offered that this node spells
  };
  // A watched code holding a wildcard: it is matched as the pattern it makes.
  struct Pattern {
    std::string code;
    sql::LikePattern like;
    std::uint32_t tally = kNone;
    std::uint32_t nextHook = kNone;
  };
  // A code offered that holds a wildcard, which may make a pattern some watched codes match.
  struct OfferedPattern {
    std::string code;
    std::uint32_t node;  // where its literal start ends
  };

  std::vector<Node> nodes{Node{}};
  std::vector<Tally> tallies;
  std::vector<Pattern> patterns;
  std::vector<std::string> plainCodes;
  std::vector<OfferedPattern> offeredPatterns;
  // Per watched code: its node, the tally it reads, the next watched code of the same node.
  struct Watched {
    std::uint32_t node = 0, tally = kNone, nextWatched = kNone;
  };
  std::vector<Watched> watched;
  std::vector<std::string> codes;  // the watched codes, in the order given

  std::uint32_t child(std::uint32_t node, char32_t character) const {
    for (std::uint32_t at = nodes[node].firstChild; at != kNone; at = nodes[at].nextSibling) {
      if (nodes[at].character == character) return at;
    }
    return kNone;
  }
  std::uint32_t addChild(std::uint32_t node, char32_t character) {
    if (const std::uint32_t found = child(node, character); found != kNone) return found;
    Node made;
    made.parent = node;
    made.character = character;
    made.nextSibling = nodes[node].firstChild;
    nodes.push_back(made);
    nodes[node].firstChild = static_cast<std::uint32_t>(nodes.size() - 1);
    return nodes[node].firstChild;
  }
  // The node of the folded text, made as needed; with `stopAtWildcard`, of its literal start.
  std::uint32_t spell(std::string_view code, bool stopAtWildcard) {
    std::uint32_t node = 0;
    for (std::size_t pos = 0; pos < code.size();) {
      if (stopAtWildcard && kWildcards.find(code[pos]) != std::string_view::npos) break;
      node = addChild(node, sql::foldCase(sql::nextCharacter(code, pos)));
    }
    return node;
  }
  std::uint32_t newTally() {
    tallies.emplace_back();
    return static_cast<std::uint32_t>(tallies.size() - 1);
  }

  void watch(const std::string& code) {
    codes.push_back(code);
    Watched entry;
    entry.node = spell(code, false);
    entry.nextWatched = nodes[entry.node].firstWatched;
    nodes[entry.node].firstWatched = static_cast<std::uint32_t>(watched.size());
    if (code.find_first_of(kWildcards) == std::string::npos) {
      // Every plain code of one folded text has the same codes under it.
      if (nodes[entry.node].tally == kNone) nodes[entry.node].tally = newTally();
      entry.tally = nodes[entry.node].tally;
    } else {
      entry.tally = patternTally(code);
    }
    watched.push_back(entry);
  }
  std::uint32_t patternTally(const std::string& code) {
    for (const Pattern& pattern : patterns) {
      if (pattern.code == code) return pattern.tally;
    }
    Pattern& pattern = patterns.emplace_back();
    pattern.code = code;
    pattern.like.compile(code + "_%");
    pattern.tally = newTally();
    const std::uint32_t hookNode = spell(code, true);
    pattern.nextHook = nodes[hookNode].firstHook;
    nodes[hookNode].firstHook = static_cast<std::uint32_t>(patterns.size() - 1);
    return pattern.tally;
  }

  bool offer(std::string_view code) {
    const std::size_t wildcard = code.find_first_of(kWildcards);
    std::uint32_t node = 0, literalEnd = wildcard == 0 ? 0 : kNone;
    for (std::size_t pos = 0;;) {
      const Node& here = nodes[node];
      const bool longer = pos < code.size();
      // A plain watched code spelt so far lies above the code when the code goes on.
      if (longer && here.tally != kNone) tallies[here.tally].add(code);
      for (std::uint32_t hook = here.firstHook; hook != kNone; hook = patterns[hook].nextHook) {
        if (patterns[hook].like.matches(code)) tallies[patterns[hook].tally].add(code);
      }
      if (!longer) break;
      node = child(node, sql::foldCase(sql::nextCharacter(code, pos)));
      if (node == kNone) break;
      if (pos == wildcard) literalEnd = node;
    }
    if (wildcard != std::string_view::npos) {
      // Only a pattern whose literal start leads into the tree can match a watched code.
      if (literalEnd != kNone) offeredPatterns.push_back({std::string(code), literalEnd});
    } else if (node != kNone) {
      std::uint32_t& least = nodes[node].plainCode;
      if (least == kNone || code < plainCodes[least]) {
        if (least == kNone) {
          least = static_cast<std::uint32_t>(plainCodes.size());
          plainCodes.emplace_back();
        }
        plainCodes[least] = std::string(code);
      }
    }
    return node != kNone && nodes[node].firstWatched != kNone;
  }

  // The parent of every watched code: the deepest plain code above its node, or a longer code
  // offered as a pattern that the watched code matches.
  std::vector<std::optional<std::string>> parents() const {
    std::vector<std::optional<std::string>> found(codes.size());
    std::vector<std::size_t> foundLength(codes.size(), 0);
    const auto consider = [&](std::size_t index, const std::string& candidate) {
      const std::size_t length = sql::characterCount(candidate);
      if (found[index] && (length < foundLength[index] ||
                           (length == foundLength[index] && *found[index] <= candidate))) {
        return;
      }
      found[index] = candidate;
      foundLength[index] = length;
    };
    for (std::size_t i = 0; i < codes.size(); ++i) {
      for (std::uint32_t at = nodes[watched[i].node].parent; at != kNone; at = nodes[at].parent) {
        if (nodes[at].plainCode == kNone) continue;
        consider(i, plainCodes[nodes[at].plainCode]);
        break;
      }
    }
    sql::LikePattern like;
    std::vector<std::uint32_t> below;
    for (const OfferedPattern& offered : offeredPatterns) {
      like.compile(offered.code + "_%");
      below.assign(1, offered.node);
      while (!below.empty()) {
        const std::uint32_t node = below.back();
        below.pop_back();
        for (std::uint32_t at = nodes[node].firstChild; at != kNone; at = nodes[at].nextSibling) {
          below.push_back(at);
        }
        for (std::uint32_t w = nodes[node].firstWatched; w != kNone; w = watched[w].nextWatched) {
          // A pattern can match its own code: a code is no parent of itself all the same.
          if (codes[w] != offered.code && like.matches(codes[w])) consider(w, offered.code);
        }
      }
    }
    return found;
  }
};

CodeNeighbours::CodeNeighbours(const std::vector<std::string>& watched)
    : tree_(std::make_unique<Tree>()) {
  for (const std::string& code : watched) tree_->watch(code);
}

CodeNeighbours::~CodeNeighbours() = default;

bool CodeNeighbours::offer(std::string_view code) {
  return tree_->offer(code);
}

std::vector<CodeNeighbours::Neighbours> CodeNeighbours::neighbours() const {
  std::vector<std::optional<std::string>> parents = tree_->parents();
  std::vector<Neighbours> found;
  found.reserve(parents.size());
  for (std::size_t i = 0; i < parents.size(); ++i) {
    const Tally& tally = tree_->tallies[tree_->watched[i].tally];
    found.push_back({tally.count, tally.first, std::move(parents[i])});
  }
  return found;
}

namespace {

// The flag of a row as a Yes/No value or a bit; nothing for NULL or anything else.
std::optional<bool> flagOf(const Value& value) {
  if (value.kind() == Value::Kind::YesNo) return value.asYesNo();
  if (value.kind() == Value::Kind::Integer) return value.asInteger() != 0;
  return std::nullopt;
}

std::optional<std::string> nameOf(const Value& value) {
  if (value.isNull()) return std::nullopt;
  return value.kind() == Value::Kind::Text ? value.asText() : value.toText();
}

// A level as a whole number, however the column keeps it; nothing for anything else.
std::optional<std::int64_t> levelOf(const Value& value) {
  if (value.kind() == Value::Kind::Integer) return value.asInteger();
  if (const auto number = value.fractionalNumber()) {
    if (std::isfinite(*number) && std::fabs(*number) < 1e15 && *number == std::trunc(*number)) {
      return static_cast<std::int64_t>(*number);
    }
  }
  return std::nullopt;
}

// The rows of one detail query, gathered into the wrong flags they belong to.
class DetailReading {
 public:
  DetailReading(std::vector<WrongFlag>& wrongFlags, bool withName, bool withLevel)
      : wrongFlags_(wrongFlags),
        withName_(withName),
        withLevel_(withLevel),
        watchedIndex_(wrongFlags.size(), kNotWatched) {
    std::vector<std::string> codes;
    for (std::size_t i = 0; i < wrongFlags_.size(); ++i) {
      const WrongFlag& wrong = wrongFlags_[i];
      // The rows of one code and flag, in table order, are its entries in list order.
      waiting_[{wrong.code, wrong.flag()}].entries.push_back(i);
      if (!wrong.code) continue;
      watchedIndex_[i] = codes.size();
      codes.push_back(*wrong.code);
    }
    neighbours_.emplace(codes);
  }

  void row(const std::vector<Value>& row) {
    ++rows_;
    const Value& code = row.at(0);
    if (!code.isNull()) {
      const std::string_view text =
          code.kind() == Value::Kind::Text ? std::string_view(code.asText()) : held(code);
      if (!neighbours_->offer(text)) return;
    }
    const std::optional<bool> flag = flagOf(row.at(1));
    if (!flag) return;
    const auto waiting = waiting_.find({codeOf(code), *flag});
    if (waiting == waiting_.end()) return;
    Waiting& entries = waiting->second;
    if (entries.next == entries.entries.size()) return;
    WrongFlag& wrong = wrongFlags_[entries.entries[entries.next++]];
    std::size_t column = 2;
    if (withName_) wrong.name = nameOf(row.at(column++));
    if (withLevel_) wrong.level = levelOf(row.at(column++));
  }

  std::size_t rows() const { return rows_; }

  // Once every row was read: the codes above and under each wrong flag.
  void finish() {
    const std::vector<CodeNeighbours::Neighbours> found = neighbours_->neighbours();
    for (std::size_t i = 0; i < wrongFlags_.size(); ++i) {
      WrongFlag& wrong = wrongFlags_[i];
      wrong.detailed = true;
      wrong.subCodes = 0;
      // A NULL code is above and under nothing.
      if (watchedIndex_[i] == kNotWatched) continue;
      const CodeNeighbours::Neighbours& these = found[watchedIndex_[i]];
      wrong.subCodes = these.subCodes;
      wrong.firstSubCode = these.firstSubCode;
      wrong.parent = these.parent;
    }
  }

 private:
  std::string_view held(const Value& value) {
    text_ = value.toText();
    return text_;
  }

  // The wrong flags of one code and flag, and how many of them have had their row.
  struct Waiting {
    std::vector<std::size_t> entries;
    std::size_t next = 0;
  };
  static constexpr std::size_t kNotWatched = static_cast<std::size_t>(-1);

  std::vector<WrongFlag>& wrongFlags_;
  bool withName_, withLevel_;
  std::map<std::pair<Code, bool>, Waiting> waiting_;
  std::vector<std::size_t> watchedIndex_;  // per wrong flag: its place among the watched codes
  std::optional<CodeNeighbours> neighbours_;
  std::string text_;
  std::size_t rows_ = 0;
};

}  // namespace

void addDetails(connection::SharedConnection& shared, std::vector<WrongFlag>& wrongFlags) {
  if (wrongFlags.empty()) return;
  const bool columns[][2] = {{true, true}, {true, false}, {false, true}, {false, false}};
  for (std::size_t query = 0; query < std::size(kDetailQueries); ++query) {
    std::vector<WrongFlag> detailed = wrongFlags;
    DetailReading reading(detailed, columns[query][0], columns[query][1]);
    try {
      shared.cnData.forEachRow(kDetailQueries[query],
                               [&](const std::vector<Value>& row) { reading.row(row); });
    } catch (const std::exception&) {
      // A table without the columns refuses the query before any row; one that fails midway
      // leaves the details unknown.
      if (reading.rows() > 0) return;
      continue;
    }
    reading.finish();
    wrongFlags = std::move(detailed);
    return;
  }
}

}  // namespace leafward::audit
