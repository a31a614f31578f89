// The file helpers in a directory other users may write: links and pipes planted there are
// never read or written through, new files follow the user's umask, and whole-file rewrites
// leave nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/CappedRead.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(dir)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SaveFileAtomically(dir_.File("target"), "someone else's file"));
    ASSERT_EQ(::symlink(dir_.File("target").c_str(), dir_.File("link").c_str()), 0);
    ASSERT_EQ(::symlink(dir_.File("nowhere").c_str(), dir_.File("dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0666), 0);
  }
  void ExpectTargetUntouched() {
    EXPECT_EQ(Read(dir_.File("target")), "someone else's file");
    EXPECT_FALSE(FileExists(dir_.File("nowhere")));
  }

  CTempDir dir_;
};

TEST_F(FilesTest, NewFilesTakeTheUmaskAndExistingOnesKeepTheirPermissions) {
  const struct {
    mode_t umask;
    mode_t created;
  } cases[] = {{077, 0600}, {027, 0640}, {022, 0644}, {002, 0664}};
  for (const auto& c : cases) {
    ScopedUmask mask(c.umask);
    const std::string saved = dir_.File("saved" + std::to_string(c.umask));
    const std::string appended = dir_.File("appended" + std::to_string(c.umask));
    ASSERT_TRUE(SaveFileAtomically(saved, "new"));
    ASSERT_TRUE(AppendToFile(appended, "new"));
    EXPECT_EQ(ModeOf(saved), c.created) << std::oct << c.umask;
    EXPECT_EQ(ModeOf(appended), c.created) << std::oct << c.umask;
  }
  // The owner's own choice survives a rewrite under any umask.
  const std::string kept = dir_.File("kept");
  ASSERT_TRUE(SaveFileAtomically(kept, "old"));
  ASSERT_EQ(::chmod(kept.c_str(), 0660), 0);
  ScopedUmask strict(077);
  ASSERT_TRUE(SaveFileAtomically(kept, "new"));
  EXPECT_EQ(ModeOf(kept), 0660u);
  EXPECT_EQ(Read(kept), "new");
}

TEST_F(FilesTest, AFileKeptOpenForAppendingFollowsItsNameToWhateverFileItNowStandsFor) {
  const std::string path = dir_.File("kept.log");
  CAppendFile file;
  const auto append = [&](const std::string& at, std::string_view bytes) {
    return file.Append(at, FileIdentityOf(at), bytes);
  };
  ASSERT_TRUE(append(path, "a"));
  ASSERT_TRUE(append(path, "b"));
  EXPECT_EQ(Read(path), "ab");
  // Another writer replaced it whole: the appends go to the new file, not the one let go of.
  ASSERT_TRUE(SaveFileAtomically(path, "cut:"));
  ASSERT_TRUE(append(path, "c"));
  EXPECT_EQ(Read(path), "cut:c");
  // Removed: it is made again.
  ASSERT_TRUE(RemoveFile(path));
  ASSERT_TRUE(append(path, "d"));
  EXPECT_EQ(Read(path), "d");
  // Another name, and back.
  const std::string other = dir_.File("other.log");
  ASSERT_TRUE(append(other, "e"));
  ASSERT_TRUE(append(path, "f"));
  EXPECT_EQ(Read(other), "e");
  EXPECT_EQ(Read(path), "df");
  // A planted link is never written through, kept open or not.
  for (const char* name : {"link", "fifo"}) {
    EXPECT_FALSE(append(dir_.File(name), "appended")) << name;
  }
}

TEST_F(FilesTest, PlantedLinksAndPipesAreNeitherReadNorWrittenThrough) {
  for (const char* name : {"link", "dangling", "fifo"}) {
    std::string bytes = "before";
    errno = 0;
    EXPECT_FALSE(ReadWholeFile(dir_.File(name), bytes)) << name;
    EXPECT_EQ(errno, std::string(name) == "fifo" ? EINVAL : ELOOP) << name;
    EXPECT_EQ(bytes, "") << name;
    EXPECT_FALSE(AppendToFile(dir_.File(name), "appended")) << name;
    EXPECT_EQ(OpenRegularFile(dir_.File(name), O_RDONLY), -1) << name;
    EXPECT_FALSE(CreateNewFile(dir_.File(name), "created", 0600)) << name;
    EXPECT_EQ(errno, EEXIST) << name;
    EXPECT_TRUE(FileExists(dir_.File(name))) << name;
  }
  std::string bytes;
  EXPECT_FALSE(ReadWholeFile(dir_.Path(), bytes));
  EXPECT_EQ(errno, EISDIR);
  ExpectTargetUntouched();
  // The size the log's cut looks at is the link's own, never its target's.
  EXPECT_EQ(FileSize(dir_.File("link")), static_cast<int64_t>(dir_.File("target").size()));
}

TEST_F(FilesTest, ARewriteReplacesAPlantedLinkItselfAndLeavesNoTemporary) {
  for (const char* name : {"link", "dangling"}) {
    ASSERT_TRUE(SaveFileAtomically(dir_.File(name), "our bytes")) << name;
    EXPECT_EQ(Read(dir_.File(name)), "our bytes") << name;
  }
  ExpectTargetUntouched();
  EXPECT_EQ(Names(dir_.Path()), (std::vector<std::string>{"dangling", "fifo", "link", "target"}));
}

TEST_F(FilesTest, AFailedRewriteSaysWhyAndKeepsTheOldFile) {
  ASSERT_TRUE(MakeDirectories(dir_.File("occupied")));
  errno = 0;
  EXPECT_FALSE(SaveFileAtomically(dir_.File("occupied"), "bytes"));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_FALSE(SaveFileAtomically(dir_.File("missing/file"), "bytes"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_TRUE(IsDirectory(dir_.File("occupied")));
  EXPECT_EQ(Names(dir_.Path()),
            (std::vector<std::string>{"dangling", "fifo", "link", "occupied", "target"}));
}

TEST_F(FilesTest, NewFilesAndPrivateDirectoriesAreMadeNewWithTheirOwnPermissions) {
  ScopedUmask loose(0);
  const std::string first = MakePrivateDirectory(dir_.Path(), "private.");
  const std::string second = MakePrivateDirectory(dir_.Path(), "private.");
  ASSERT_NE(first, "");
  ASSERT_NE(second, "");
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(dir_.File("private."), 0), 0u);
  EXPECT_EQ(first.size(), dir_.File("private.").size() + 6);
  EXPECT_EQ(ModeOf(first), 0700u);
  EXPECT_EQ(MakePrivateDirectory(dir_.File("missing"), "private."), "");

  const std::string program = JoinPath(first, "program");
  ASSERT_TRUE(CreateNewFile(program, "program bytes", 0700));
  EXPECT_EQ(ModeOf(program), 0700u);
  EXPECT_EQ(Read(program), "program bytes");
  EXPECT_FALSE(CreateNewFile(program, "other bytes", 0700));
  EXPECT_EQ(Read(program), "program bytes");
}

TEST(CappedReadTest, AFileOverTheLimitIsRefusedByItsSizeAndNothingIsRead) {
  CTempDir dir;
  const std::size_t limit = 100000;
  const struct {
    off_t size;
    FileRead result;
  } cases[] = {{0, FileRead::kRead},
               {1, FileRead::kRead},
               {static_cast<off_t>(limit), FileRead::kRead},
               {static_cast<off_t>(limit) + 1, FileRead::kTooLarge},
               // Sparse: its size is refused without a byte of it read.
               {off_t{1} << 40, FileRead::kTooLarge}};
  for (const auto& c : cases) {
    const std::string path = dir.File("file.csv");
    ASSERT_TRUE(SaveFileAtomically(path, ""));
    ASSERT_EQ(::truncate(path.c_str(), c.size), 0);
    std::string bytes = "before";
    EXPECT_EQ(ReadFileUpTo(path, limit, bytes), c.result) << c.size;
    EXPECT_EQ(bytes.size(), c.result == FileRead::kRead ? static_cast<std::size_t>(c.size) : 0u)
        << c.size;
  }
  std::string bytes = "before";
  EXPECT_EQ(ReadFileUpTo(dir.File("missing.csv"), limit, bytes), FileRead::kFailed);
  EXPECT_EQ(bytes, "");
}

}  // namespace
}  // namespace larkspire
