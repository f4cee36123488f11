// What the rest of Leafward relies on from the platform layer, on every system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file.h"
#include "platform/folders.h"
#include "platform/local_time.h"
#include "platform/lock_wait.h"
#include "platform/process.h"
#include "platform/user_account.h"
#include "support/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace leafward::platform {
namespace {

namespace fs = std::filesystem;

// Paths as the platform layer takes them (UTF-8), and back.
std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path pathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// Leafward's locks keep its readers and writer apart without getting in the way of reading and
// writing the database itself, which Access goes on doing meanwhile.
TEST(PlatformFileTest, LocksExcludeEachOtherButNotReadsAndWrites) {
  testing::FixtureCopy copy("worked-example.mdb");
  File writer = File::open(copy.path(), FileAccess::ReadWrite);
  File reader = File::open(copy.path(), FileAccess::Read);
  ASSERT_TRUE(writer.tryLock(LockKind::Exclusive));
  EXPECT_FALSE(reader.tryLock(LockKind::Shared));
  std::vector<std::uint8_t> page(4096);
  EXPECT_EQ(reader.readAt(0, page), page.size());
  writer.writeAt(4096, page);
  writer.unlock();

  File other = File::open(copy.path(), FileAccess::Read);
  ASSERT_TRUE(reader.tryLock(LockKind::Shared));
  EXPECT_TRUE(other.tryLock(LockKind::Shared));
  EXPECT_FALSE(writer.tryLock(LockKind::Exclusive));
  writer.writeAt(4096, page);
  reader.close();
  other.unlock();
  EXPECT_TRUE(writer.tryLock(LockKind::Exclusive));
}

// A writer that waits for the readers already in keeps new ones out, so that readers one after
// the other can never keep it waiting; once it gives up, they come in again.
TEST(PlatformFileTest, AWaitingWriterKeepsNewReadersOut) {
  testing::FixtureCopy copy("worked-example.mdb");
  File first = File::open(copy.path(), FileAccess::Read);
  File second = File::open(copy.path(), FileAccess::Read);
  File writer = File::open(copy.path(), FileAccess::ReadWrite);
  ASSERT_TRUE(first.tryLock(LockKind::Shared));
  EXPECT_FALSE(writer.tryLock(LockKind::Exclusive));
  EXPECT_FALSE(second.tryLock(LockKind::Shared));
  first.unlock();
  EXPECT_TRUE(writer.tryLock(LockKind::Exclusive));
  writer.unlock();
  ASSERT_TRUE(second.tryLock(LockKind::Shared));
  EXPECT_FALSE(waitForLock(writer, LockKind::Exclusive, std::chrono::milliseconds(20)));
  EXPECT_TRUE(first.tryLock(LockKind::Shared));
}

TEST(PlatformFileTest, NamesInChineseWork) {
  testing::TempDir dir;
  const fs::path folder = dir.path() / fs::path(u8"账套 2024");
  fs::create_directory(folder);
  const std::string path = utf8(folder / fs::path(u8"科目.mdb"));
  {
    File created = File::createNew(path);
    created.writeAt(0, std::vector<std::uint8_t>{1, 2, 3});
    created.sync();
    EXPECT_THROW(File::createNew(path), SystemError);
  }
  EXPECT_TRUE(pathExists(path));
  {
    // A read across the end gives what is there; one past it, nothing.
    const File opened = File::open(path, FileAccess::Read);
    EXPECT_EQ(opened.size(), 3u);
    std::vector<std::uint8_t> bytes(8, 0xEE);
    EXPECT_EQ(opened.readAt(1, bytes), 2u);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(opened.readAt(3, bytes), 0u);
    EXPECT_EQ(opened.readAt(4096, bytes), 0u);
  }
  EXPECT_EQ(canonicalPath(utf8(folder / ".." / fs::path(u8"账套 2024") / fs::path(u8"科目.mdb"))),
            canonicalPath(path));
  EXPECT_EQ(utf8(pathOf(canonicalPath(path)).filename()), "科目.mdb");
  EXPECT_FALSE(markedReadOnly(path));
  fs::permissions(pathOf(path),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_TRUE(markedReadOnly(path));
  fs::permissions(pathOf(path), fs::perms::owner_write, fs::perm_options::add);
  syncFolder(utf8(folder));
  EXPECT_TRUE(removeFile(path));
  EXPECT_FALSE(removeFile(path));
  EXPECT_FALSE(pathExists(path));
  EXPECT_THROW(canonicalPath(path), SystemError);
}

// Folders made with every missing one above, found again however the path is spelt; a file in
// the way is refused.
TEST(PlatformFoldersTest, FoldersAreMadeAllTheWayDown) {
  testing::TempDir dir;
  const std::string deep = childPath(childPath(utf8(dir.path()), "账套"), "a/b");
  createFolders(deep);
  createFolders(deep + "/");
  EXPECT_TRUE(fs::is_directory(pathOf(deep)));
  const std::string file = childPath(utf8(dir.path()), "file");
  testing::writeBytes(file, {'x'});
  EXPECT_THROW(createFolders(file), SystemError);
  EXPECT_THROW(createFolders(childPath(file, "below")), SystemError);
  EXPECT_EQ(parentFolder(childPath("folder", "name")), "folder");
}

// Who and when, as a record of repairs writes them down.
TEST(PlatformUserTest, TheUserTheComputerAndTheLocalTime) {
  EXPECT_FALSE(userName().empty());
  EXPECT_FALSE(computerName().empty());
  const LocalTime now = localTimeNow();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond < 1000);
  EXPECT_LE(std::abs(now.utcOffsetMinutes), 14 * 60);
  const std::string folder = repairRecordFolder();
#ifdef _WIN32
  EXPECT_TRUE(folder.ends_with("\\Leafward\\repairs")) << folder;
#else
  EXPECT_TRUE(folder.ends_with("/leafward/repairs")) << folder;
#endif
}

// Arguments reach the program exactly as given, spaces, quotes, backslashes and Chinese alike
// (Windows passes one command line that the program takes apart again).
TEST(PlatformProcessTest, ArgumentsArriveAsGiven) {
  for (const std::string argument : {"x \"y\\\" z\\", "\\\\server\\share\\", "科目 2024", "\""}) {
    const ProcessRun run = runProcess({LEAFWARD_CLI, argument}, {{}, true, {}});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(run.killed);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
              "leafward-cli: unknown command '" + argument + "'")
        << run.err;
  }
}

#ifdef _WIN32
// While Leafward writes, no other program may open the file for writing; and it does not write
// a file that another program (Access, the accounting program) has open for writing. Readers
// on either side are welcome.
TEST(PlatformFileTest, AWriterAndAnotherProgramsWriterExcludeEachOther) {
  testing::FixtureCopy copy("worked-example.mdb");
  const std::wstring path = fs::path(copy.path()).wstring();
  const auto openOther = [&](DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const auto failureOfOpening = [&](FileAccess access) {
    try {
      File::open(copy.path(), access);
    } catch (const SystemError& error) {
      return error.failure();
    }
    return Failure::Other;
  };
  {
    File writer = File::open(copy.path(), FileAccess::ReadWrite);
    EXPECT_EQ(openOther(GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(failureOfOpening(FileAccess::ReadWrite), Failure::InUse);
    const HANDLE reader = openOther(GENERIC_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    File::open(copy.path(), FileAccess::Read);
  }
  const HANDLE other = openOther(GENERIC_READ | GENERIC_WRITE);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(failureOfOpening(FileAccess::ReadWrite), Failure::InUse);
  File reader = File::open(copy.path(), FileAccess::Read);
  CloseHandle(other);
  File::open(copy.path(), FileAccess::ReadWrite);
}

TEST(PlatformFileTest, WindowsPathsHaveTheirOwnFolders) {
  EXPECT_EQ(parentFolder("C:\\data\\a.mdb"), "C:\\data");
  EXPECT_EQ(parentFolder("C:\\a.mdb"), "C:\\");
  EXPECT_EQ(parentFolder("C:a.mdb"), "C:");
  EXPECT_EQ(parentFolder("\\\\server\\share\\a.mdb"), "\\\\server\\share");
  EXPECT_EQ(parentFolder("data/a.mdb"), "data");
  EXPECT_EQ(parentFolder("a.mdb"), ".");
}
#endif

}  // namespace
}  // namespace leafward::platform
