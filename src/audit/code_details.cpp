#include "audit/code_details.h"

#include <algorithm>
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

// The character at `pos`, folded as LIKE folds it, and `pos` moved past it; ASCII without a
// call, since most codes are digits.
char32_t foldedCharacter(std::string_view text, std::size_t& pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte >= 0x80) return sql::foldCase(sql::nextCharacter(text, pos));
  ++pos;
  return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
}

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
      node = addChild(node, foldedCharacter(code, pos));
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

  // The walk of the code offered last: offered in code order, as most tables store them, a code
  // shares most of its walk with the one before, and only the rest is walked.
  struct Step {
    std::uint32_t node;
    std::size_t end;  // the code's bytes walked to reach it
  };
  std::vector<Step> path{{0, 0}};
  std::string previous;
  std::size_t fellOffAt = std::string::npos;  // where the last walk met a character not in the tree

  bool offer(std::string_view code) {
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(code.begin(), code.end(), previous.begin(), previous.end()).first -
        code.begin());
    while (path.back().end > same) path.pop_back();
    // The character the last walk could not take is this code's too: this walk ends there.
    bool fellOff = false;
    if (fellOffAt != std::string::npos && path.back().end == fellOffAt && same > fellOffAt) {
      std::size_t next = fellOffAt;
      sql::nextCharacter(code, next);
      fellOff = same >= next;
    }
    fellOffAt = std::string::npos;
    for (std::size_t pos = path.back().end; !fellOff && pos < code.size();) {
      const std::size_t start = pos;
      const std::uint32_t node = child(path.back().node, foldedCharacter(code, pos));
      if (node == kNone) {
        fellOff = true;
        fellOffAt = start;
      } else {
        path.push_back({node, pos});
      }
    }
    if (fellOff && fellOffAt == std::string::npos) fellOffAt = path.back().end;
    previous.assign(code);

    std::size_t wildcard = 0;
    while (wildcard < code.size() && kWildcards.find(code[wildcard]) == std::string_view::npos) {
      ++wildcard;
    }
    std::uint32_t literalEnd = kNone;  // where the literal start ends, when there is a wildcard
    for (const Step& step : path) {
      const Node& here = nodes[step.node];
      // A plain watched code spelt so far lies above the code when the code goes on.
      if (here.tally != kNone && step.end < code.size()) tallies[here.tally].add(code);
      for (std::uint32_t hook = here.firstHook; hook != kNone; hook = patterns[hook].nextHook) {
        if (patterns[hook].like.matches(code)) tallies[patterns[hook].tally].add(code);
      }
      if (step.end == wildcard && wildcard < code.size()) literalEnd = step.node;
    }
    const bool whole = !fellOff && path.back().end == code.size();
    if (literalEnd != kNone) {
      // A pattern whose literal start leads into the tree: it may match watched codes.
      offeredPatterns.push_back({std::string(code), literalEnd});
    } else if (whole && wildcard == code.size()) {
      std::uint32_t& least = nodes[path.back().node].plainCode;
      if (least == kNone || code < plainCodes[least]) {
        if (least == kNone) {
          least = static_cast<std::uint32_t>(plainCodes.size());
          plainCodes.emplace_back();
        }
        plainCodes[least] = std::string(code);
      }
    }
    return whole && nodes[path.back().node].firstWatched != kNone;
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
  std::size_t characters = 1;
  for (const std::string& code : watched) characters += code.size();
  tree_->nodes.reserve(characters);
  tree_->codes.reserve(watched.size());
  tree_->watched.reserve(watched.size());
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

// The rows of the table, gathered into the wrong flags they belong to.
class DetailReading {
 public:
  explicit DetailReading(const std::vector<WrongFlag>& wrongFlags)
      : wrongFlags_(wrongFlags),
        details_(wrongFlags.size()),
        watchedIndex_(wrongFlags.size(), kNotWatched) {
    std::vector<std::string> codes;
    codes.reserve(wrongFlags.size());
    for (std::size_t i = 0; i < wrongFlags.size(); ++i) {
      details_[i] = std::make_shared<CodeDetails>();
      if (!wrongFlags[i].code) continue;
      watchedIndex_[i] = codes.size();
      codes.push_back(*wrongFlags[i].code);
    }
    neighbours_.emplace(codes);
  }

  // Whether the rows hold the flag after the code, and then the name and the level.
  void expect(bool name, bool level) {
    withName_ = name;
    withLevel_ = level;
  }

  void row(const std::vector<Value>& row) {
    ++rows_;
    const Value& code = row.at(0);
    if (!code.isNull()) {
      const std::string_view text =
          code.kind() == Value::Kind::Text ? std::string_view(code.asText()) : held(code);
      if (!neighbours_->offer(text)) return;
    }
    if (!withName_ && !withLevel_) return;
    const std::optional<bool> flag = flagOf(row.at(1));
    if (!flag) return;
    if (waiting_.empty()) {
      // The rows of one code and flag, in table order, are its entries in list order.
      for (std::size_t i = 0; i < wrongFlags_.size(); ++i) {
        waiting_[{wrongFlags_[i].code, wrongFlags_[i].flag()}].entries.push_back(i);
      }
    }
    const auto waiting = waiting_.find({codeOf(code), *flag});
    if (waiting == waiting_.end()) return;
    Waiting& entries = waiting->second;
    if (entries.next == entries.entries.size()) return;
    CodeDetails& details = *details_[entries.entries[entries.next++]];
    std::size_t column = 2;
    if (withName_) details.name = nameOf(row.at(column++));
    if (withLevel_) details.level = levelOf(row.at(column++));
  }

  std::size_t rows() const { return rows_; }

  // Once every row was read: the codes above and under each wrong flag.
  void finish(std::vector<WrongFlag>& wrongFlags) {
    const std::vector<CodeNeighbours::Neighbours> found = neighbours_->neighbours();
    for (std::size_t i = 0; i < wrongFlags.size(); ++i) {
      CodeDetails& details = *details_[i];
      // A NULL code is above and under nothing.
      if (watchedIndex_[i] != kNotWatched) {
        const CodeNeighbours::Neighbours& these = found[watchedIndex_[i]];
        details.subCodes = these.subCodes;
        details.firstSubCode = these.firstSubCode;
        details.parent = these.parent;
      }
      wrongFlags[i].details = std::move(details_[i]);
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

  const std::vector<WrongFlag>& wrongFlags_;
  std::vector<std::shared_ptr<CodeDetails>> details_;  // per wrong flag
  bool withName_ = false, withLevel_ = false;
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
  DetailReading reading(wrongFlags);
  for (std::size_t query = 0; query < std::size(kDetailQueries); ++query) {
    reading.expect(columns[query][0], columns[query][1]);
    try {
      shared.cnData.forEachRow(kDetailQueries[query],
                               [&](const std::vector<Value>& row) { reading.row(row); });
    } catch (const std::exception&) {
      // A table without the columns refuses the query before any row: the next one is tried.
      // One that fails midway leaves the details unknown.
      if (reading.rows() == 0) continue;
      return;
    }
    reading.finish(wrongFlags);
    return;
  }
}

}  // namespace leafward::audit
