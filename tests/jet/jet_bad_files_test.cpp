// Files that are not readable account sets are refused with a message that says why.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <functional>
#include <random>

#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_session.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// The message of the DataAccessError that opening `path` throws.
std::string openFailure(const std::string& path) {
  try {
    openJetSession(path);
  } catch (const dataaccess::DataAccessError& error) {
    return error.what();
  }
  return "(opened)";
}

// A copy of a real file with `edit` applied.
Bytes edited(const std::function<void(Bytes&)>& edit,
             const std::string& fixture = "account-sets/consistent.mdb") {
  Bytes bytes = testing::readBytes(testing::fixture(fixture));
  edit(bytes);
  return bytes;
}

TEST(JetBadFilesTest, MissingEmptyAndNonFilesAreRefusedWithTheirReason) {
  testing::TempDir dir;
  EXPECT_THAT(openFailure(dir.file("missing.mdb")), HasSubstr("does not exist"));
  EXPECT_THAT(openFailure(dir.file("no-folder/x.mdb")), HasSubstr("does not exist"));
  EXPECT_THAT(openFailure(dir.path().string()), HasSubstr("is a folder"));
  EXPECT_THAT(openFailure(""), HasSubstr("No file name"));
#ifndef _WIN32  // Windows has no named pipes in the file system
  ::mkfifo(dir.file("pipe.mdb").c_str(), 0600);
  EXPECT_THAT(openFailure(dir.file("pipe.mdb")), HasSubstr("is not a regular file"));
#endif
}

TEST(JetBadFilesTest, BadContentsAreRefusedWithTheirReason) {
  const Bytes whole = testing::readBytes(testing::fixture("account-sets/consistent.mdb"));
  const auto cut = [&](std::size_t size) { return Bytes(whole.begin(), whole.begin() + size); };
  const std::string text = "ccode,bend\n1001,0\n100101,1\n";
  std::mt19937 random(7);
  Bytes noise(65536);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  const std::string ace = "Standard ACE DB";

  const std::vector<std::pair<Bytes, std::string>> cases = {
      {{}, "is empty"},
      {Bytes(text.begin(), text.end()), "is not an Access database"},
      {noise, "is not an Access database"},
      {edited([](Bytes& b) { b[0x14] = 9; }), "unknown Jet version 9"},
      {edited([&](Bytes& b) { std::copy(ace.begin(), ace.end(), b.begin() + 4), b[0x14] = 2; }),
       "Access 2007 or later"},
      {edited([](Bytes& b) { b[0x14] = 3; }), "Access 2007 or later"},
      // The header's fields lie under a fixed XOR stream: flipping a stored bit flips the field.
      {edited([](Bytes& b) { b[0x3E] ^= 0x5A; }), "is encrypted"},
      {edited([](Bytes& b) { b[0x42] ^= 'p'; }), "protected by a database password"},
      {edited([](Bytes& b) { b[0x42 + 19] ^= 'z'; }, "jet-samples/testV1997.mdb"),
       "protected by a database password"},
      {cut(100), "is truncated"},
      {cut(4096 * 2), "is truncated"},
      {cut(whole.size() - 1), "not a whole number of 4096-byte pages"},
      {cut(whole.size() - 4096), "is truncated"},  // whole pages, but table pages are gone
      // AccInformation's page-map pointer names row 44 of a page with a few rows; mdb-export
      // crashes on this copy.
      {edited([](Bytes& b) { b[29 * 4096 + 55] ^= 44; }),
       "damaged: the page map of table AccInformation is missing"},
  };
  testing::TempDir dir;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const std::string path = dir.file(i == 4 ? "new.accdb" : "bad.mdb");
    testing::writeBytes(path, cases[i].first);
    EXPECT_THAT(openFailure(path), HasSubstr(cases[i].second));
  }
}

}  // namespace
}  // namespace leafward::jet
