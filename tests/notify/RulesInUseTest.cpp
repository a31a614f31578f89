#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

std::string BuiltInRules() { return ChooseRulesText(""); }

std::string WithVersion(std::string rules, const std::string& version) {
  const std::size_t end = rules.find("\r\n");
  return "version: " + version + rules.substr(end);
}

// The office's own rules file in the logging directory: used as it is, whatever its version,
// without a signature; only a file that is not a rules file at all is passed by. (A downloaded
// copy is taken by the retrieval layer, which checks its signature.)
class LoadRulesTest : public ::testing::Test {
 protected:
  void SetUp() override { app_->Settings().LogDir.Set(dir_.Path()); }

  void WriteOfficeFile(const std::string& text) {
    ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
    ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire/office-rules.txt"), text));
  }
  std::string Log() {
    std::string log;
    ReadWholeFile(dir_.File("Larkspire.log"), log);
    return log;
  }

  CTempDir dir_;
  CTestApp app_;
};

TEST_F(LoadRulesTest, WithoutAFileTheBuiltInRulesAreUsed) {
  LoadRules(*app_);
  EXPECT_EQ(app_->Rules().text, BuiltInRules());
  EXPECT_EQ(app_->Rules().version, "4.2.04.000");
  EXPECT_FALSE(app_->Rules().office_file);
  EXPECT_EQ(RulesFilePath(dir_.Path()), dir_.File("Larkspire/rules.txt"));
  EXPECT_EQ(OfficeRulesFilePath(dir_.Path()), dir_.File("Larkspire/office-rules.txt"));
  EXPECT_EQ(OfficeRulesFilePath(""), "");
}

TEST_F(LoadRulesTest, TheOfficesOwnFileIsUsedWhateverItsVersion) {
  for (const char* version : {"4.2.05.000", "4.2.04.000", "4.2.03.999", "", "office 7"}) {
    std::string text = WithVersion(BuiltInRules(), version);
    text = ReplaceAll(text, "support@larkspire.example", "help@larkspire.example");
    WriteOfficeFile(text);
    LoadRules(*app_);
    EXPECT_EQ(app_->Rules().text, text) << version;
    EXPECT_TRUE(app_->Rules().office_file) << version;
    EXPECT_EQ(app_->Rules().version, version);
    EXPECT_EQ(LookupRule(*app_, "location", "support"), "help@larkspire.example");
  }
  EXPECT_NE(Log().find("Rules: the office's own " + dir_.File("Larkspire/office-rules.txt") +
                       ", version office 7, is in use; the publisher's rules are not fetched "
                       "while it is there\r\n"),
            std::string::npos)
      << Log();
}

TEST_F(LoadRulesTest, AFileCutShortIsPassedByWithALogLine) {
  const std::string full = WithVersion(BuiltInRules(), "4.2.05.000");
  // Cut in the middle of a line, and cut just before the end-of-rules line.
  for (std::size_t keep :
       {full.size() / 2, full.find("end-of-rules") - 2, full.find("end-of-rules") + 5}) {
    WriteOfficeFile(full.substr(0, keep));
    LoadRules(*app_);
    EXPECT_EQ(app_->Rules().version, "4.2.04.000") << keep;
    EXPECT_EQ(app_->Rules().text, BuiltInRules());
    EXPECT_FALSE(app_->Rules().office_file);
  }
  // Something that is not a rules file at all.
  WriteOfficeFile("<html>404 Not Found</html>\r\nend-of-rules\r\n");
  LoadRules(*app_);
  EXPECT_EQ(app_->Rules().version, "4.2.04.000");
  EXPECT_NE(Log().find("Rules: " + dir_.File("Larkspire/office-rules.txt") +
                       " is not used: it does not begin with a version line or has no "
                       "end-of-rules line\r\n"),
            std::string::npos)
      << Log();
}

// The office file decides where the program sends its keys: in a shared logging directory,
// one another user put there or may change is passed by, with the reason in the log.
TEST_F(LoadRulesTest, AFileAnotherUserPutThereOrMayChangeIsPassedBy) {
  struct Case {
    mode_t mode;
    uid_t owner;  // 0: the test's own user
    std::string reason;
  };
  std::vector<Case> cases = {
      {0664, 0, "other users may write it (mode 0664)"},
      {0646, 0, "other users may write it (mode 0646)"},
  };
  if (::geteuid() == 0) cases.push_back({0644, 65534, "it belongs to another user (uid 65534)"});
  const std::string path = dir_.File("Larkspire/office-rules.txt");
  std::string text = WithVersion(BuiltInRules(), "4.2.05.000");
  text = ReplaceAll(text, "support@larkspire.example", "help@elsewhere.example");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    WriteOfficeFile(text);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    if (c.owner != 0) {
      ASSERT_EQ(::chown(path.c_str(), c.owner, c.owner), 0);
    }
    LoadRules(*app_);
    EXPECT_EQ(app_->Rules().text, BuiltInRules());
    EXPECT_FALSE(app_->Rules().office_file);
    EXPECT_EQ(LookupRule(*app_, "location", "support"), "support@larkspire.example");
    EXPECT_NE(Log().find("Rules: " + path + " is not used: " + c.reason + "\r\n"),
              std::string::npos)
        << Log();
  }
  // The same file, this user's and writable by nobody else, is used.
  WriteOfficeFile(text);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  LoadRules(*app_);
  EXPECT_TRUE(app_->Rules().office_file);
}

TEST_F(LoadRulesTest, BareLineFeedsLoadButNoSectionIsFound) {
  // A file whose lines end in LF alone (its end-of-rules line still CR LF, as the acceptance
  // test requires) is taken and its version read, but no section can be found in it.
  std::string text = FromTextMode(WithVersion(BuiltInRules(), "4.2.06.000"));
  text = text.substr(0, text.find("\nend-of-rules\n")) + "\r\nend-of-rules\r\n";
  WriteOfficeFile(text);
  LoadRules(*app_);
  EXPECT_EQ(app_->Rules().version, "4.2.06.000");
  EXPECT_EQ(app_->Rules().text, text);
  for (const char* section : {"location", "validate", "masterlist", "fetch1", "fetch2", "fetch3"}) {
    EXPECT_EQ(LookupRule(*app_, section, "page"), "") << section;
    EXPECT_EQ(LookupRule(*app_, section, "required"), "") << section;
  }
  // Entirely LF: not even the end-of-rules line, so it is refused.
  WriteOfficeFile(FromTextMode(WithVersion(BuiltInRules(), "4.2.06.000")));
  LoadRules(*app_);
  EXPECT_EQ(app_->Rules().version, "4.2.04.000");
}

TEST_F(LoadRulesTest, NulPaddingAfterTheTextIsDropped) {
  const std::string text = WithVersion(BuiltInRules(), "4.2.05.000");
  WriteOfficeFile(text + std::string(16, '\0'));
  LoadRules(*app_);
  EXPECT_EQ(app_->Rules().version, "4.2.05.000");
  EXPECT_EQ(app_->Rules().text, text);
}

TEST_F(LoadRulesTest, ADownloadedCopyIsNotTakenHereWhateverItsVersion) {
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  ASSERT_TRUE(
      SaveFileAtomically(dir_.File("Larkspire/rules.txt"), WithVersion(BuiltInRules(), "zzz")));
  LoadRules(*app_);
  EXPECT_EQ(app_->Rules().version, "4.2.04.000");
  EXPECT_EQ(app_->Rules().text, BuiltInRules());
}

class RulesInUseTest : public ::testing::Test {
 protected:
  CTestApp app_;
};

TEST_F(RulesInUseTest, AddressesTakeTheEntrysValues) {
  CEntry entry;
  entry.Text(kAppNum) = "08/123,456";
  CExpansionScope scope(*app_, &entry);
  const std::string address = LookupRule(*app_, "fetch1", "page[AppNum]");
  EXPECT_TRUE(address.ends_with("ApplicationNumber=08123456")) << address;
  EXPECT_TRUE(address.starts_with("http://pair.uspto.gov/")) << address;
  // An empty patent number is "-" in the address.
  EXPECT_TRUE(LookupRule(*app_, "fetch1", "page[PatNum]").ends_with("patentnumber=-"));

  app_->MasterList().cookie = "12345";
  app_->MasterList().index = 3;
  EXPECT_EQ(LookupRule(*app_, "masterlist", "page[n]"),
            "http://pair.uspto.gov/cgi-bin/final/pairsearch.pl??searchtype=customer&USERCODE=123"
            "&customernumber=12345&sortby=application&ResultSet=3");
}

}  // namespace
}  // namespace larkspire
