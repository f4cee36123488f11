#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/findings.h"
#include "connection/shared_connection.h"

namespace leafward::audit {

// Fills in the details of the wrong flags a Check listed: each code's name and level where the
// code table has `ccode_name` and `igrade`, the code it lies under and the codes under it. It
// reads the table once more after the Check's own statements, row by row, with one of
// kDetailQueries (the first the table has the columns for), and leaves the connection's
// statement text and recordset as they were. Anything that cannot be read leaves the details
// unknown; nothing fails and nothing is reported.
void addDetails(connection::SharedConnection& shared, std::vector<WrongFlag>& wrongFlags);

// The queries addDetails tries, in order: the code, then its flag with what the table has of
// the name and the level, which the flag tells the rows of one code apart for.
inline constexpr std::string_view kDetailQueries[] = {
    "SELECT ccode, bend, ccode_name, igrade FROM [code]",
    "SELECT ccode, bend, ccode_name FROM [code]",
    "SELECT ccode, bend, igrade FROM [code]",
    "SELECT ccode FROM [code]",
};

// The codes above and below a few codes of a table, by the rule of the Check's statements: a
// code C lies under a code P when C is LIKE P + '_%' (case-insensitive, and a '%', '_' or '['
// in P acts as a wildcard); a NULL code lies under nothing and has nothing under it. Every code
// of the table is offered once; the work per code is a walk along its first characters, not a
// search of the whole table.
class CodeNeighbours {
 public:
  explicit CodeNeighbours(const std::vector<std::string>& watched);
  ~CodeNeighbours();
  CodeNeighbours(const CodeNeighbours&) = delete;
  CodeNeighbours& operator=(const CodeNeighbours&) = delete;

  // One code of the table (not NULL); true when it is one of the watched codes, without regard
  // to case.
  bool offer(std::string_view code);

  struct Neighbours {
    std::int64_t subCodes = 0;                // codes offered that lie under it
    std::optional<std::string> firstSubCode;  // the least of them, byte by byte
    // The longest code offered that it lies under, other than itself; of two as long, the
    // least.
    std::optional<std::string> parent;
    bool operator==(const Neighbours&) const = default;
  };
  // What the offered codes say of each watched code, in the order given; after the last offer.
  std::vector<Neighbours> neighbours() const;

 private:
  struct Tree;
  std::unique_ptr<Tree> tree_;
};

}  // namespace leafward::audit
