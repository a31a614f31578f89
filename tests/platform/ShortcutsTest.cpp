#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/Shortcuts.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

TEST(ShortcutsTest, ExecQuotesOnlyWhatTheDesktopEntryRulesNeed) {
  struct Case {
    const char* target;
    const char* arguments;
    const char* exec;
  };
  const Case cases[] = {
      {"/opt/larkspire/larkspire", "", "/opt/larkspire/larkspire"},
      {"/opt/larkspire/larkspire", "-auto", "/opt/larkspire/larkspire -auto"},
      {"/home/ann/Patent Watch/larkspire", "-auto", "\"/home/ann/Patent Watch/larkspire\" -auto"},
      // Inside quotes '$' and '"' take a backslash, and the value escapes that backslash again.
      {"/srv/a$b\"c/larkspire", "", "\"/srv/a\\\\$b\\\\\"c/larkspire\""},
      {"/srv/100%/larkspire", "", "/srv/100%%/larkspire"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DesktopExecValue(c.target, c.arguments), c.exec) << c.target;
  }
}

TEST(ShortcutsTest, WritesApplicationAndLinkEntriesAndReplacesOlderOnes) {
  CTempDir dir;
  ASSERT_TRUE(SaveFileAtomically(dir.File("Larkspire (auto).desktop"), "stale"));
  WriteShortcut(dir.Path(), "Larkspire (auto)", "/opt/larkspire/larkspire", "-auto",
                "Unattended run");
  WriteInternetShortcut(dir.Path(), "Larkspire Web Site", "http://www.larkspire.example/");
  std::string app, link;
  ASSERT_TRUE(ReadWholeFile(dir.File("Larkspire (auto).desktop"), app));
  ASSERT_TRUE(ReadWholeFile(dir.File("Larkspire Web Site.desktop"), link));
  EXPECT_EQ(app,
            "[Desktop Entry]\nVersion=1.0\nName=Larkspire (auto)\nType=Application\n"
            "Comment=Unattended run\nExec=/opt/larkspire/larkspire -auto\nTerminal=false\n");
  EXPECT_EQ(link,
            "[Desktop Entry]\nVersion=1.0\nName=Larkspire Web Site\nType=Link\n"
            "URL=http://www.larkspire.example/\n");

  DeleteShortcut(dir.Path(), "Larkspire Web Site");
  EXPECT_FALSE(FileExists(dir.File("Larkspire Web Site.desktop")));
}

TEST(ShortcutsTest, AMissingFolderFailsSilently) {
  CTempDir dir;
  WriteShortcut(dir.File("missing"), "Larkspire", "/opt/larkspire/larkspire", "", "");
  EXPECT_FALSE(FileExists(dir.File("missing/Larkspire.desktop")));
}

}  // namespace
}  // namespace larkspire
