#include <gtest/gtest.h>
#include <QCoreApplication>

#include "support/files.h"
#include "ui/window_harness.h"

namespace leafward::ui {
namespace {

using testing::FixtureCopy;
using testing::WindowHarness;

// What the box holds for a fixture: the printed report with CR LF line breaks and without the
// final one.
std::string boxReport(const std::string& fixture) {
  std::string printed = testing::expectedReport(fixture);
  printed.pop_back();
  return connection::replaceAll(printed, "\n", "\r\n");
}

void openThroughTheWindow(WindowHarness& h, const FixtureCopy& copy) {
  h.dialogs.fileAnswers = {QString::fromStdString(copy.path())};
  h.window->tbToolBarButtonClick("Open");
}

class FixtureCheckTest : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureCheckTest, OpenThenCheckGivesTheExpectedReport) {
  const std::string name = GetParam();
  FixtureCopy copy(name);
  WindowHarness h;
  openThroughTheWindow(h, copy);
  EXPECT_EQ(h.panel(1)->text().toStdString(), name);
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), boxReport(name));
  // Only an empty code table ends the check early, leaving the window busy for one tick.
  EXPECT_EQ(h.busy(), name == "empty-code.mdb");
  QCoreApplication::processEvents();
  EXPECT_FALSE(h.busy());
}

INSTANTIATE_TEST_SUITE_P(AccountSets, FixtureCheckTest,
                         ::testing::Values("consistent.mdb", testing::kWorkedExample,
                                           "scheme-mismatch.mdb", "no-scheme-tables.mdb",
                                           "empty-code.mdb", "odd-codes.mdb", "realistic-5k.mdb",
                                           "overflow-2k.mdb", "deleted-2k.mdb",
                                           "bend-indexed-1k.mdb"));

TEST(FixtureWindowTest, EachOpenReplacesTheConnectionAndChecksAppendOrReplace) {
  FixtureCopy consistent("consistent.mdb"), mismatch("scheme-mismatch.mdb"),
      example(testing::kWorkedExample);
  WindowHarness h;
  openThroughTheWindow(h, consistent);
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), "没有发现错误");
  // No first list: the scheme lines go below the earlier report.
  openThroughTheWindow(h, mismatch);
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), "没有发现错误" + boxReport("scheme-mismatch.mdb"));
  // A first list replaces it all.
  openThroughTheWindow(h, example);
  h.window->tbToolBarButtonClick("Check");
  EXPECT_EQ(h.report(), boxReport(testing::kWorkedExample));
}

// The Update button repairs the open file: a Check afterwards keeps the box as it was.
TEST(FixtureWindowTest, CheckUpdateCheck) {
  FixtureCopy example(testing::kWorkedExample);
  WindowHarness h;
  openThroughTheWindow(h, example);
  h.window->tbToolBarButtonClick("Check");
  h.window->tbToolBarButtonClick("Update");
  const std::string updated = boxReport(testing::kWorkedExample) +
                              "\r\n有 3个非末级科目标志被更新\r\n有 1个末级科目标志被更新";
  EXPECT_EQ(h.report(), updated);
  EXPECT_FALSE(h.busy());
  h.window->tbToolBarButtonClick("Check");
  h.window->tbToolBarButtonClick("Update");
  EXPECT_EQ(h.report(), updated);
}

}  // namespace
}  // namespace leafward::ui
