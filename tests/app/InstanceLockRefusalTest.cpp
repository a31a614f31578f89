// What the start says about the instance lock: nothing when the run holds it or there is no
// logging directory to guard, and a message that ends the run when another instance holds it
// or when no lock can be had at all (the run never goes on unlocked).
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/AppCore.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"

namespace larkspire {
namespace {

class InstanceLockRefusalTest : public ::testing::Test {
 protected:
  std::string AcquireIn(const std::string& log_dir) {
    app_->Settings().LogDir.Set(log_dir);
    return app_->AcquireInstanceLock();
  }
  std::string LockFile() const { return dir_.File(kLockFileName); }

  CTempDir dir_;
  CTestAppCore app_;
};

TEST_F(InstanceLockRefusalTest, WithoutADirectoryToGuardTheRunGoesOn) {
  EXPECT_EQ(AcquireIn(""), "");
  EXPECT_EQ(AcquireIn(dir_.File("not/made/yet")), "");
}

TEST_F(InstanceLockRefusalTest, TheHolderGoesOnAndASecondInstanceIsRefused) {
  EXPECT_EQ(AcquireIn(dir_.Path()), "");
  CTestAppCore second;
  second->Settings().LogDir.Set(dir_.Path());
  EXPECT_EQ(second->AcquireInstanceLock(), "Only one instance of larkspire may be run at a time.");
  app_->ReleaseInstanceLock();
  EXPECT_EQ(second->AcquireInstanceLock(), "");
}

TEST_F(InstanceLockRefusalTest, ALockFileThatCannotBeOpenedEndsTheRunWithTheReason) {
  ASSERT_TRUE(SaveFileAtomically(dir_.File("elsewhere"), ""));
  ASSERT_EQ(::symlink(dir_.File("elsewhere").c_str(), LockFile().c_str()), 0);
  EXPECT_EQ(AcquireIn(dir_.Path()),
            "The logging directory cannot be locked, so another copy of larkspire could use it "
            "at the same time:\n\n" +
                LockFile() +
                ": Too many levels of symbolic links\n\nThe lock file must be a plain file that "
                "every user of the directory can open.");
}

}  // namespace
}  // namespace larkspire
