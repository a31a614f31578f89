#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <set>

#include "app/AppCore.h"
#include "app/Help.h"
#include "app/Sites.h"
#include "entries/Identifier.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"

namespace larkspire {
namespace {

class HelpTest : public ::testing::Test {
 protected:
  HelpTest() {
    app_->Settings().LogDir.Set(dir_.Path());
    app_->SetUi(&ui_);
  }
  ~HelpTest() override { app_->SetUi(nullptr); }

  CTempDir dir_;
  CTestAppCore app_;
  CScriptedUi ui_;
};

// The page's examples of numbers are ones the Add dialog takes, and its list of the columns is
// the list's own order.
TEST_F(HelpTest, ThePageTellsNumbersAndColumnsAsTheProgramHasThem) {
  const std::optional<std::string_view> page = FindResource("HelpFile", "HELP_HTML");
  ASSERT_TRUE(page);
  const std::string text(*page);
  const std::size_t start = text.find("Application numbers are written like");
  ASSERT_NE(start, std::string::npos);
  const std::string paragraph = text.substr(start, text.find("</p>", start) - start);
  const std::regex example("<code>([^<]+)</code>");
  int examples = 0;
  for (auto it = std::sregex_iterator(paragraph.begin(), paragraph.end(), example);
       it != std::sregex_iterator(); ++it, ++examples) {
    CEntry entry;
    EXPECT_FALSE(SetIdentifier(entry, (*it)[1].str())) << (*it)[1];
  }
  EXPECT_GE(examples, 4);

  const std::size_t list = text.find("one column per field, in this order:");
  ASSERT_NE(list, std::string::npos);
  std::string columns = text.substr(list, text.find("</p>", list) - list);
  std::replace(columns.begin(), columns.end(), '\n', ' ');
  std::size_t at = 0;
  for (const char* named : {"frequency",
                            "last update",
                            "last change",
                            "reference",
                            "application number",
                            "last file-history event",
                            "filing date",
                            "issue date",
                            "docket number",
                            "examiner",
                            "art unit",
                            "publication number",
                            "confirmation number",
                            "patent number",
                            "class",
                            "location",
                            "status",
                            "customer number",
                            "foreign priority",
                            "parent and child continuity",
                            "patent term adjustment",
                            "error"}) {
    const std::size_t found = columns.find(named, at);
    EXPECT_NE(found, std::string::npos) << named << " missing or out of order";
    if (found != std::string::npos) at = found;
  }
}

TEST_F(HelpTest, ThePageAndEveryPictureItShowsAreWrittenOut) {
  const std::string folder = dir_.File("Larkspire");
  ASSERT_TRUE(MakeDirectories(folder));
  ASSERT_TRUE(SaveFileAtomically(JoinPath(folder, "help.html"), "an older page"));
  const std::string page_path = WriteHelpFiles(*app_);
  EXPECT_EQ(page_path, JoinPath(folder, "help.html"));
  std::string page;
  ASSERT_TRUE(ReadWholeFile(page_path, page));
  EXPECT_NE(page.find("<h1>Larkspire&reg; Help</h1>"), std::string::npos);
  // Anchors the HELP buttons name.
  EXPECT_NE(page.find("id=\"config\""), std::string::npos);
  EXPECT_NE(page.find("id=\"configa\""), std::string::npos);

  const std::regex image("src=\"([^\"]+)\"");
  std::set<std::string> shown;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), image);
       it != std::sregex_iterator(); ++it) {
    const std::string name = (*it)[1];
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(JoinPath(folder, name), bytes)) << name;
    EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF") << name << " is not a JPEG picture";
    shown.insert(name);
  }
  // Every picture the program carries is shown, and nothing else.
  EXPECT_EQ(shown,
            (std::set<std::string>{"fig1.jpg", "fig1a.jpg", "fig2.jpg", "fig2a.jpg", "fig3.jpg",
                                   "fig3a.jpg", "fig4.jpg", "fig4a.jpg", "fig5.jpg", "fig7.jpg",
                                   "fig7a.jpg", "fig8.jpg", "fig10.jpg"}));
}

TEST_F(HelpTest, HelpOpensThePageAtTheSectionAsked) {
  ShowHelp(*app_);
  ShowHelp(*app_, "configa");
  const std::string page = dir_.File("Larkspire/help.html");
  EXPECT_EQ(ui_.opened, (std::vector<std::string>{page, "file://" + page + "#configa"}));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(HelpTest, BeforeALoggingDirectoryIsSetTheHelpGoesToTheTemporaryDirectory) {
  app_->Settings().LogDir.Set("");
  // The temporary directory of this test, so nothing is left behind.
  const char* old_tmpdir = std::getenv("TMPDIR");
  const std::string saved = old_tmpdir ? old_tmpdir : "";
  ::setenv("TMPDIR", dir_.Path().c_str(), 1);
  EXPECT_EQ(HelpFolder(*app_).rfind(dir_.Path() + "/", 0), 0u);
  ShowHelp(*app_, "config");
  ASSERT_EQ(ui_.opened.size(), 1u);
  const std::string page = JoinPath(HelpFolder(*app_), "help.html");
  EXPECT_EQ(ui_.opened[0], "file://" + page + "#config");
  EXPECT_TRUE(FileExists(page));
  if (old_tmpdir) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

TEST_F(HelpTest, AHelpFolderThatCannotBeWrittenIsReported) {
  ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire"), "a file in the folder's place"));
  ShowHelp(*app_);
  EXPECT_TRUE(ui_.opened.empty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].caption, std::string(kCaption) + " - Help");
}

TEST_F(HelpTest, TheWebSiteCommandsOpenTheirAddresses) {
  GoToPublisherSite(*app_);
  GoToMakerSite(*app_);
  EXPECT_EQ(ui_.opened, (std::vector<std::string>{kPublisherSiteAddress, kMakerSiteAddress}));
}

}  // namespace
}  // namespace larkspire
