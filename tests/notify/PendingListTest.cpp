// The pending list grows by appends committed after the messages they name, posts of a batch
// are committed together and before the data file is saved, and a list written by the earlier
// release (rewritten whole) is read and sent as before.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/PendingList.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "rules/RulesFile.h"
#include "run/Run.h"
#include "support/NetTestApp.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class PendingListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CRun& app = App();
    app.Settings().LogDir.Set(dir_.Path());
    app.Settings().ReturnAddress.Set("docketing@office.example");
    app.Settings().NotifyAddress.Items() = {"partners@office.example"};
    app.Settings().OrgName.Set("Test Office");
    LoadRules(app);
  }

  CRun& App() { return net_.App(); }
  std::string ListPath() { return dir_.File(kPendingListName); }

  std::string Post(const char* patent, const char* kind = "s") {
    CEntry entry;
    entry.Text(kPatNum) = patent;
    entry.Text(kReference) = std::string("REF-") + patent;
    return PostEmail(App(), entry, *kind == 's' ? kTemplateStatusChange : kTemplateEntryAdded,
                     kind);
  }

  std::string ListBytes() {
    std::string bytes;
    ReadWholeFile(ListPath(), bytes);
    return bytes;
  }
  std::vector<std::string> Names() { return ReadPendingNames(ListBytes()); }

  CTempDir dir_;
  CNetTestApp net_;
};

TEST_F(PendingListTest, OutsideABatchEachPostIsAppendedAtOnce) {
  ASSERT_EQ(Post("1,111,111"), "");
  const std::string first = ListBytes();
  EXPECT_EQ(first, "Larkspire_s1111111.tmp\r\n");
  const std::optional<FileIdentity> before = FileIdentityOf(ListPath());
  ASSERT_EQ(Post("2,222,222"), "");
  // The same file grown at its end, not a new one written whole.
  EXPECT_EQ(ListBytes(), first + "Larkspire_s2222222.tmp\r\n");
  EXPECT_EQ(FileIdentityOf(ListPath())->inode, before->inode);
  EXPECT_EQ(App().Settings().CountEmailPost.Int(0), 2);
  EXPECT_TRUE(App().EmailQueue().uncommitted.empty());
}

TEST_F(PendingListTest, ABatchListsItsMessagesTogetherWhenTheOutermostOneCloses) {
  {
    CEmailBatch batch(App());
    ASSERT_EQ(Post("1,111,111"), "");
    ASSERT_EQ(Post("1,111,111"), "");  // waiting, not yet listed: still taken
    ASSERT_EQ(Post("1,111,111", "a"), "");
    {
      CEmailBatch inner(App());
      ASSERT_EQ(Post("3,333,333"), "");
    }
    EXPECT_TRUE(FileExists(dir_.File("Larkspire_s1111111~2.tmp")));
    EXPECT_FALSE(EmailPending(App())) << "nothing listed before the batch is over";
    EXPECT_EQ(App().Settings().CountEmailPost.Int(0), 0);
  }
  EXPECT_EQ(ListBytes(),
            "Larkspire_s1111111.tmp\r\nLarkspire_s1111111~2.tmp\r\nLarkspire_a1111111.tmp\r\n"
            "Larkspire_s3333333.tmp\r\n");
  EXPECT_EQ(App().Settings().CountEmailPost.Int(0), 4);
}

TEST_F(PendingListTest, SavingTheDataFileCommitsTheRunsNoticesFirst) {
  App().Status().loaded = true;
  CEmailBatch batch(App());
  ASSERT_EQ(Post("1,111,111"), "");
  EXPECT_FALSE(FileExists(ListPath()));
  EXPECT_TRUE(SaveEntries(App()));
  EXPECT_EQ(Names(), std::vector<std::string>{"Larkspire_s1111111.tmp"});
  EXPECT_TRUE(FileExists(dir_.File("patent.dat")));
  EXPECT_TRUE(App().EmailQueue().uncommitted.empty());
}

TEST_F(PendingListTest, NewNamesAvoidWhatTheListOnDiskHoldsNow) {
  ASSERT_EQ(Post("1,111,111"), "");
  // The list changes behind the run's back: rewritten whole (as a send leaves it) ...
  ASSERT_TRUE(SaveFileAtomically(ListPath(), "Larkspire_s2222222.tmp\r\n"));
  ASSERT_EQ(Post("2,222,222"), "");
  ASSERT_EQ(Post("1,111,111"), "");
  // ... and grown in place by another writer.
  ASSERT_TRUE(AppendToFile(ListPath(), "Larkspire_a3333333.tmp\r\n"));
  ASSERT_EQ(Post("3,333,333", "a"), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Larkspire_s2222222.tmp", "Larkspire_s2222222~2.tmp",
                                               "Larkspire_s1111111.tmp", "Larkspire_a3333333.tmp",
                                               "Larkspire_a3333333~2.tmp"}));
}

TEST_F(PendingListTest, ALineCutShortIsEndedBeforeTheNextName) {
  ASSERT_TRUE(SaveFileAtomically(ListPath(), "Larkspire_a1111111.tmp\r\nLarkspire_s22"));
  ASSERT_EQ(Post("3,333,333"), "");
  EXPECT_EQ(ListBytes(), "Larkspire_a1111111.tmp\r\nLarkspire_s22\r\nLarkspire_s3333333.tmp\r\n");
}

TEST_F(PendingListTest, AQueueTheEarlierReleaseWroteIsSent) {
  CSmtpTestServer server;
  App().Settings().SmtpServer.Set(server.HostPort());
  App().Settings().CountEmailBatchSucceeded.SetInt(1);  // no activity report this time
  for (const char* name : {"Larkspire_s1111111.tmp", "Larkspire_a2222222.tmp"}) {
    ASSERT_TRUE(SaveFileAtomically(dir_.File(name), "Subject: Status\r\n\r\nChanged.\r\n"));
  }
  // Rewritten whole, lines with CR LF but the last, which counts all the same.
  ASSERT_TRUE(SaveFileAtomically(ListPath(), "Larkspire_s1111111.tmp\r\nLarkspire_a2222222.tmp"));
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  ASSERT_TRUE(server.WaitForSessions(2));
  EXPECT_EQ(server.Accepted(), 2);
  EXPECT_FALSE(EmailPending(App()));
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_a2222222.tmp")));
}

TEST_F(PendingListTest, AListThatCannotTakeTheNamesHoldsBackTheDataFile) {
  App().Status().loaded = true;
  ASSERT_TRUE(MakeDirectories(ListPath()));  // no file can be appended under this name
  const std::string failed = "PostEmail: Can't create the e-mail notification file.";
  // Outside a batch the post fails and leaves nothing behind, as before.
  EXPECT_EQ(Post("1,111,111"), failed);
  EXPECT_FALSE(FileExists(dir_.File("Larkspire_s1111111.tmp")));
  {
    CEmailBatch batch(App());
    EXPECT_EQ(Post("2,222,222"), "");
    // The change is not saved while its notice cannot be queued: a later run finds it again.
    EXPECT_FALSE(SaveEntries(App()));
    EXPECT_FALSE(FileExists(dir_.File("patent.dat")));
    EXPECT_TRUE(App().Status().had_failures);
    ASSERT_FALSE(net_.Ui().messages.empty());
    EXPECT_EQ(net_.Ui().messages.back().caption, "Larkspire\xAE - E-Mail Creation Failed");
    EXPECT_EQ(net_.Ui().messages.back().text, failed);
    // Once the list can be written, the waiting notice goes in before the save.
    ASSERT_EQ(::rmdir(ListPath().c_str()), 0);
    EXPECT_TRUE(SaveEntries(App()));
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"Larkspire_s2222222.tmp"});
  EXPECT_TRUE(FileExists(dir_.File("patent.dat")));
  EXPECT_EQ(App().Settings().CountEmailPost.Int(0), 1);
}

}  // namespace
}  // namespace larkspire
