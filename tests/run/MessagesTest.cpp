// What the run shows the user: failures carry the warning icon, other messages the default one;
// without a display a message goes to standard error as UTF-8 and to the log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Files.h"
#include "run/Run.h"
#include "run/Terminal.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() { run_.SetUi(&ui_); }
  ~MessagesTest() override { run_.SetUi(nullptr); }

  CMemorySettingsBackend backend_;
  CRun run_{backend_, "/nonexistent/larkspire"};
  CScriptedUi ui_;
};

TEST_F(MessagesTest, FailuresShowTheWarningIconUnderTheirTitle) {
  run_.ShowError("Download Failed", "HttpGet: HTTP Get Failed. (404 Not Found)");
  run_.MessageBox("E-mail was sent successfully.");
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].caption, "Larkspire\xAE - Download Failed");
  EXPECT_EQ(ui_.messages[0].text, "HttpGet: HTTP Get Failed. (404 Not Found)");
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(ui_.messages[1].icon, MsgIcon::kDefault);
}

TEST_F(MessagesTest, TerminalTextIsUtf8) {
  CTempDir dir;
  const std::string path = dir.File("out.txt");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  PrintLine(file, "Larkspire\xAE - Caf\xE9 \x80 5");
  std::fclose(file);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "Larkspire\xC2\xAE - Caf\xC3\xA9 \xE2\x82\xAC 5\n");
}

}  // namespace
}  // namespace larkspire
