#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_session.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

// The message of the DataAccessError that opening `path` throws.
std::string openFailure(const std::string& path) {
  try {
    openJetSession(path);
  } catch (const dataaccess::DataAccessError& error) {
    return error.what();
  }
  return "(opened)";
}

std::vector<std::uint8_t> consistent() {
  return testing::readBytes(testing::fixture("account-sets/consistent.mdb"));
}

TEST(JetBadFilesTest, MissingEmptyAndNonFilesAreRefusedWithTheirReason) {
  TempDir dir;
  EXPECT_THAT(openFailure(dir.file("missing.mdb")), HasSubstr("does not exist"));
  EXPECT_THAT(openFailure(dir.file("no-folder/x.mdb")), HasSubstr("does not exist"));
  EXPECT_THAT(openFailure(dir.path().string()), HasSubstr("is a folder"));
  EXPECT_THAT(openFailure(""), HasSubstr("No file name"));

  ::mkfifo(dir.file("pipe.mdb").c_str(), 0600);
  EXPECT_THAT(openFailure(dir.file("pipe.mdb")), HasSubstr("is not a regular file"));

  testing::writeBytes(dir.file("empty.mdb"), {});
  EXPECT_THAT(openFailure(dir.file("empty.mdb")), HasSubstr("is empty"));

  testing::writeBytes(dir.file("locked.mdb"), consistent());
  ::chmod(dir.file("locked.mdb").c_str(), 0);
  if (::geteuid() != 0) {
    EXPECT_THAT(openFailure(dir.file("locked.mdb")), HasSubstr("cannot be opened"));
  }
}

TEST(JetBadFilesTest, FilesOfOtherKindsAreNotAccessDatabases) {
  TempDir dir;
  const std::string text = "ccode,bend\n1001,0\n100101,1\n";
  testing::writeBytes(dir.file("text.mdb"), std::vector<std::uint8_t>(text.begin(), text.end()));
  EXPECT_THAT(openFailure(dir.file("text.mdb")), HasSubstr("is not an Access database"));

  std::mt19937 random(7);
  std::vector<std::uint8_t> noise(65536);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  testing::writeBytes(dir.file("noise.mdb"), noise);
  EXPECT_THAT(openFailure(dir.file("noise.mdb")), HasSubstr("is not an Access database"));

  auto unknownVersion = consistent();
  unknownVersion[0x14] = 9;
  testing::writeBytes(dir.file("version.mdb"), unknownVersion);
  EXPECT_THAT(openFailure(dir.file("version.mdb")), HasSubstr("unknown Jet version 9"));
}

TEST(JetBadFilesTest, AccessTwoThousandSevenFilesAreNamedAsSuch) {
  TempDir dir;
  auto ace = consistent();
  const std::string magic = "Standard ACE DB";
  std::copy(magic.begin(), magic.end(), ace.begin() + 4);
  ace[0x14] = 2;
  testing::writeBytes(dir.file("new.accdb"), ace);
  EXPECT_THAT(openFailure(dir.file("new.accdb")), HasSubstr("Access 2007 or later"));

  auto jetMagicNewVersion = consistent();
  jetMagicNewVersion[0x14] = 3;
  testing::writeBytes(dir.file("renamed.mdb"), jetMagicNewVersion);
  EXPECT_THAT(openFailure(dir.file("renamed.mdb")), HasSubstr("Access 2007 or later"));
}

TEST(JetBadFilesTest, EncryptedAndPasswordProtectedFilesAreRefused) {
  TempDir dir;
  // The header's fields lie under a fixed XOR stream, so flipping a stored bit flips the
  // field's bit.
  auto encrypted = consistent();
  encrypted[0x3E] ^= 0x5A;
  testing::writeBytes(dir.file("encrypted.mdb"), encrypted);
  EXPECT_THAT(openFailure(dir.file("encrypted.mdb")), HasSubstr("is encrypted"));

  auto password = consistent();
  password[0x42] ^= 'p';
  testing::writeBytes(dir.file("password.mdb"), password);
  EXPECT_THAT(openFailure(dir.file("password.mdb")), HasSubstr("protected by a database password"));

  auto jet3 = testing::readBytes(testing::fixture("jet-samples/testV1997.mdb"));
  jet3[0x42 + 19] ^= 'z';
  testing::writeBytes(dir.file("password97.mdb"), jet3);
  EXPECT_THAT(openFailure(dir.file("password97.mdb")),
              HasSubstr("protected by a database password"));
}

TEST(JetBadFilesTest, CutShortFilesAreReportedAsTruncated) {
  TempDir dir;
  const auto whole = consistent();
  auto cut = [&](std::size_t size) {
    testing::writeBytes(dir.file("cut.mdb"),
                        std::vector<std::uint8_t>(whole.begin(), whole.begin() + size));
    return openFailure(dir.file("cut.mdb"));
  };
  EXPECT_THAT(cut(100), HasSubstr("is truncated"));
  EXPECT_THAT(cut(4096 * 2), HasSubstr("is truncated"));
  EXPECT_THAT(cut(whole.size() - 1), HasSubstr("not a whole number of 4096-byte pages"));
  // Whole pages, but the tables' pages are gone.
  EXPECT_THAT(cut(whole.size() / 4096 / 2 * 4096), HasSubstr("is truncated"));
  EXPECT_THAT(cut(whole.size() - 4096), HasSubstr("is truncated"));
}

TEST(JetBadFilesTest, APageMapPointerToAMissingRowIsRefusedBeforeLibmdbFollowsIt) {
  // One flipped byte in table AccInformation's definition (page 29) makes its page-map pointer
  // name row 44 of a page with a few rows; mdb-export crashes on this copy.
  TempDir dir;
  auto damaged = consistent();
  damaged[29 * 4096 + 55] ^= 44;
  testing::writeBytes(dir.file("map.mdb"), damaged);
  EXPECT_THAT(openFailure(dir.file("map.mdb")),
              HasSubstr("damaged: the page map of table AccInformation is missing"));
}

}  // namespace
}  // namespace leafward::jet
