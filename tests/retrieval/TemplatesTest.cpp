#include <gtest/gtest.h>
#include <sys/time.h>

#include <string>

#include "notify/Templates.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "retrieval/StatusUrl.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "support/RandomText.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

// 2007-03-15 14:30:45 UTC, 10:30:45 AM in New York.
constexpr int64_t kNow = 1173969045;
// The program's folder was last written 2006-12-01 18:30:00 UTC.
constexpr time_t kInstalled = 1164997800;

TEST(LoadTemplateTest, EveryTemplateHasCrLfLines) {
  for (int n = 1; n <= 14; ++n) {
    std::optional<std::string> text = LoadTemplate(n);
    ASSERT_TRUE(text.has_value()) << n;
    EXPECT_TRUE(text->ends_with("\r\n")) << n;
    EXPECT_EQ(ToTextMode(FromTextMode(*text)), *text) << n;
    EXPECT_EQ(FromTextMode(*text).find('\r'), std::string::npos) << n;
  }
  EXPECT_FALSE(LoadTemplate(0).has_value());
  EXPECT_FALSE(LoadTemplate(15).has_value());
  EXPECT_TRUE(LoadTemplate(kTemplateStatusChange)->starts_with("Subject: "));
}

class ExpandTest : public ::testing::Test {
 protected:
  std::string Expand(std::string_view text) {
    std::string out;
    ExpandTemplate(*app_, text, out);
    return out;
  }
  CFixedClock clock_{kNow};
  CTestApp app_;
};

TEST_F(ExpandTest, ReferenceSyntax) {
  CEntry current;
  current.Text(kStatus) = "Patented Case";
  current.last_change = TodayDayNumber();
  CEntry previous = current;
  previous.Text(kStatus) = "Pending";
  CExpansionScope scope(*app_, &current, &previous);

  const struct {
    const char* text;
    const char* out;
  } cases[] = {
      {"plain text\r\n", "plain text\r\n"},
      {"", ""},
      {"[Foo] and [AppName] and [appname]", "[Foo] and Larkspire and Larkspire"},
      {"a[X]]b", "a]b"},
      {"a[]]b", "a]b"},
      {"a[[]b", "a[b"},
      {"a[]b", "a]b"},
      {"a[[AppName]b", "a[b"},
      {"a[AppName", "a[AppName"},
      {"a[b[AppName]", "a[b[AppName]"},
      {"x]y", "x]y"},
      {"[PatNum]", "-"},
      {"[RecentChange=yes?<b>]", "<b>"},
      {"[RecentChange=No?<b>]", ""},
      {"[RecentChange=Yes?|not recent]", ""},
      {"[RecentChange=no?recent|not recent: %Cur%]", "not recent: Yes"},
      {"[Status?same|changed from %Old% to %Cur%]", "changed from Pending to Patented Case"},
      {"[Status|changed]", "changed"},
      {"[Status?same]", ""},
      // The "=" form knows no old value.
      {"[Status=patented case?%Cur% %Old%]", "Patented Case %Old%"},
      // Markers are found in order: "?" only after "=", "|" only after "?"; the first "]"
      // closes the reference.
      {"[Status|a?b]", ""},
      {"[Status=x|y?z]", ""},
      {"[Status=x?y|z|w]", "z|w"},
      {"[Foo=[Foo]?unresolved]", "?unresolved]"},
      {"[OrgName=-?no name|%Cur%]", "no name"},
      {"100%Cur% [AppName]", "100%Cur% Larkspire"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Expand(c.text), c.out) << c.text;
  }

  previous.Text(kStatus) = current.Text(kStatus);
  EXPECT_EQ(Expand("[Status?same|changed from %Old% to %Cur%]"), "same");
}

TEST_F(ExpandTest, InsertedValuesAreNotExpandedAgain) {
  CEntry current;
  current.Text(kReference) = "[AppName] %Old%";
  CEntry previous;
  previous.Text(kReference) = "%Cur%";
  CExpansionScope scope(*app_, &current, &previous);
  EXPECT_EQ(Expand("[Reference]"), "[AppName] %Old%");
  EXPECT_EQ(Expand("[Reference?|%Cur%/%Old%]"), "[AppName] %Old%/%Cur%");
}

// The HTML report's expansion: every value escaped wherever it lands (plain, %Cur% and %Old%),
// conditions still compare the values themselves, the template's own text and the program's
// own markup stay markup.
TEST_F(ExpandTest, HtmlEscapingAppliesToValuesOnly) {
  CEntry current;
  current.Text(kStatus) = "<b>\"Won't\" & co</b>";
  current.Text(kReference) = "A&B";
  CEntry previous;
  previous.Text(kStatus) = "<i>";
  previous.Text(kReference) = "A&B";
  CExpansionScope scope(*app_, &current, &previous);
  const struct {
    const char* text;
    const char* out;
  } cases[] = {
      {"<td>[Status]</td>", "<td>&lt;b&gt;&quot;Won&#39;t&quot; &amp; co&lt;/b&gt;</td>"},
      {"[Status?same|<u>%Old% to %Cur%</u>]",
       "<u>&lt;i&gt; to &lt;b&gt;&quot;Won&#39;t&quot; &amp; co&lt;/b&gt;</u>"},
      {"[Reference=a&b?<b>%Cur%</b>|no]", "<b>A&amp;B</b>"},
      {"[Reference?<i>same</i>|changed]", "<i>same</i>"},
      {"[Foo]", "[Foo]"},
      {"[courtesyhtml]",
       "<p><i>Courtesy of Harrowgate Patent Law Firm LLP, <a "
       "href=\"http://www.larkspire.example/Larkspire/\">http://www.larkspire.example/"
       "Larkspire/</a>.</i></p>"},
  };
  for (const auto& c : cases) {
    std::string out;
    ExpandTemplate(*app_, c.text, out, ValueEscaping::kHtml);
    EXPECT_EQ(out, c.out) << c.text;
  }
  // E-mails are plain text: values go in as they are.
  EXPECT_EQ(Expand("[Status]"), "<b>\"Won't\" & co</b>");
}

TEST_F(ExpandTest, AppendsToTheOutput) {
  std::string out = "kept:";
  ExpandTemplate(*app_, "[AppName]", out);
  EXPECT_EQ(out, "kept:Larkspire");
}

TEST_F(ExpandTest, ArbitraryTemplatesEndQuietly) {
  CRandomText random(777);
  CEntry current;
  current.Text(kReference) = "[x]";
  CEntry previous;
  CExpansionScope scope(*app_, &current, &previous);
  for (int i = 0; i < 4000; ++i) {
    const std::string text = random.Next(30);
    const std::string out = Expand(text);
    // Without a closing bracket nothing is a reference.
    if (text.find(']') == std::string::npos) {
      EXPECT_EQ(out, text);
    }
    EXPECT_EQ(Expand(text), out);
  }
}

// Every template expanded with a fixed installation, clock and entry, against the files in
// tests/data/templates. There "@OS@" stands for this machine's system description and
// "@VERSION@" for the program version of this build.
class TemplateFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDirectories(dir_.File("bin")));
    ASSERT_TRUE(MakeDirectories(dir_.File("log")));
    const timeval times[2] = {{kInstalled, 0}, {kInstalled, 0}};
    ASSERT_EQ(::utimes(dir_.File("bin").c_str(), times), 0);
    app_ = std::make_unique<CTestApp>(dir_.File("bin/larkspire"));
    CRun& app = **app_;
    InstallStatusUrlBuilder(app);

    CSettings& s = app.Settings();
    s.OrgName.Set("Wexley & Partners");
    s.SmtpServer.Set("mail.wexley.example");
    s.ReturnAddress.Set("docket@wexley.example");
    s.NotifyAddress.Items() = {"alice@wexley.example", "bob@wexley.example"};
    s.GUID.Set("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
    s.CountExec.Set("12");
    s.CountStatusChange.Set("3");
    s.CountUpdateSucceeded.Set("40");
    s.CountUpdateFailed.Set("2");
    s.CountEmailBatchSucceeded.Set("9");
    s.CountEmailBatchFailed.Set("");
    s.LogDir.Set(dir_.File("log"));
    ASSERT_TRUE(SaveFileAtomically(dir_.File("log/Larkspire.log"),
                                   "2007-03-15 14:29:00> **Larkspire start**\r\n"
                                   "2007-03-15 14:30:00> Update '08/123,456'\r\n"));
    app.Transcript().text = "000.00 Connecting to 127.0.0.1:8080\r\n001.25 Connected\r\n";
    app.Status().problem_desc = "The update stops at the second entry.";
    app.LastFetch().urls = {"http://pair.uspto.gov/a", "http://pair.uspto.gov/b",
                            "http://pair.uspto.gov/c"};
    app.LastFetch().pages = {"<html>one</html>", "<html>two</html>"};

    added_.Text(kAppNum) = "10/987,654";
    added_.Text(kReference) = "HPL-7";
    app.Entries().Insert(added_);

    current_.Text(kAppNum) = "08/123,456";
    current_.Text(kPatNum) = "7,612,345";
    current_.Text(kReference) = "HPL-0042";
    current_.Text(kIssueDate) = "2007-03-13";
    current_.Text(kStatus) = "Patented Case";
    current_.Text(kLastHistoryDate) = "2007-03-14";
    current_.Text(kLastHistoryText) = "Recordation of Patent Grant Mailed";
    current_.last_update = ParseDayNumber("2007-03-15");
    current_.last_change = ParseDayNumber("2007-03-15");
    app.Entries().Insert(current_);

    previous_ = current_;
    previous_.Text(kPatNum) = "";
    previous_.Text(kIssueDate) = "";
    previous_.Text(kStatus) = "Awaiting TC Resp, Issue Fee Payment Verified";
    previous_.Text(kLastHistoryDate) = "2007-02-20";
    previous_.Text(kLastHistoryText) = "Issue Fee Payment Verified";
    previous_.last_update = ParseDayNumber("2007-03-08");
    previous_.last_change = ParseDayNumber("2007-02-20");
  }

  std::string Expected(const std::string& name) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/templates/" + name, text))
        << name;
    text = ReplaceAll(text, "@OS@", OsDescription());
    return ReplaceAll(text, "@VERSION@", ProgramVersionText());
  }

  void Check(int number, const std::string& name, const CEntry* current, const CEntry* previous) {
    std::string out;
    {
      CExpansionScope scope(**app_, current, previous);
      ExpandTemplate(**app_, LoadTemplate(number).value_or(""), out);
    }
    const std::string expected = Expected(name);
    EXPECT_EQ(out, expected) << "template " << number;
    if (out != expected) {
      // Left beside the build for comparison.
      SaveFileAtomically(std::string(LARKSPIRE_BINARY_DIR) + "/" + name, out);
    }
  }

  CFixedClock clock_{kNow};
  CTempDir dir_;
  std::unique_ptr<CTestApp> app_;
  CEntry added_;
  CEntry current_;
  CEntry previous_;
};

TEST_F(TemplateFilesTest, EveryTemplate) {
  CEntry renamed = current_;
  renamed.Text(kReference) = "HPL-42";
  Check(1, "01-activity.txt", nullptr, nullptr);
  Check(2, "02-entry-added.txt", &added_, nullptr);
  Check(3, "03-entry-changed.txt", &current_, &renamed);
  Check(4, "04-entry-deleted.txt", &added_, nullptr);
  Check(5, "05-test-email.txt", nullptr, nullptr);
  Check(6, "06-report-header.txt", nullptr, nullptr);
  Check(7, "07-report-row.txt", &current_, nullptr);
  Check(8, "08-report-footer.txt", nullptr, nullptr);
  Check(9, "09-status-change.txt", &current_, &previous_);
  Check(10, "10-welcome.txt", nullptr, nullptr);
  Check(12, "12-upgrade.txt", nullptr, nullptr);
  Check(13, "13-problem.txt", nullptr, nullptr);
  // The report row of an entry without a recent change has no bold, and its address is
  // built for that entry.
  Check(7, "07-report-row-quiet.txt", &added_, nullptr);
}

TEST_F(TemplateFilesTest, OnTheOpenDataPortalTheReaderIsSentToPatentCenter) {
  (*app_)->Settings().StatusSource.Set(kSourceOdp);
  Check(9, "09-status-change-odp.txt", &current_, &previous_);
  Check(7, "07-report-row-odp.txt", &current_, nullptr);
  // Known only by its patent number until its first read, an entry has Patent Center's search.
  CEntry by_patent;
  by_patent.Text(kPatNum) = "7,612,345";
  EXPECT_EQ(by_patent.StatusUrl(), "https://patentcenter.uspto.gov/");
}

}  // namespace
}  // namespace larkspire
