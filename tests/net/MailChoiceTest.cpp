#include <gtest/gtest.h>

#include "net/MailChoice.h"

namespace larkspire {
namespace {

// Three addresses: one with each of two choices and one without a choice (the mode's).
TEST(MailChoice, EachKindGoesToTheAddressesWhoseChoiceTakesIt) {
  const struct {
    const char* mode;
    std::vector<std::string> choices;
    MailKind kind;
    const char* receivers;
  } cases[] = {
      // No choices and no mode: every address receives everything, as before.
      {"", {}, MailKind::kChange, "a@x, b@x, c@x"},
      {"", {}, MailKind::kDigest, ""},
      {"each", {}, MailKind::kNewEntry, "a@x, b@x, c@x"},
      {"DIGEST", {}, MailKind::kChange, ""},
      {"digest", {}, MailKind::kDigest, "a@x, b@x, c@x"},
      {"digest", {}, MailKind::kReminder, "a@x, b@x, c@x"},
      {"digest", {}, MailKind::kOther, "a@x, b@x, c@x"},
      {"each", {"deadlines", "reminders"}, MailKind::kChange, "c@x"},
      {"each", {"deadlines", "reminders"}, MailKind::kDeadlineChange, "a@x, c@x"},
      {"each", {"deadlines", "reminders"}, MailKind::kNewEntry, "c@x"},
      {"each", {"deadlines", "reminders"}, MailKind::kReminder, "a@x, b@x, c@x"},
      {"digest", {"all", "Digest"}, MailKind::kChange, "a@x"},
      {"digest", {"all", "Digest"}, MailKind::kDigest, "b@x, c@x"},
      {"each", {"", "digest"}, MailKind::kDigest, "b@x"},
      // A choice this version does not know counts as none.
      {"each", {"weekly", "reminders", "none"}, MailKind::kChange, "a@x, c@x"},
  };
  for (const auto& c : cases) {
    const CMailChoices choices{{"a@x", "b@x", "c@x"}, c.choices, ChoiceOfMailMode(c.mode)};
    EXPECT_EQ(choices.Receivers(c.kind), c.receivers)
        << c.mode << " " << testing::PrintToString(c.choices) << " " << static_cast<int>(c.kind);
  }
}

TEST(MailChoice, WhatARunMustWriteFollowsTheChoicesOrTheModeWithoutAddresses) {
  const CMailChoices none{{}, {}, MailChoice::kDigest};
  EXPECT_TRUE(none.AnyChooses(MailChoice::kDigest));
  EXPECT_FALSE(none.AnyChooses(MailChoice::kAll));
  const CMailChoices mixed{{"a@x", "b@x"}, {"reminders"}, MailChoice::kAll};
  EXPECT_TRUE(mixed.AnyChooses(MailChoice::kReminders));
  EXPECT_TRUE(mixed.AnyChooses(MailChoice::kAll));
  EXPECT_FALSE(mixed.AnyChooses(MailChoice::kDigest));
}

TEST(MailChoice, NamesReadBack) {
  for (MailChoice choice :
       {MailChoice::kAll, MailChoice::kDeadlines, MailChoice::kReminders, MailChoice::kDigest}) {
    EXPECT_EQ(ParseMailChoice(MailChoiceName(choice)), choice);
  }
  EXPECT_EQ(ParseMailChoice("al"), std::nullopt);
}

TEST(MailChoice, ValuesWrittenByHandThatAreNotKnownAreNamed) {
  EXPECT_EQ(UnknownMailSettings("", {}), std::vector<std::string>{});
  EXPECT_EQ(UnknownMailSettings("Digest", {"", "ALL", "reminders"}), std::vector<std::string>{});
  EXPECT_EQ(UnknownMailSettings("digests", {"all", "alll"}),
            (std::vector<std::string>{
                "MailMode \"digests\" is neither each nor digest: each change is mailed on its own",
                "NotifyChoice2 \"alll\" is not all, deadlines, reminders or digest: its address "
                "receives what MailMode gives"}));
}

}  // namespace
}  // namespace larkspire
