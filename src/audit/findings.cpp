#include "audit/findings.h"

#include <algorithm>

#include "audit/report.h"
#include "connection/steps.h"

namespace leafward::audit {
namespace {

using connection::attempt;

constexpr const char* kNoErrors = "没有发现错误";

// The codes of one list as the database exported them: each followed by "," (NULL as an empty
// entry), without the last ",".
std::string codeList(const std::vector<WrongFlag>& wrongFlags, WrongFlagKind kind) {
  std::string list;
  bool first = true;
  for (const WrongFlag& wrong : wrongFlags) {
    if (wrong.kind != kind) continue;
    if (!first) list += ',';
    first = false;
    if (wrong.code) list += *wrong.code;
  }
  return list;
}

bool listed(const std::vector<WrongFlag>& wrongFlags, WrongFlagKind kind) {
  return std::any_of(wrongFlags.begin(), wrongFlags.end(),
                     [kind](const WrongFlag& wrong) { return wrong.kind == kind; });
}

void renderScheme(const StoredScheme& scheme, Workbench& bench) {
  if (scheme.state == StoredScheme::State::Missing) {
    attempt([&] { appendLine(bench, scheme.table + "的科目编码有问题"); });
  } else if (scheme.state == StoredScheme::State::Mismatch) {
    attempt([&] { appendLine(bench, scheme.table + "的科目编码有问题：'" + scheme.stored + "'"); });
  }
}

}  // namespace

bool Findings::errorsFound() const {
  return !wrongFlags.empty() ||
         (scheme && (scheme->accInformation.reported() || scheme->gradeDef.reported()));
}

const char* listHeading(WrongFlagKind kind) {
  return kind == WrongFlagKind::NonLeafFlaggedAsLeaf ? "如下非末级科目标志有误："
                                                     : "如下末级科目标志有误：";
}

void renderReport(const Findings& findings, bool finished, Workbench& bench) {
  using Kind = WrongFlagKind;
  // Only a first list that found codes replaces the report.
  for (const Kind kind : {Kind::NonLeafFlaggedAsLeaf, Kind::LeafFlaggedAsNonLeaf}) {
    if (!listed(findings.wrongFlags, kind)) continue;
    const std::string line = listHeading(kind) + codeList(findings.wrongFlags, kind);
    attempt([&] {
      if (kind == Kind::NonLeafFlaggedAsLeaf) {
        replaceReport(bench, line);
      } else {
        appendLine(bench, line);
      }
    });
  }
  if (findings.scheme) {
    renderScheme(findings.scheme->accInformation, bench);
    renderScheme(findings.scheme->gradeDef, bench);
  }
  if (!finished) return;
  busyOff(bench);
  if (bench.reportText().empty()) replaceReport(bench, kNoErrors);
}

}  // namespace leafward::audit
