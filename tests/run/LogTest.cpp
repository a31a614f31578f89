#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
