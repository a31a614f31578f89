#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include "notify/Digest.h"
#include "notify/EmailQueue.h"
#include "notify/PublisherConsent.h"
#include "notify/ReminderSchedule.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "run/Run.h"
#include "support/MultipartReader.h"
#include "support/NetTestApp.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

constexpr const char* kMessageOutside = "Subject: Not for the office\r\n\r\nPrivate.\r\n";

// A server script: the publisher's addresses are refused at RCPT, every other line answered as
// usual.
bool RefusePublisherRecipients(const std::string& line, CTestConnection& c) {
  if (line.rfind("RCPT", 0) == 0 && line.find("larkspire.example") != std::string::npos) {
    c.Write("554 5.7.1 Relaying denied\r\n");
    return true;
  }
  return false;
}

class EmailQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CRun& app = net_.App();
    app.Settings().LogDir.Set(dir_.Path());
    app.Settings().ReturnAddress.Set("docketing@office.example");
    app.Settings().NotifyAddress.Items() = {"partners@office.example"};
    app.Settings().OrgName.Set("Test Office");
    LoadRules(app);
  }

  CRun& App() { return net_.App(); }

  CEntry Entry(const char* patent) {
    CEntry entry;
    entry.Text(kPatNum) = patent;
    entry.Text(kReference) = std::string("REF-") + patent;
    return entry;
  }

  std::vector<std::string> PendingList() {
    std::string bytes;
    if (!ReadWholeFile(dir_.File(kPendingListName), bytes)) return {};
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
      names.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(start, bytes.size()) << "every line ends with CR LF";
    return names;
  }

  void UseServer(CSmtpTestServer& server) { App().Settings().SmtpServer.Set(server.HostPort()); }
  void WritePendingList(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + "\r\n";
    ASSERT_TRUE(SaveFileAtomically(dir_.File(kPendingListName), text));
  }
  std::string Log() {
    std::string log;
    ReadWholeFile(App().Log().Path(), log);
    return log;
  }
  // The recipients of every message the server took, one list per message.
  static std::vector<std::vector<std::string>> Recipients(CSmtpTestServer& server) {
    std::vector<std::vector<std::string>> messages;
    for (const std::string& line : server.Lines()) {
      if (line.rfind("MAIL", 0) == 0) messages.emplace_back();
      if (line.rfind("RCPT To: ", 0) == 0 && !messages.empty()) {
        messages.back().push_back(line.substr(9));
      }
    }
    return messages;
  }

  CTempDir dir_;
  CNetTestApp net_;
};

TEST_F(EmailQueueTest, PostEmailNamesFilesByKindAndKeyAndNeverOverwritesAWaitingOne) {
  CEntry entry = Entry("7,123,456");
  EXPECT_EQ(PostEmail(App(), entry, kTemplateStatusChange, "s"), "");
  EXPECT_EQ(PostEmail(App(), entry, kTemplateStatusChange, "s"), "");
  EXPECT_EQ(PostEmail(App(), entry, kTemplateEntryAdded, "a"), "");
  EXPECT_EQ(PendingList(),
            (std::vector<std::string>{"Larkspire_s7123456.tmp", "Larkspire_s7123456~2.tmp",
                                      "Larkspire_a7123456.tmp"}));
  std::string message;
  ASSERT_TRUE(ReadWholeFile(dir_.File("Larkspire_a7123456.tmp"), message));
  EXPECT_EQ(message.rfind("Subject: Patent entry added, 7,123,456\r\n\r\n", 0), 0u);
  EXPECT_EQ(App().Settings().CountEmailPost.Int(0), 3);
  EXPECT_TRUE(EmailPending(App()));
}

TEST_F(EmailQueueTest, PostEmailFailuresAreShownAndReturned) {
  App().Settings().LogDir.Set(dir_.File("missing/deeper"));
  EXPECT_EQ(PostEmail(App(), Entry("7,123,456"), kTemplateStatusChange, "s"),
            "PostEmail: Can't create the pending e-mail file.");
  ASSERT_EQ(net_.Ui().messages.size(), 1u);
  EXPECT_EQ(net_.Ui().Shown()[0],
            "Larkspire\xAE - E-Mail Creation Failed: PostEmail: Can't create the pending e-mail "
            "file.");
  EXPECT_EQ(PostEmail(App(), Entry("1"), 99, "s"), "PostEmail: Can't find e-mail template file.");
}

TEST_F(EmailQueueTest, WithoutAQueueNothingIsSentAndOnlyTheCommandSaysSo) {
  EXPECT_TRUE(SendPendingEmail(App(), true, false));
  EXPECT_TRUE(net_.Ui().messages.empty());
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_EQ(net_.Ui().Shown(),
            std::vector<std::string>{
                "Larkspire\xAE: There aren't any e-mail notifications waiting to be sent."});
}

TEST_F(EmailQueueTest, AFailedSendKeepsItAndEverythingAfterItInOrder) {
  // Sessions: 1 the activity report (first batch ever), 2 the first notice, 3 the second.
  std::atomic<int> sessions{0};
  CSmtpTestServer server([&](const std::string& line, CTestConnection& c) {
    if (line.empty()) ++sessions;
    if (sessions == 3 && line.rfind("RCPT", 0) == 0) {
      c.Write("550 5.1.1 No such user\r\n");
      return true;
    }
    return false;
  });
  UseServer(server);
  for (const char* patent : {"1,111,111", "2,222,222", "3,333,333"}) {
    ASSERT_EQ(PostEmail(App(), Entry(patent), kTemplateStatusChange, "s"), "");
  }
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_EQ(sessions.load(), 3);
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
  EXPECT_TRUE(FileExists(dir_.File("Larkspire_s2222222.tmp")));
  EXPECT_TRUE(FileExists(dir_.File("Larkspire_s3333333.tmp")));
  EXPECT_EQ(PendingList(),
            (std::vector<std::string>{"Larkspire_s2222222.tmp", "Larkspire_s3333333.tmp"}));
  EXPECT_EQ(net_.Ui().Shown().back(),
            "Larkspire\xAE - Send Nofications Failed: SMTP: Error in recipient's e-mail address.");
  EXPECT_EQ(App().Settings().CountEmailBatchSucceeded.Int(0), 2);
  EXPECT_EQ(App().Settings().CountEmailBatchFailed.Int(0), 1);
  EXPECT_TRUE(App().Status().had_failures);
}

TEST_F(EmailQueueTest, ThePlainDialogueGivesEveryMessageASessionOfItsOwn) {
  CSmtpTestServer server;
  UseServer(server);
  for (const char* patent : {"1,111,111", "2,222,222"}) {
    ASSERT_EQ(PostEmail(App(), Entry(patent), kTemplateStatusChange, "s"), "");
  }
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  // The activity report and the two notices.
  ASSERT_TRUE(server.WaitForSessions(3));
  EXPECT_EQ(server.Accepted(), 3);
  std::vector<std::string> commands;
  for (const std::string& line : server.Lines()) commands.push_back(line.substr(0, 4));
  const std::vector<std::string> session = {"HELO", "MAIL", "RCPT", "DATA", "QUIT"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), session.begin(), session.end());
  EXPECT_EQ(commands, expected);
  EXPECT_FALSE(EmailPending(App()));
}

TEST_F(EmailQueueTest, PublisherReportsThatCannotBeSentDoNotHoldBackTheOfficesMail) {
  App().Settings().PublisherReports.Set(kPublisherReportsYes);
  CSmtpTestServer server(RefusePublisherRecipients);
  UseServer(server);
  CEntry blank;
  ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
  ASSERT_EQ(PostEmail(App(), Entry("1,111,111"), kTemplateStatusChange, "s"), "");
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  // The office's notice went; the welcome report waits for a later batch; the activity
  // report's file stays in the logging directory.
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
  EXPECT_EQ(PendingList(), std::vector<std::string>{"Larkspire_welcome.tmp"});
  EXPECT_TRUE(FileExists(dir_.File("Larkspire_activity.tmp")));
  EXPECT_TRUE(net_.Ui().messages.empty());
}

TEST_F(EmailQueueTest, TheActivityReportLeadsEveryFifthSuccessfulSend) {
  CSmtpTestServer server;
  UseServer(server);
  App().Settings().CountEmailBatchSucceeded.SetInt(3);
  ASSERT_EQ(PostEmail(App(), Entry("1,111,111"), kTemplateStatusChange, "s"), "");
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  ASSERT_TRUE(server.WaitForSessions(1));
  EXPECT_EQ(server.Accepted(), 1);  // 3 is not a multiple of 5: no report
  ASSERT_EQ(PostEmail(App(), Entry("2,222,222"), kTemplateStatusChange, "s"), "");
  ASSERT_EQ(App().Settings().CountEmailBatchSucceeded.Int(0), 4);
  App().Settings().CountEmailBatchSucceeded.SetInt(5);
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  ASSERT_TRUE(server.WaitForSessions(3));
  const std::vector<std::string> lines = server.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "RCPT To: <activity@larkspire.example>"),
            lines.end());
  EXPECT_FALSE(EmailPending(App()));
}

TEST_F(EmailQueueTest, DeletingTheQueueRemovesEveryFileAndSendsNothing) {
  CSmtpTestServer server;
  UseServer(server);
  ASSERT_EQ(PostEmail(App(), Entry("1,111,111"), kTemplateStatusChange, "s"), "");
  ASSERT_EQ(PostEmail(App(), Entry("2,222,222"), kTemplateEntryDeleted, "d"), "");
  net_.Ui().answer_when = {{"Do you really want to delete", MsgAnswer::kYes}};
  EXPECT_TRUE(SendPendingEmail(App(), false, true));
  EXPECT_EQ(server.Accepted(), 0);
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_d2222222.tmp")));
  EXPECT_FALSE(EmailPending(App()));
}

TEST_F(EmailQueueTest, AMessageFileThatSendsNothingStaysQueuedWithItsError) {
  const struct {
    const char* name;
    std::function<void(const std::string& path)> spoil;
    std::string error;
  } cases[] = {
      {"empty", [](const std::string& path) { ASSERT_TRUE(SaveFileAtomically(path, "")); },
       "SendEmail: The e-mail file Larkspire_s2222222.tmp holds no message."},
      {"unreadable",
       [](const std::string& path) {
         ASSERT_TRUE(RemoveFile(path));
         ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
       },
       "SendEmail: Can't read the e-mail file Larkspire_s2222222.tmp (Invalid argument)."},
      {"a link",
       [this](const std::string& path) {
         ASSERT_TRUE(RemoveFile(path));
         ASSERT_EQ(::symlink(dir_.File("Larkspire_s3333333.tmp").c_str(), path.c_str()), 0);
       },
       "SendEmail: Can't read the e-mail file Larkspire_s2222222.tmp (Too many levels of "
       "symbolic links)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CSmtpTestServer server;
    UseServer(server);
    App().Settings().CountEmailBatchSucceeded.SetInt(1);  // no activity report in this batch
    net_.Ui().messages.clear();
    for (const char* patent : {"1,111,111", "2,222,222", "3,333,333"}) {
      ASSERT_EQ(PostEmail(App(), Entry(patent), kTemplateStatusChange, "s"), "");
    }
    c.spoil(dir_.File("Larkspire_s2222222.tmp"));
    EXPECT_TRUE(SendPendingEmail(App(), false, false));
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
    EXPECT_EQ(PendingList(),
              (std::vector<std::string>{"Larkspire_s2222222.tmp", "Larkspire_s3333333.tmp"}));
    EXPECT_EQ(net_.Ui().Shown(),
              std::vector<std::string>{"Larkspire\xAE - Send Nofications Failed: " + c.error});
    EXPECT_TRUE(App().Status().had_failures);
    // File > Delete E-Mail empties the queue for the next case.
    net_.Ui().answers.push_back(MsgAnswer::kYes);
    ASSERT_TRUE(SendPendingEmail(App(), false, true));
    net_.Ui().answers.clear();
    ASSERT_FALSE(EmailPending(App()));
  }
}

// A run killed after sending a message and deleting its file, before the list was rewritten,
// leaves the name without its file: it has nothing to send and must not stop the queue.
TEST_F(EmailQueueTest, ANameWhoseFileIsGoneLeavesTheQueueWithoutCountingAsSent) {
  CSmtpTestServer server;
  UseServer(server);
  App().Settings().CountEmailBatchSucceeded.SetInt(1);
  for (const char* patent : {"1,111,111", "2,222,222", "3,333,333"}) {
    ASSERT_EQ(PostEmail(App(), Entry(patent), kTemplateStatusChange, "s"), "");
  }
  ASSERT_TRUE(RemoveFile(dir_.File("Larkspire_s2222222.tmp")));
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_EQ(server.Accepted(), 2);
  EXPECT_FALSE(EmailPending(App()));
  EXPECT_EQ(App().Settings().CountEmailBatchSucceeded.Int(0), 3);
  EXPECT_EQ(App().Settings().CountEmailBatchFailed.Int(0), 0);
  EXPECT_NE(Log().find("Pending e-mail file missing 'Larkspire_s2222222.tmp'"), std::string::npos);
  EXPECT_TRUE(net_.Ui().messages.empty());
}

TEST_F(EmailQueueTest, AMessageWithLoneLineFeedsIsSentAndLeavesTheQueue) {
  CSmtpTestServer server;
  UseServer(server);
  App().Settings().CountEmailBatchSucceeded.SetInt(1);
  ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire_s1.tmp"),
                                 "To: t@x.example\nSubject: Edited by hand\n\nText.\n"));
  WritePendingList({"Larkspire_s1.tmp"});
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_EQ(Recipients(server), std::vector<std::vector<std::string>>{{"<t@x.example>"}});
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1.tmp")));
  EXPECT_FALSE(EmailPending(App()));
  EXPECT_TRUE(net_.Ui().messages.empty());
}

TEST_F(EmailQueueTest, AWelcomeReportGoesToThePublisherWhateverItsNumberAndOnlyOneWaits) {
  App().Settings().PublisherReports.Set(kPublisherReportsYes);
  CEntry blank;
  // A queue left by a version that numbered a second welcome report "~2".
  ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
  ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire_welcome~2.tmp"), "Subject: Second\r\n\r\n"));
  WritePendingList({"Larkspire_welcome~2.tmp"});
  RemoveFile(dir_.File("Larkspire_welcome.tmp"));
  // A newer welcome report replaces the one waiting instead of queueing a second.
  ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
  ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
  EXPECT_EQ(PendingList(), std::vector<std::string>{"Larkspire_welcome~2.tmp"});
  std::string text;
  ASSERT_TRUE(ReadWholeFile(dir_.File("Larkspire_welcome~2.tmp"), text));
  EXPECT_EQ(text.rfind("Subject: Larkspire Welcome for Test Office\r\n", 0), 0u) << text;

  CSmtpTestServer server;
  UseServer(server);
  App().Settings().CountEmailBatchSucceeded.SetInt(1);
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_EQ(Recipients(server),
            std::vector<std::vector<std::string>>{{"<activity@larkspire.example>"}});
  EXPECT_FALSE(EmailPending(App()));
}

TEST_F(EmailQueueTest, AWelcomeReportThatCanNeverBeSentIsDroppedAfterAFewTries) {
  App().Settings().PublisherReports.Set(kPublisherReportsYes);
  CSmtpTestServer server(RefusePublisherRecipients);
  UseServer(server);
  App().Settings().CountEmailBatchSucceeded.SetInt(1);
  CEntry blank;
  ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
  for (int batch = 1; batch < kWelcomeReportTries; ++batch) {
    ASSERT_EQ(PostEmail(App(), Entry("1,111,111"), kTemplateStatusChange, "s"), "");
    EXPECT_TRUE(SendPendingEmail(App(), false, false)) << batch;
    EXPECT_EQ(PendingList(), std::vector<std::string>{"Larkspire_welcome.tmp"}) << batch;
    App().Settings().CountEmailBatchSucceeded.SetInt(1);
  }
  EXPECT_EQ(Log().find("Welcome report dropped"), std::string::npos);
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_FALSE(EmailPending(App()));
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_welcome.tmp")));
  EXPECT_NE(Log().find("Welcome report dropped after 3 failed tries 'SMTP: Error in recipient's "
                       "e-mail address.'"),
            std::string::npos)
      << Log();
  EXPECT_TRUE(net_.Ui().messages.empty());
  // Closing the window no longer asks about waiting e-mail.
  EXPECT_TRUE(SendPendingEmail(App(), true, false));
  EXPECT_TRUE(net_.Ui().messages.empty());
  // A new welcome report starts counting afresh.
  ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  EXPECT_EQ(PendingList(), std::vector<std::string>{"Larkspire_welcome.tmp"});
}

TEST_F(EmailQueueTest, ReportsWithTheOfficesDetailsGoToThePublisherOnlyAsTheUserAnswered) {
  const std::vector<std::string> office = {"<partners@office.example>"};
  const std::vector<std::string> publisher = {"<activity@larkspire.example>"};
  struct Case {
    const char* answer;
    std::vector<std::vector<std::string>> recipients;  // activity report, welcome, notice
    bool welcome_dropped;
  };
  const Case cases[] = {
      // Configured before the question: the activity report as ever, no welcome report.
      {"", {publisher, office}, true},
      {kPublisherReportsYes, {publisher, publisher, office}, false},
      {kPublisherReportsNo, {office}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    CSmtpTestServer server;
    UseServer(server);
    App().Settings().PublisherReports.Set(c.answer);
    App().Settings().CountEmailBatchSucceeded.SetInt(0);
    const CEntry blank;
    ASSERT_EQ(PostEmail(App(), blank, kTemplateWelcome, "welcome"), "");
    ASSERT_EQ(PostEmail(App(), Entry("1,111,111"), kTemplateStatusChange, "s"), "");
    EXPECT_TRUE(SendPendingEmail(App(), false, false));
    EXPECT_EQ(Recipients(server), c.recipients);
    EXPECT_FALSE(EmailPending(App()));
    EXPECT_FALSE(FileExists(dir_.File("Larkspire_welcome.tmp")));
    EXPECT_EQ(
        Log().find("Welcome report dropped: sending it was not agreed to") != std::string::npos,
        c.welcome_dropped);
    RemoveFile(App().Log().Path());
  }
}

TEST_F(EmailQueueTest, LinesOfThePendingListThatAreNotQueueNamesAreNeverUsedAsPaths) {
  CTempDir outside;
  ASSERT_TRUE(SaveFileAtomically(outside.File("x"), kMessageOutside));
  const std::string relative = "../" + outside.Path().substr(outside.Path().rfind('/') + 1) + "/x";
  for (const bool delete_mode : {false, true}) {
    SCOPED_TRACE(delete_mode ? "delete" : "send");
    CSmtpTestServer server;
    UseServer(server);
    App().Settings().CountEmailBatchSucceeded.SetInt(1);
    ASSERT_EQ(PostEmail(App(), Entry("1,111,111"), kTemplateStatusChange, "s"), "");
    WritePendingList({relative, outside.File("x"), "Larkspire_pending.tmp", "notes.txt",
                      "Larkspire_s1111111.tmp"});
    net_.Ui().answers.clear();
    if (delete_mode) net_.Ui().answers.push_back(MsgAnswer::kYes);
    EXPECT_TRUE(SendPendingEmail(App(), false, delete_mode));
    EXPECT_EQ(server.Accepted(), delete_mode ? 0 : 1);
    EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
    EXPECT_TRUE(FileExists(outside.File("x")));
    EXPECT_FALSE(EmailPending(App()));
    for (const std::string& refused :
         {relative, outside.File("x"), std::string("Larkspire_pending.tmp"),
          std::string("notes.txt")}) {
      EXPECT_NE(Log().find("Pending e-mail name refused '" + refused + "'"), std::string::npos)
          << refused;
    }
  }
}

// In digest mode a change and a new entry are queued as items; the next send's composition puts
// one digest in their place. A digest file a run wrote but never listed (it ended before the
// list was rewritten) is written over, never sent as well.
TEST_F(EmailQueueTest, DigestItemsAreComposedIntoOneDigestListedInTheirPlace) {
  App().Settings().Backend().Write(kSettingsGroup, "MailMode", "digest");
  const CEntry was = Entry("7,123,456");
  CEntry now = was;
  now.Text(kStatus) = "Patented <Case>";
  {
    CExpansionScope previous(App(), nullptr, &was);
    EXPECT_EQ(PostEmail(App(), now, kTemplateStatusChange, "s"), "");
  }
  EXPECT_EQ(PostEmail(App(), Entry("7,000,001"), kTemplateEntryAdded, "a"), "");
  EXPECT_EQ(PostEmail(App(), Entry("7,000,002"), kTemplateEntryDeleted, "d"), "");
  EXPECT_EQ(PendingList(),
            (std::vector<std::string>{"Larkspire_i7123456.tmp", "Larkspire_i7000001.tmp",
                                      "Larkspire_d7000002.tmp"}));
  const std::string digest = "Larkspire_m" + IsoDayText(TodayDayNumber()) + ".tmp";
  ASSERT_TRUE(SaveFileAtomically(dir_.File(digest), "Subject: half a digest\r\n"));

  ComposeQueuedDigest(App());
  EXPECT_EQ(PendingList(), (std::vector<std::string>{"Larkspire_d7000002.tmp", digest}));
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_i7123456.tmp")));
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_i7000001.tmp")));
  std::string message;
  ASSERT_TRUE(ReadWholeFile(dir_.File(digest), message));
  std::optional<CReadMultipart> read = ReadMultipart(message);
  ASSERT_TRUE(read.has_value()) << message;
  EXPECT_TRUE(read->subject.ends_with(": 1 changed, 0 failed, 1 new")) << read->subject;
  const std::string& text = read->parts["text/plain"];
  EXPECT_NE(text.find("REF-7,123,456, 7,123,456\r\n  Status: now \"Patented <Case>\", was \"\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("New entries:\r\n  REF-7,000,001, 7,000,001\r\n"), std::string::npos);

  // An item whose file outlived the rewrite (the run ended before removing it) is in the
  // digest already: not being listed, it is never composed again.
  ASSERT_TRUE(
      SaveFileAtomically(dir_.File("Larkspire_i7123456.tmp"),
                         FormatDigestItem({DigestItemKind::kNew, "R", "7,123,456", {}, ""})));
  ComposeQueuedDigest(App());
  EXPECT_EQ(PendingList(), (std::vector<std::string>{"Larkspire_d7000002.tmp", digest}));
}

}  // namespace
}  // namespace larkspire
