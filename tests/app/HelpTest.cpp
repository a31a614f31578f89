#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
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
  HelpTest() { app_->Settings().LogDir.Set(dir_.Path()); }

  CTempDir dir_;
  CTestAppCore app_;
  CScriptedUi& ui_ = app_.Ui();
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

// Sets an environment variable (or removes it, for nullptr) for the object's lifetime.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(HelpTest, BeforeALoggingDirectoryIsSetTheHelpGoesToTheUsersRuntimeDirectory) {
  app_->Settings().LogDir.Set("");
  ASSERT_TRUE(MakeDirectories(dir_.File("runtime")));
  ScopedEnvironment runtime("XDG_RUNTIME_DIR", dir_.File("runtime").c_str());
  ShowHelp(*app_, "config");
  const std::string page = dir_.File("runtime/Larkspire-help/help.html");
  EXPECT_EQ(ui_.opened, std::vector<std::string>{"file://" + page + "#config"});
  EXPECT_TRUE(FileExists(page));
}

TEST_F(HelpTest, WithoutARuntimeDirectoryTheHelpGoesToAPrivateFolderOfItsOwn) {
  app_->Settings().LogDir.Set("");
  ScopedEnvironment no_runtime("XDG_RUNTIME_DIR", nullptr);
  // The temporary directory of this test, so nothing is left behind.
  ScopedEnvironment temp("TMPDIR", dir_.Path().c_str());
  // The name the help folder used to have, made first by another user of the directory.
  const std::string predictable = dir_.File("Larkspire-help-" + std::to_string(::getuid()));
  ASSERT_TRUE(MakeDirectories(dir_.File("theirs")));
  ASSERT_EQ(::symlink(dir_.File("theirs").c_str(), predictable.c_str()), 0);

  ShowHelp(*app_, "config");
  ShowHelp(*app_);
  const std::string folder = HelpFolder(*app_);
  EXPECT_EQ(folder.rfind(dir_.File("Larkspire-help-"), 0), 0u) << folder;
  EXPECT_NE(folder, predictable);
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  // One folder for the run.
  const std::string page = JoinPath(folder, "help.html");
  EXPECT_EQ(ui_.opened, (std::vector<std::string>{"file://" + page + "#config", page}));
  EXPECT_TRUE(FileExists(page));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("theirs")));
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
