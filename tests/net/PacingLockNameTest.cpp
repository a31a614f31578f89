// A key's pacing lock is named by a digest keyed with the directory's own salt: the same for
// every process using the directory and the key, unlike any other key's, and no help to anyone
// testing guesses of the key without the salt.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "net/PacingLockName.h"
#include "net/Signature.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

constexpr const char* kKey = "office-key-7d1e";

TEST(PacingLockNameTest, OneDirectoryAndKeyNameOneFileNamedWithoutTheKey) {
  CTempDir dir;
  const mode_t old_mask = ::umask(022);
  const std::string lock = PacingLockPath(dir.Path(), "Larkspire_odp_", kKey);
  ::umask(old_mask);
  ASSERT_NE(lock, "");
  EXPECT_EQ(lock, PacingLockPath(dir.Path(), "Larkspire_odp_", kKey));
  EXPECT_NE(lock, PacingLockPath(dir.Path(), "Larkspire_odp_", "another key"));
  EXPECT_EQ(lock.find(kKey), std::string::npos);
  // Not the plain digest of the key, which anyone could compute from a guess.
  EXPECT_EQ(lock.find(Sha256Hex(kKey).substr(0, 16)), std::string::npos);
  // The salt is shared with the directory's other users, whole.
  const std::string salt = dir.File(kPacingSaltFileName);
  struct stat st {};
  ASSERT_EQ(::lstat(salt.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(st.st_size, 65);
  // Another directory has a salt of its own.
  CTempDir other;
  EXPECT_NE(PacingLockPath(other.Path(), "Larkspire_odp_", kKey).substr(other.Path().size()),
            lock.substr(dir.Path().size()));
  EXPECT_EQ(PacingLockPath("", "Larkspire_odp_", kKey), "");
}

TEST(PacingLockNameTest, ASaltThatIsALinkOrNotASaltIsNotUsed) {
  CTempDir dir;
  const std::string salt = dir.File(kPacingSaltFileName);
  const std::string chosen = dir.File("chosen");
  ASSERT_TRUE(SaveFileAtomically(chosen, std::string(64, 'a') + "\n"));
  ASSERT_EQ(::symlink(chosen.c_str(), salt.c_str()), 0);
  EXPECT_EQ(PacingLockPath(dir.Path(), "Larkspire_odp_", kKey), "");
  ASSERT_TRUE(RemoveFile(salt));
  ASSERT_TRUE(SaveFileAtomically(salt, "short\n"));
  EXPECT_EQ(PacingLockPath(dir.Path(), "Larkspire_odp_", kKey), "");
}

TEST(PacingLockNameTest, TheKeyedDigestIsHmacSha256) {
  // RFC 4231, test case 2.
  EXPECT_EQ(HmacSha256Hex("Jefe", "what do ya want for nothing?"),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

}  // namespace
}  // namespace larkspire
