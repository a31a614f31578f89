// A program held open starts as the file that was opened, whatever its name stands for by then.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Files.h"
#include "platform/HeldProgram.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class HeldProgramTest : public ::testing::Test {
 protected:
  // A script that writes what it is into the file its environment names.
  std::string Script(const std::string& what) {
    return "#!/bin/sh\necho " + what + " > \"$LARKSPIRE_TEST_MARK\"\n";
  }
  // Waits for the started program's mark (a start is detached: nothing to wait on but that).
  std::string Mark() {
    std::string text;
    for (int i = 0; i < 3000 && !(ReadWholeFile(mark_, text) && !text.empty()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
  }

  CTempDir dir_;
  const std::string program_ = dir_.File("program");
  const std::string mark_ = dir_.File("mark");
};

TEST_F(HeldProgramTest, TheFileOpenedStartsEvenWhenItsNameIsReplaced) {
  ASSERT_TRUE(CreateNewFile(program_, Script("checked"), 0700));
  const CHeldProgram held(program_);
  ASSERT_TRUE(held.IsOpen());
  std::string bytes;
  ASSERT_TRUE(held.ReadBytes(bytes));
  EXPECT_EQ(bytes, Script("checked"));
  // Another file put under the name after the check.
  ASSERT_TRUE(CreateNewFile(dir_.File("other"), Script("replaced"), 0700));
  ASSERT_EQ(::rename(dir_.File("other").c_str(), program_.c_str()), 0);

  ::setenv("LARKSPIRE_TEST_MARK", mark_.c_str(), 1);
  ASSERT_TRUE(held.StartDetached());
  ::unsetenv("LARKSPIRE_TEST_MARK");
  EXPECT_EQ(Mark(), "checked\n");
}

TEST_F(HeldProgramTest, WhatCannotBeOpenedOrRunIsReportedNotStarted) {
  ASSERT_EQ(::symlink(dir_.File("target").c_str(), program_.c_str()), 0);
  ASSERT_TRUE(CreateNewFile(dir_.File("target"), Script("target"), 0700));
  const CHeldProgram link(program_);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(link.StartDetached());

  ASSERT_TRUE(CreateNewFile(dir_.File("plain"), "not a program", 0600));
  const CHeldProgram plain(dir_.File("plain"));
  ASSERT_TRUE(plain.IsOpen());
  EXPECT_FALSE(plain.StartDetached());
}

}  // namespace
}  // namespace larkspire
