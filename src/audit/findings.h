#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audit/code_lists.h"
#include "audit/workbench.h"

namespace leafward::audit {

// Which way a code's leaf flag (`bend`) contradicts the code hierarchy.
enum class WrongFlagKind {
  NonLeafFlaggedAsLeaf,  // a longer code lies under it, yet it is flagged as leaf
  LeafFlaggedAsNonLeaf,  // nothing lies under it, yet it is flagged as non-leaf
};

// What the code table says of a listed code besides its flag.
struct CodeDetails {
  // What the table holds in `ccode_name` and `igrade`; nothing where it has no such column or
  // the value is NULL.
  std::optional<std::string> name;
  std::optional<std::int64_t> level;
  // The code it lies under: the longest other code P that it is LIKE P + '_%', as the
  // statements tell sub-codes; nothing when there is none.
  std::optional<std::string> parent;
  // How many rows' codes lie under it, and the least of them byte by byte. A code flagged as
  // non-leaf wrongly has none.
  std::int64_t subCodes = 0;
  std::optional<std::string> firstSubCode;
};

// A code whose leaf flag is wrong.
struct WrongFlag {
  WrongFlagKind kind = WrongFlagKind::NonLeafFlaggedAsLeaf;
  Code code;  // nothing: a NULL code

  // The flag as stored and the flag the code should have (true: leaf).
  bool flag() const { return kind == WrongFlagKind::NonLeafFlaggedAsLeaf; }
  bool wantedFlag() const { return !flag(); }

  // Nothing when the details were not read, or could not be.
  std::shared_ptr<const CodeDetails> details;
};

// A coding scheme the account set stores, against the levels of the codes in use.
struct StoredScheme {
  enum class State {
    Fits,      // it begins with the level string and goes on with digits only
    Mismatch,  // it does not fit: reported, quoted as stored
    Missing,   // no row, or the table is missing or refused the query: reported
    Null,      // the row holds NULL: nothing to compare, nothing reported
    Unread,    // the row's value could not be read: nothing reported
  };
  std::string table;  // "AccInformation" or "GradeDef"
  State state = State::Missing;
  std::string stored;  // as stored, commas and all, for Fits and Mismatch

  bool reported() const { return state == State::Mismatch || state == State::Missing; }
};

// The coding-scheme half of a Check.
struct SchemeFindings {
  std::vector<std::int64_t> lengths;  // the distinct code lengths, in the order delivered
  std::string level;                  // the level string made of them
  StoredScheme accInformation{"AccInformation", StoredScheme::State::Missing, {}};
  StoredScheme gradeDef{"GradeDef", StoredScheme::State::Missing, {}};
};

// What a Check found, as values: the report text is made from them.
struct Findings {
  // The codes of the first list, then those of the second, each in the order the database
  // delivered them; a list whose query failed is absent (and the check ended there).
  std::vector<WrongFlag> wrongFlags;
  // Nothing when the check ended before the schemes were compared (no code lengths).
  std::optional<SchemeFindings> scheme;

  // Whether anything is reported: a wrong flag or a scheme that is missing or does not fit.
  bool errorsFound() const;
};

// Writes what the findings say into the report as the Check always has: the first list
// replaces the report, the second list and each scheme line are appended below whatever the
// box holds. `finished` (the check reached its end) ends the busy state and, when the box is
// empty then, writes "没有发现错误".
void renderReport(const Findings& findings, bool finished, Workbench& bench);

// The report heading of a list of wrong flags of `kind`.
const char* listHeading(WrongFlagKind kind);

}  // namespace leafward::audit
