#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "run/Log.h"
#include "run/Settings.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class LogTest : public ::testing::Test {
 protected:
  CTempDir dir_;
  CMemorySettingsBackend backend_;
  CSetting log_dir_{backend_, "LogDir"};
  CLog log_{log_dir_};

  std::string Contents() {
    std::string bytes;
    ReadWholeFile(log_.Path(), bytes);
    return bytes;
  }
  // How many of the process's descriptors are open on the log's name (or a file it named
  // before it was replaced).
  int OpenOnTheLog() {
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
      if (!error && target.rfind(log_.Path(), 0) == 0) ++count;
    }
    return count;
  }
};

TEST_F(LogTest, RecordsAreUtcStampedWithCrLf) {
  log_dir_.Set(dir_.Path());
  log_.Write("Update '%s'\n", "http://h/x");
  std::string bytes = Contents();
  ASSERT_EQ(bytes.size(), 21u + 21u);
  EXPECT_EQ(bytes.substr(19, 2), "> ");
  EXPECT_EQ(bytes.substr(21), "Update 'http://h/x'\r\n");
  EXPECT_EQ(bytes[4], '-');
  EXPECT_EQ(bytes[13], ':');
}

// Records carry page and server text (a proxy's bold text, a status line): a line break in it
// must not start a line that looks like a record of its own, in the log or in the problem
// report that carries the log.
TEST_F(LogTest, ControlBytesInARecordAreEscapedSoEachRecordIsOneLine) {
  log_dir_.Set(dir_.Path());
  log_.Write("%s '%s'\n", "Webpage Read(s) Failed",
             "Proxy timeout\r\n2026-01-01 00:00:00> Update Master List Succeeded");
  const char kRecord[] = "Update error 'a\tb\\c\0d\x1b'\n";
  log_.WriteText(std::string(kRecord, sizeof kRecord - 1));
  log_.WriteText("no line end\n\n");
  const std::string bytes = Contents();
  const std::vector<std::string> expected = {
      "Webpage Read(s) Failed 'Proxy timeout\\r\\n2026-01-01 00:00:00> Update Master List "
      "Succeeded'",
      "Update error 'a\\0x09b\\\\c\\0x00d\\0x1b'",
      "no line end\\n",
  };
  std::vector<std::string> records;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    records.push_back(bytes.substr(start + 21, end - start - 21));
  }
  EXPECT_EQ(start, bytes.size());
  EXPECT_EQ(records, expected);
}

TEST_F(LogTest, NoDirectoryOrUnwritableDirectoryLogsNothing) {
  log_.Write("dropped\n");  // empty LogDir
  EXPECT_EQ(log_.Path(), "");
  log_dir_.Set(dir_.Path() + "/missing/deeper");
  log_.Write("dropped\n");
  EXPECT_FALSE(FileExists(log_.Path()));
}

TEST_F(LogTest, CutsOnlyAboveOneHundredThousandBytes) {
  log_dir_.Set(dir_.Path());
  for (std::size_t size : {100000u, 100001u}) {
    // Lines of 100 bytes with CR LF; the byte before the tail carries a "%" to show it is
    // copied, not formatted.
    std::string text;
    while (text.size() + 100 <= size) text += std::string(97, 'a') + "%\r\n";
    text += std::string(size - text.size(), 'b');
    ASSERT_TRUE(SaveFileAtomically(log_.Path(), text));
    log_.Write("next\n");
    std::string bytes = Contents();
    if (size == 100000u) {
      EXPECT_EQ(bytes.substr(0, size), text);
    } else {
      const std::string head = "--log discarded before here--\r\n";
      ASSERT_EQ(bytes.compare(0, head.size(), head), 0);
      std::string kept = FromTextMode(bytes.substr(head.size()));
      // 10000 characters of the old text (CR LF read as LF), then the new record.
      std::string old_text = FromTextMode(text);
      EXPECT_EQ(kept.substr(0, 10000), old_text.substr(old_text.size() - 10000));
      EXPECT_NE(kept.find('%'), std::string::npos);
      EXPECT_EQ(kept.substr(kept.size() - 5), "next\n");
      EXPECT_NE(bytes.find("%\r\n"), std::string::npos);
    }
  }
}

TEST_F(LogTest, KeptOpenOnlyWithinAScopeAndAlwaysAppendingToTheFileTheNameStandsFor) {
  log_dir_.Set(dir_.Path());
  log_.Write("idle\n");
  EXPECT_EQ(OpenOnTheLog(), 0);
  {
    CLogKeptOpen kept(log_);
    log_.Write("first\n");
    EXPECT_EQ(OpenOnTheLog(), 1);
    // Another instance replaced the file whole: the next record goes into the new one.
    ASSERT_TRUE(SaveFileAtomically(log_.Path(), "other\r\n"));
    log_.Write("second\n");
    EXPECT_EQ(Contents().substr(0, 7), "other\r\n");
    EXPECT_EQ(Contents().substr(Contents().size() - 8), "second\r\n");
    // Past the size limit: the record goes into the file the cut leaves.
    ASSERT_TRUE(SaveFileAtomically(log_.Path(), std::string(100001, 'x')));
    log_.Write("third\n");
    EXPECT_EQ(Contents().rfind("--log discarded before here--\r\n", 0), 0u);
    EXPECT_EQ(Contents().substr(Contents().size() - 7), "third\r\n");
    EXPECT_EQ(OpenOnTheLog(), 1);
  }
  EXPECT_EQ(OpenOnTheLog(), 0);
}

TEST_F(LogTest, APlantedLinkIsNeitherAppendedToNorCut) {
  log_dir_.Set(dir_.Path());
  // A large target, so a cut would read and rewrite it if the link were followed.
  const std::string target = dir_.File("target");
  const std::string big(150000, 't');
  ASSERT_TRUE(SaveFileAtomically(target, big));
  ASSERT_EQ(::symlink(target.c_str(), log_.Path().c_str()), 0);
  log_.Write("planted\n");
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, big);
  struct stat st {};
  ASSERT_EQ(::lstat(log_.Path().c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace
}  // namespace larkspire
