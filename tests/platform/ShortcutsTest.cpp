#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/Files.h"
#include "platform/Shortcuts.h"
#include "support/ScopedVariable.h"
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
            "Comment=Unattended run\nExec=/opt/larkspire/larkspire -auto\nTerminal=false\n"
            "Icon=larkspire\nCategories=Office;\n");
  EXPECT_EQ(link,
            "[Desktop Entry]\nVersion=1.0\nName=Larkspire Web Site\nType=Link\n"
            "URL=http://www.larkspire.example/\nIcon=larkspire\nCategories=Office;\n");

  DeleteShortcut(dir.Path(), "Larkspire Web Site");
  EXPECT_FALSE(FileExists(dir.File("Larkspire Web Site.desktop")));
}

TEST(ShortcutsTest, AnEmptyDescriptionWritesNoComment) {
  CTempDir dir;
  WriteShortcut(dir.Path(), "Larkspire", "/opt/larkspire/larkspire", "", "");
  std::string entry;
  ASSERT_TRUE(ReadWholeFile(dir.File("Larkspire.desktop"), entry));
  EXPECT_EQ(entry,
            "[Desktop Entry]\nVersion=1.0\nName=Larkspire\nType=Application\n"
            "Exec=/opt/larkspire/larkspire\nTerminal=false\nIcon=larkspire\nCategories=Office;\n");
}

TEST(ShortcutsTest, IconsGoIntoTheHicolorThemeOfTheDataDirectory) {
  CTempDir dir;
  const std::string data_home = dir.File("share");
  for (int size : kIconSizes) {
    ASSERT_TRUE(InstallIcon(data_home, size, "png of " + std::to_string(size))) << size;
  }
  ASSERT_TRUE(InstallScalableIcon(data_home, "<svg/>"));
  for (int size : kIconSizes) {
    const std::string pixels = std::to_string(size);
    std::string png;
    ASSERT_TRUE(ReadWholeFile(
        data_home + "/icons/hicolor/" + pixels + "x" + pixels + "/apps/larkspire.png", png));
    EXPECT_EQ(png, "png of " + pixels);
  }
  std::string svg;
  ASSERT_TRUE(ReadWholeFile(data_home + "/icons/hicolor/scalable/apps/larkspire.svg", svg));
  EXPECT_EQ(svg, "<svg/>");

  // A newer program replaces the older icon.
  ASSERT_TRUE(InstallIcon(data_home, 48, "newer"));
  std::string png;
  ASSERT_TRUE(ReadWholeFile(data_home + "/icons/hicolor/48x48/apps/larkspire.png", png));
  EXPECT_EQ(png, "newer");
}

TEST(ShortcutsTest, IconsGoBesideTheApplicationsFolderTheShortcutsAreIn) {
  const CScopedVariable data_home("XDG_DATA_HOME", "/data/home");
  struct Case {
    const char* folder;
    const char* data_home;
  } cases[] = {
      {"/home/me/.local/share/applications/Grantwell", "/home/me/.local/share"},
      {"/home/me/.local/share/applications/Grantwell/", "/home/me/.local/share"},
      {"/usr/local/share/applications", "/usr/local/share"},
      {"/srv/applications/Firm/Patents", "/srv"},
      {"/applications/Grantwell", "/"},
      // Outside a menu the user's own theme is the one the desktop reads.
      {"/home/me/Desktop/Larkspire", "/data/home"},
      {"/home/me/my-applications/Grantwell", "/data/home"},
      {"applications/Grantwell", "/data/home"},
      {"", "/data/home"},
  };
  for (const Case& c : cases) EXPECT_EQ(IconDataHome(c.folder), c.data_home) << c.folder;
  // An empty value is no value.
  const CScopedVariable empty("XDG_DATA_HOME", "");
  const char* home = std::getenv("HOME");
  EXPECT_EQ(XdgDataHome(), std::string(home ? home : "") + "/.local/share");
}

TEST(ShortcutsTest, AFolderBelowTheUsersApplicationsBecomesASubmenuNamedAfterIt) {
  CTempDir dir;
  CScopedVariable data("XDG_DATA_HOME", dir.File("share"));
  CScopedVariable config("XDG_CONFIG_HOME", dir.File("config"));
  ASSERT_TRUE(WriteMenuFolder(dir.File("share/applications/Grantwell/"), {"Larkspire", "R&D <x>"}));
  std::string menu;
  ASSERT_TRUE(
      ReadWholeFile(dir.File("config/menus/applications-merged/larkspire-Grantwell.menu"), menu));
  EXPECT_NE(menu.find("<Name>Applications</Name>"), std::string::npos) << menu;
  EXPECT_NE(menu.find("<Name>Grantwell</Name>\n    <Directory>larkspire-Grantwell.directory"),
            std::string::npos)
      << menu;
  // Desktop-file IDs: the folder, '-', the file name; markup in a name stays text.
  EXPECT_NE(menu.find("<Filename>Grantwell-Larkspire.desktop</Filename>\n"
                      "      <Filename>Grantwell-R&amp;D &lt;x&gt;.desktop</Filename>"),
            std::string::npos)
      << menu;
  std::string directory;
  ASSERT_TRUE(ReadWholeFile(dir.File("share/desktop-directories/larkspire-Grantwell.directory"),
                            directory));
  EXPECT_EQ(directory,
            "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=Grantwell\nIcon=larkspire\n");

  // Nested folders join with '-'; a folder outside the user's menu gets no menu file.
  ASSERT_TRUE(WriteMenuFolder(dir.File("share/applications/Firm/Patents"), {"Larkspire"}));
  ASSERT_TRUE(ReadWholeFile(
      dir.File("config/menus/applications-merged/larkspire-Firm-Patents.menu"), menu));
  EXPECT_NE(menu.find("<Name>Patents</Name>"), std::string::npos) << menu;
  EXPECT_NE(menu.find("<Filename>Firm-Patents-Larkspire.desktop</Filename>"), std::string::npos);
  for (const std::string& outside :
       {dir.File("elsewhere/applications/Grantwell"), dir.File("share/applications"),
        std::string("applications/Grantwell")}) {
    EXPECT_TRUE(WriteMenuFolder(outside, {"Larkspire"})) << outside;
  }
  EXPECT_FALSE(FileExists(dir.File("config/menus/applications-merged/larkspire-.menu")));
}

TEST(ShortcutsTest, AnIconThatCannotBeWrittenIsReported) {
  CTempDir dir;
  // The data directory is a file, so no folder can be made inside it.
  ASSERT_TRUE(SaveFileAtomically(dir.File("share"), "not a folder"));
  EXPECT_FALSE(InstallIcon(dir.File("share"), 16, "png"));
  EXPECT_FALSE(InstallScalableIcon(dir.File("share"), "<svg/>"));
}

TEST(ShortcutsTest, AMissingFolderFailsSilently) {
  CTempDir dir;
  WriteShortcut(dir.File("missing"), "Larkspire", "/opt/larkspire/larkspire", "", "");
  EXPECT_FALSE(FileExists(dir.File("missing/Larkspire.desktop")));
}

}  // namespace
}  // namespace larkspire
