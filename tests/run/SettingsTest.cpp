#include <gtest/gtest.h>

#include "run/Settings.h"

namespace larkspire {
namespace {

TEST(Timeout, ParsesSecondsMinutesAndTheMinimum) {
  EXPECT_EQ(ParseTimeout(""), 120000u);
  EXPECT_EQ(ParseTimeout("10"), 30000u);
  EXPECT_EQ(ParseTimeout("45 seconds"), 45000u);
  EXPECT_EQ(ParseTimeout("5 minutes"), 300000u);
  EXPECT_EQ(ParseTimeout("1m"), 60000u);
  EXPECT_EQ(ParseTimeout("junk"), 30000u);
  EXPECT_EQ(TimeoutChoiceText(30000), "30 seconds");
  EXPECT_EQ(TimeoutChoiceText(60000), "1 minutes");
  EXPECT_EQ(TimeoutChoiceText(600000), "10 minutes");
}

TEST(Setting, ReadsAtConstructionAndWritesAtDestruction) {
  CMemorySettingsBackend backend;
  backend.Write("Settings", "CountExec", "41 runs");
  {
    CSetting count(backend, "CountExec");
    EXPECT_EQ(count.Int(7), 41);
    count.Increment();
    EXPECT_EQ(backend.Read("Settings", "CountExec"), "41 runs");  // not yet written
  }
  EXPECT_EQ(backend.Read("Settings", "CountExec"), "42");
  CSetting empty(backend, "Missing");
  EXPECT_EQ(empty.Int(7), 7);
}

TEST(ListSetting, ShrinkingLeavesOnlyTheRemainingValues) {
  CMemorySettingsBackend backend;
  {
    CListSetting list(backend, "NotifyAddress");
    list.Items() = {"a@x.example", "b@x.example, c@x.example", "d@x.example"};
  }
  {
    CListSetting list(backend, "NotifyAddress");
    ASSERT_EQ(list.Items().size(), 3u);
    EXPECT_EQ(list.Items()[1], "b@x.example, c@x.example");
    list.Items().resize(1);
  }
  EXPECT_EQ(backend.Read("Settings", "NotifyAddress1"), "a@x.example");
  EXPECT_FALSE(backend.Read("Settings", "NotifyAddress2"));
  EXPECT_FALSE(backend.Read("Settings", "NotifyAddress3"));
}

TEST(Settings, EveryValueExistsAfterARunInItsGroup) {
  CMemorySettingsBackend backend;
  { CSettings settings(backend); }
  for (const char* name : {"ProxyServer", "UserName", "Password", "OrgName", "SmtpServer",
                           "ReturnAddress", "LogDir", "ReportDir", "Left", "Top", "Right",
                           "Bottom", "SortBy", "SortReversed", "TopIndex", "CountExec",
                           "CountStatusChange", "CountUpdateSucceeded", "CountUpdateFailed",
                           "CountEmailPost", "CountEmailBatchSucceeded", "CountEmailBatchFailed",
                           "GUID", "Timeout", "ColWidthFrequency", "ColWidthError",
                           "DetailsVisible", "TCPIPBottom", "CaFile"}) {
    EXPECT_TRUE(backend.Read("Settings", name)) << name;
  }
  EXPECT_TRUE(backend.Read("", "ShortcutFolder"));
  EXPECT_TRUE(backend.Read("", "Install"));
  EXPECT_FALSE(backend.Read("Settings", "Install"));
}

TEST(Guid, BracedRegistryForm) {
  std::string a = CreateGuidText();
  ASSERT_EQ(a.size(), 38u);
  EXPECT_EQ(a.front(), '{');
  EXPECT_EQ(a.back(), '}');
  for (std::size_t i : {9u, 14u, 19u, 24u}) EXPECT_EQ(a[i], '-') << i;
  EXPECT_NE(a, CreateGuidText());
}

}  // namespace
}  // namespace larkspire
