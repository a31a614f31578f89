// The files the program rewrites whole (patent.dat, the pending list, the saved rules) on a
// logging directory that is full or read-only: the save fails, the old file stays byte for
// byte, no temporary is left behind, and where the user is told, the message says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "entries/DataFile.h"
#include "entries/Identifier.h"
#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "retrieval/RulesUpdate.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "support/NetTestApp.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

enum class NoRoom { kFull, kReadOnly };

CEntry Application(const char* number, const char* reference) {
  CEntry entry;
  EXPECT_FALSE(SetIdentifier(entry, number));
  entry.Text(kReference) = reference;
  return entry;
}

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

class NoRoomToSaveTest : public ::testing::TestWithParam<NoRoom> {
 protected:
  void SetUp() override {
    disk_ = std::make_unique<CSmallDisk>(root_.Path());
    if (!disk_->Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    app().Settings().LogDir.Set(root_.Path());
    ASSERT_TRUE(MakeDirectories(JoinPath(root_.Path(), "Larkspire")));
  }
  CRun& app() { return net_.App(); }
  std::string LogFile(const std::string& name) { return JoinPath(root_.Path(), name); }

  // From here on nothing more can be written to the logging directory.
  void TakeAwayTheRoom() {
    if (GetParam() == NoRoom::kFull) {
      ASSERT_TRUE(disk_->Fill());
    } else {
      ASSERT_TRUE(disk_->MakeReadOnly());
    }
  }

  // Every name in the directory and its subfolder, so a leftover temporary shows.
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root_.Path())) {
      const std::string name = item.path().filename().string();
      // The log is a record, not a saved file: a full disk still takes its empty inode.
      if (name != "filler" && name != kLogFileName) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  CTempDir root_;
  std::unique_ptr<CSmallDisk> disk_;
  CNetTestApp net_;
};

TEST_P(NoRoomToSaveTest, DataFileKeepsTheOldList) {
  CEntryList list;
  list.Insert(Application("10/123,456", "R-1"));
  const std::string path = LogFile(kDataFileName);
  ASSERT_TRUE(SaveDataFile(path, list));
  const std::string old = Read(path);
  const std::vector<std::string> names = Names();

  TakeAwayTheRoom();
  for (int i = 0; i < 50; ++i) list.Insert(Application("10/987,654", "A longer list"));
  EXPECT_FALSE(SaveDataFile(path, list));
  EXPECT_EQ(Read(path), old);
  EXPECT_EQ(Names(), names);
}

TEST_P(NoRoomToSaveTest, AnEditThatCannotBeSavedIsToldWithItsReasonAndTheNextStartFindsTheOldList) {
  LoadEntries(app());
  app().Entries().Insert(Application("10/123,456", "R-1"));
  ASSERT_TRUE(SaveEntries(app()));
  const std::string old = Read(LogFile(kDataFileName));
  const std::vector<std::string> names = Names();

  TakeAwayTheRoom();
  EXPECT_EQ(AddNewEntry(app(), Application("10/987,654", "R-2")),
            "PostEmail: Can't create the pending e-mail file.");
  EXPECT_EQ(app().Entries().Size(), 2u);
  const std::string reason =
      GetParam() == NoRoom::kFull ? "No space left on device" : "Read-only file system";
  ASSERT_FALSE(net_.Ui().messages.empty());
  EXPECT_EQ(net_.Ui().Shown().back(), std::string(kCaption) +
                                          " - Save Failed: The application data file " +
                                          LogFile(kDataFileName) + " could not be saved (" +
                                          reason + "); it keeps what it held before.");
  EXPECT_TRUE(app().Status().had_failures);
  EXPECT_EQ(Read(LogFile(kDataFileName)), old);
  EXPECT_EQ(Names(), names);
  CEntryList next_start;
  std::string error;
  ASSERT_TRUE(LoadDataFile(LogFile(kDataFileName), next_start, error));
  ASSERT_EQ(next_start.Size(), 1u);
  EXPECT_EQ(next_start.At(0).Text(kReference), "R-1");
}

TEST_P(NoRoomToSaveTest, NotificationThatCannotBeQueuedIsReportedAndTheQueueKept) {
  const CEntry first = Application("10/123,456", "R-1");
  {
    CExpansionScope scope(app(), &first);
    ASSERT_EQ(PostEmail(app(), first, kTemplateEntryAdded, "a"), "");
  }
  const std::string list = Read(LogFile(kPendingListName));
  const std::vector<std::string> names = Names();

  TakeAwayTheRoom();
  const CEntry second = Application("10/987,654", "R-2");
  {
    CExpansionScope scope(app(), &second);
    EXPECT_EQ(PostEmail(app(), second, kTemplateEntryAdded, "a"),
              "PostEmail: Can't create the pending e-mail file.");
  }
  EXPECT_EQ(Read(LogFile(kPendingListName)), list);
  EXPECT_EQ(Names(), names);
  ASSERT_FALSE(net_.Ui().messages.empty());
  EXPECT_EQ(net_.Ui().Shown().back(),
            std::string(kCaption) +
                " - E-Mail Creation Failed: PostEmail: Can't create the pending e-mail file.");
}

TEST_P(NoRoomToSaveTest, SavedRulesKeepTheOldCopy) {
  const std::string path = JoinPath(JoinPath(root_.Path(), "Larkspire"), "rules.txt");
  app().Rules().downloaded = true;
  app().Rules().text = "version: 9.0.00.000\r\nold rules\r\nend-of-rules\r\n";
  SaveRules(app());
  const std::string old = Read(path);
  ASSERT_EQ(old, app().Rules().text);
  const std::vector<std::string> names = Names();

  TakeAwayTheRoom();
  app().Rules().text = "version: 9.1.00.000\r\n" + std::string(80000, ';') + "\r\nend-of-rules\r\n";
  SaveRules(app());
  EXPECT_EQ(Read(path), old);
  EXPECT_EQ(Names(), names);
}

INSTANTIATE_TEST_SUITE_P(FullOrReadOnly, NoRoomToSaveTest,
                         ::testing::Values(NoRoom::kFull, NoRoom::kReadOnly), [](const auto& info) {
                           return info.param == NoRoom::kFull ? "Full" : "ReadOnly";
                         });

// Without root: a logging directory that cannot exist (its parent is a regular file).
TEST(NoRoomToSave, LoggingDirectoryUnderARegularFileFailsEveryWriterQuietlyOrWithItsMessage) {
  CTempDir root;
  ASSERT_TRUE(SaveFileAtomically(root.File("plain"), "not a directory"));
  CNetTestApp net;
  net.App().Settings().LogDir.Set(root.File("plain/log"));
  CEntryList list;
  list.Insert(Application("10/123,456", "R-1"));
  EXPECT_FALSE(SaveDataFile(JoinPath(root.File("plain/log"), kDataFileName), list));
  const CEntry entry = Application("10/123,456", "R-1");
  CExpansionScope scope(net.App(), &entry);
  EXPECT_EQ(PostEmail(net.App(), entry, kTemplateEntryAdded, "a"),
            "PostEmail: Can't create the pending e-mail file.");
  EXPECT_EQ(Read(root.File("plain")), "not a directory");
}

}  // namespace
}  // namespace larkspire
