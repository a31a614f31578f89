// Files written without a flush of their own and flushed together, and telling a file changed
// in place or rewritten from the one seen before.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

std::string Contents(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

TEST(DurableFilesTest, WriteFreshFileReplacesWhateverTheNameHeld) {
  CTempDir dir;
  const std::string path = dir.File("Larkspire_s1111111.tmp");
  ASSERT_TRUE(WriteFreshFile(path, "first"));
  EXPECT_EQ(Contents(path), "first");
  ASSERT_TRUE(WriteFreshFile(path, "second, longer"));
  EXPECT_EQ(Contents(path), "second, longer");
  // A link planted under the name is replaced, never written through.
  const std::string target = dir.File("elsewhere.txt");
  ASSERT_TRUE(WriteFreshFile(target, "untouched"));
  ASSERT_EQ(::unlink(path.c_str()), 0);
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
  ASSERT_TRUE(WriteFreshFile(path, "third"));
  EXPECT_EQ(Contents(path), "third");
  EXPECT_EQ(Contents(target), "untouched");
  EXPECT_FALSE(WriteFreshFile(dir.File("missing/Larkspire_s2.tmp"), "x"));
}

TEST(DurableFilesTest, FlushToDiskTakesAFewFilesOneByOneAndManyTogether) {
  for (std::size_t count : {std::size_t{1}, kFlushOneByOneMax, kFlushOneByOneMax + 1}) {
    CTempDir dir;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < count; ++i) {
      paths.push_back(dir.File("m" + std::to_string(i)));
      ASSERT_TRUE(WriteFreshFile(paths.back(), "bytes"));
    }
    EXPECT_TRUE(FlushToDisk(paths)) << count << " files";
    // A file that is not there cannot be made durable, either way.
    paths.push_back(dir.File("gone"));
    EXPECT_FALSE(FlushToDisk(paths)) << count << " files and a missing one";
  }
  EXPECT_TRUE(FlushToDisk({}));
}

TEST(DurableFilesTest, FileIdentityTellsAppendsAndRewritesApart) {
  CTempDir dir;
  const std::string path = dir.File("Larkspire_pending.tmp");
  EXPECT_FALSE(FileIdentityOf(path));
  EXPECT_FALSE(CanReadFile(path));
  ASSERT_TRUE(AppendToFile(path, "a\r\n"));
  const std::optional<FileIdentity> first = FileIdentityOf(path);
  ASSERT_TRUE(first);
  EXPECT_EQ(FileIdentityOf(path), first) << "unchanged";
  EXPECT_TRUE(CanReadFile(path));
  ASSERT_TRUE(AppendToFile(path, "b\r\n"));
  const std::optional<FileIdentity> appended = FileIdentityOf(path);
  ASSERT_TRUE(appended);
  EXPECT_NE(appended, first);
  EXPECT_EQ(appended->inode, first->inode);
  // Rewritten whole to the very same size: another file.
  ASSERT_TRUE(SaveFileAtomically(path, "c\r\nd\r\n"));
  const std::optional<FileIdentity> rewritten = FileIdentityOf(path);
  ASSERT_TRUE(rewritten);
  EXPECT_EQ(rewritten->size, appended->size);
  EXPECT_NE(rewritten, appended);
  EXPECT_FALSE(CanReadFile(dir.Path())) << "a directory is no file to read";
}

}  // namespace
}  // namespace larkspire
