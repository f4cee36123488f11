// Times the audit statements on a synthetic code table held in memory.
//
//   sql_engine_bench [rows] [--shuffled]
//
// The codes form a 4-2-2-2 tree, listed depth first (the order of a table filled by code) or
// shuffled; every 997th flag contradicts the tree. Engine time excludes reading the table.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dataaccess/sql/engine.h"

namespace {

using leafward::dataaccess::Value;
using namespace leafward::sql;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process: unlike the wall clock, not stretched by other programs.
double cpuSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

class BenchTables : public TableSource {
 public:
  BenchTables(const std::vector<std::string>& codeTexts, const std::vector<bool>& leaf) {
    auto codes = std::make_shared<ColumnValues>();
    auto flags = std::make_shared<ColumnValues>();
    for (std::size_t i = 0; i < codeTexts.size(); ++i) {
      codes->appendText(codeTexts[i]);
      flags->appendYesNo(leaf[i]);
    }
    codes_ = std::move(codes);
    flags_ = std::move(flags);
  }
  std::optional<TableInfo> describe(std::string_view name) override {
    if (name != "code") return std::nullopt;
    return TableInfo{"code", {{"ccode", ColumnType::Text}, {"bend", ColumnType::YesNo}}};
  }
  TableData read(const TableInfo&, const std::vector<std::size_t>& columns) override {
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    TableData data;
    data.rowCount = codes_->size();
    for (std::size_t column : columns) data.columns.push_back(column == 0 ? codes_ : flags_);
    readSeconds += secondsSince(start);
    readCpuSeconds += cpuSeconds() - cpuStart;
    return data;
  }
  double readSeconds = 0;
  double readCpuSeconds = 0;

 private:
  std::shared_ptr<const ColumnValues> codes_;
  std::shared_ptr<const ColumnValues> flags_;
};

std::string twoDigits(int n) {
  return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

// Depth first: level 1 "1001".., then 20, 10 and 99 children below each code.
void makeTree(std::size_t rows, std::vector<std::string>& codes, std::vector<bool>& leaf) {
  const auto addCode = [&](std::string code, bool isLeaf) {
    if (codes.size() >= rows) return false;
    codes.push_back(std::move(code));
    leaf.push_back(isLeaf);
    return true;
  };
  for (int a = 1; codes.size() < rows; ++a) {
    const std::string l1 = std::to_string(1000 + a);
    if (!addCode(l1, false)) return;
    for (int b = 1; b <= 20; ++b) {
      const std::string l2 = l1 + twoDigits(b);
      if (!addCode(l2, false)) return;
      for (int c = 1; c <= 10; ++c) {
        const std::string l3 = l2 + twoDigits(c);
        if (!addCode(l3, false)) return;
        for (int d = 1; d <= 99; ++d) {
          if (!addCode(l3 + twoDigits(d), true)) return;
        }
      }
    }
  }
}

long peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t rows = 1000000;
  bool shuffled = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--shuffled") == 0) {
      shuffled = true;
    } else {
      rows = std::strtoull(argv[i], nullptr, 10);
    }
  }

  std::vector<std::string> codes;
  std::vector<bool> leaf;
  makeTree(rows, codes, leaf);
  // A node cut off by the row limit has no children: fix its flag before spoiling some.
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const bool hasChild = i + 1 < codes.size() && codes[i + 1].size() > codes[i].size();
    leaf[i] = !hasChild;
    if (i % 997 == 0) leaf[i] = !leaf[i];
  }
  if (shuffled) {
    std::vector<std::size_t> order(codes.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::vector<std::string> c2;
    std::vector<bool> l2;
    for (std::size_t i : order) c2.push_back(codes[i]), l2.push_back(leaf[i]);
    codes.swap(c2);
    leaf.swap(l2);
  }
  BenchTables tables(codes, leaf);
  std::printf("%zu codes, %s order, %ld MB after building the table\n", rows,
              shuffled ? "shuffled" : "tree", peakMegabytes());

  const char* queries[] = {
      "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode like "
      "code.ccode+'_%') and [bend]",
      "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode like "
      "code.ccode+'_%') and [bend]=1",
      "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
      "code.ccode+'_%') and not [bend]",
      "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
      "code.ccode+'_%') and [bend]=0",
      "SELECT  distinct len(ccode) FROM  code ",
  };
  const char* updates[] = {
      "update code Set [bend] = 0  where exists (SELECT  * FROM [code] p where p.ccode like "
      "code.ccode+'_%') and [bend]<>0",
      "update code Set [bend] = true where not exists (SELECT  * FROM [code] p where p.ccode "
      "like code.ccode+'_%') and [bend]=0",
  };

  Engine engine(tables);
  std::printf("engine = without reading the table; cpu = processor time, wall = elapsed\n");
  std::printf("  engine cpu  engine wall  total wall      rows  statement\n");
  const auto run = [&](const char* text, auto statement) {
    tables.readSeconds = 0;
    tables.readCpuSeconds = 0;
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    const std::size_t resultRows = statement(text);
    const double cpu = cpuSeconds() - cpuStart;
    const double wall = secondsSince(start);
    std::printf("%10.3f s %10.3f s %9.3f s %9zu  %.50s...\n", cpu - tables.readCpuSeconds,
                wall - tables.readSeconds, wall, resultRows, text);
  };
  for (const char* text : queries) {
    run(text, [&](const char* t) { return engine.query(t).rows.size(); });
  }
  for (const char* text : updates) {
    run(text, [&](const char* t) { return engine.planUpdate(t).rows.size(); });
  }
  std::printf("peak memory %ld MB\n", peakMegabytes());
  return 0;
}
