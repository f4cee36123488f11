#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_session.h"
#include "dataaccess/jet/write/flag_writer.h"
#include "dataaccess/jet/write/write_hooks.h"
#include "support/files.h"
#include "support/flag_scan.h"
#include "support/open_database.h"

namespace leafward::testing {

// Flips the flags of the scanned rows.
inline std::vector<jet::FlagChange> flipsOf(const std::vector<ScannedFlag>& rows,
                                            std::size_t every = 1) {
  std::vector<jet::FlagChange> changes;
  for (std::size_t i = 0; i < rows.size(); i += every) {
    changes.push_back({rows[i].entry, rows[i].value, !rows[i].value});
  }
  return changes;
}

// Runs a statement on `path` the way a session hands it to the writer.
inline jet::FlagWriteResult writeFlagsOf(const std::string& path,
                                         const std::vector<jet::FlagChange>& changes,
                                         const std::string& column = "bend") {
  const OpenDatabase open(path);
  return jet::writeFlags(open.target("code", column), changes);
}

// Expects the statement refused as `kind`, with the file unchanged and no journal left.
inline void expectRefused(const std::string& path, const std::vector<jet::FlagChange>& changes,
                          dataaccess::ErrorKind kind, const std::string& column = "bend") {
  const auto before = readBytes(path);
  try {
    writeFlagsOf(path, changes, column);
    ADD_FAILURE() << "the statement was not refused";
  } catch (const dataaccess::DataAccessError& error) {
    EXPECT_EQ(error.kind(), kind) << error.what();
  }
  EXPECT_EQ(readBytes(path), before);
  EXPECT_FALSE(fileExists(jet::journalPathFor(platform::canonicalPath(path))));
}

// What opening the file as a person does says (and as what kind, when `kind` is given): empty
// when it opened.
inline std::string openFailure(const std::string& path, dataaccess::ErrorKind* kind = nullptr) {
  try {
    jet::openJetSession(path);
  } catch (const dataaccess::DataAccessError& error) {
    if (kind) *kind = error.kind();
    return error.what();
  }
  return {};
}

// Stands for a crash: thrown by the write hook.
struct Crash {};

// Runs the statement and stops it at the given step, leaving the file and its journal as a kill
// there would: the writer's unwinding removes a journal it has not committed, so the journal is
// put back as it was at the step.
inline void crashAt(const std::string& path, const std::vector<jet::FlagChange>& changes,
                    jet::WriteStep step, std::size_t count) {
  static jet::WriteStep stopStep;
  static std::size_t stopCount;
  static std::string journal;
  static std::optional<std::vector<std::uint8_t>> journalAtCrash;
  stopStep = step;
  stopCount = count;
  journal = jet::journalPathFor(platform::canonicalPath(path));
  journalAtCrash.reset();
  jet::setWriteStepHook([](jet::WriteStep reached, std::size_t n) {
    if (reached != stopStep || n != stopCount) return;
    if (fileExists(journal)) journalAtCrash = readBytes(journal);
    throw Crash{};
  });
  try {
    writeFlagsOf(path, changes);
    ADD_FAILURE() << "the statement ran to its end";
  } catch (const Crash&) {
  }
  jet::setWriteStepHook(nullptr);
  if (journalAtCrash && !fileExists(journal)) writeBytes(journal, *journalAtCrash);
}

// A statement over many pages of a file with moved rows (every ninth row of overflow-2k.mdb),
// the file before and after it, and what opening the file then says.
class StatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.copyFixture("account-sets/overflow-2k.mdb");
    journal_ = jet::journalPathFor(platform::canonicalPath(path_));
    original_ = readBytes(path_);
    changed_ = original_;
    const auto rows = scanFlags(path_, "code", "bend");
    changes_ = flipsOf(rows, 9);
    for (std::size_t i = 0; i < rows.size(); i += 9)
      changed_[rows[i].fileOffset] ^= rows[i].bit.mask;
  }

  // A journal cut short before it was committed, as a statement killed while writing it leaves.
  void leaveTornJournal() {
    crashAt(path_, changes_, jet::WriteStep::JournalCommitted, 0);
    const auto journal = readBytes(journal_);
    writeBytes(journal_, {journal.begin(), journal.begin() + 40});
  }

  std::string openFailure(dataaccess::ErrorKind* kind = nullptr) {
    return testing::openFailure(path_, kind);
  }

  TempDir folder_;
  std::string path_, journal_;
  std::vector<std::uint8_t> original_, changed_;
  std::vector<jet::FlagChange> changes_;
};

}  // namespace leafward::testing
