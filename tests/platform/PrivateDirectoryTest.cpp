// Where files nobody else may swap are kept: only a directory of this user's alone, on a path
// no other user can change.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include "platform/Files.h"
#include "platform/PrivateDirectory.h"
#include "support/ScopedVariable.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PrivateDirectoryTest, OnlyADirectoryNobodyElseCanChangeIsTheUsersAlone) {
  CTempDir dir;
  struct Case {
    const char* name;
    mode_t parent_mode;
    mode_t mode;
    bool alone;
  };
  const Case cases[] = {
      {"private in a private parent", 0700, 0700, true},
      {"private in a readable parent", 0755, 0700, true},
      {"readable by others", 0700, 0755, false},
      {"group may write the parent", 0770, 0700, false},
      {"others may write the parent (no sticky bit)", 0777, 0700, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string parent = dir.File(std::to_string(&c - cases));
    const std::string place = JoinPath(parent, "place");
    ASSERT_TRUE(MakeDirectories(place));
    ASSERT_EQ(::chmod(place.c_str(), c.mode), 0);
    ASSERT_EQ(::chmod(parent.c_str(), c.parent_mode), 0);
    EXPECT_EQ(IsUsersAlone(place), c.alone);
  }
  EXPECT_FALSE(IsUsersAlone(dir.File("missing")));
  ASSERT_TRUE(SaveFileAtomically(dir.File("file"), "x"));
  EXPECT_FALSE(IsUsersAlone(dir.File("file")));
}

TEST(PrivateDirectoryTest, ARuntimeDirectoryNotTheUsersAloneGivesWayToTheCache) {
  CTempDir dir;
  const std::string runtime = dir.File("runtime");
  ASSERT_TRUE(MakeDirectories(runtime));
  const CScopedVariable cache("XDG_CACHE_HOME", dir.File("cache"));
  {
    ASSERT_EQ(::chmod(runtime.c_str(), 0700), 0);
    const CScopedVariable variable("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(UserPrivateDirectory(true), runtime);
  }
  ASSERT_EQ(::chmod(runtime.c_str(), 0777), 0);
  const CScopedVariable variable("XDG_RUNTIME_DIR", runtime);
  const std::string own = JoinPath(dir.File("cache"), "Larkspire");
  EXPECT_EQ(UserPrivateDirectory(false), "");
  EXPECT_FALSE(FileExists(own));
  EXPECT_EQ(UserPrivateDirectory(true), own);
  EXPECT_EQ(ModeOf(dir.File("cache")), 0700u);
  // One an older umask left open is closed again.
  ASSERT_EQ(::chmod(own.c_str(), 0755), 0);
  EXPECT_EQ(UserPrivateDirectory(false), own);
  EXPECT_EQ(ModeOf(own), 0700u);
}

}  // namespace
}  // namespace larkspire
