#include <gtest/gtest.h>

#include <map>

#include "docket/Docket.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

int32_t Day(const std::string& text) { return ParseDayNumber(text); }

const CDeadlineRules& BuiltInRules() {
  static const std::string text = ChooseRulesText("");
  static const CDeadlineRules rules =
      ReadDeadlineRules(CRules{text, [](std::string_view) { return std::string(); }});
  return rules;
}

CEntryFacts Application(const std::string& number = "10/123,456") {
  CEntryFacts entry;
  entry.entry_key = number;
  entry.application_number = number;
  entry.reference = "K-100";
  return entry;
}

CStatusEvent Event(const std::string& day, const std::string& code, const std::string& text) {
  return CStatusEvent{Day(day), code, text};
}

std::vector<const CDeadline*> OpenOf(const CDocket& docket, const std::string& entry_key) {
  std::vector<const CDeadline*> open;
  for (const CDeadline* deadline : docket.ForEntry(entry_key)) {
    if (deadline->IsOpen()) open.push_back(deadline);
  }
  return open;
}

TEST(DocketHistory, ARejectionOpensAReplyDeadlineThatTheReplyCloses) {
  CDocket docket;
  const CEntryFacts entry = Application();
  std::vector<CStatusEvent> history = {
      Event("2024-01-10", "IDS", "Information Disclosure Statement (IDS) Filed"),
      Event("2024-02-27", "CTNF", "Non-Final Rejection"),
  };
  EXPECT_TRUE(docket.ApplyHistory(BuiltInRules(), entry, history));
  const CDeadline* next = docket.NextOpen(entry.entry_key);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->what, "Reply to non-final rejection");
  EXPECT_EQ(next->reference, "K-100");
  EXPECT_EQ(next->opening_event, "Non-Final Rejection");
  // Three months on is Memorial Day; six months on is a Tuesday.
  EXPECT_EQ(FormatDayNumber(next->computed_due), "2024-05-27");
  EXPECT_EQ(FormatDayNumber(next->due), "2024-05-28");
  EXPECT_EQ(FormatDayNumber(next->last_date), "2024-08-27");
  EXPECT_TRUE(next->extendable);
  // The same history again changes nothing.
  EXPECT_FALSE(docket.ApplyHistory(BuiltInRules(), entry, history));

  history.push_back(Event("2024-05-01", "A...", "Response after Non-Final Action"));
  EXPECT_TRUE(docket.ApplyHistory(BuiltInRules(), entry, history));
  EXPECT_EQ(docket.NextOpen(entry.entry_key), nullptr);
  ASSERT_EQ(docket.ForEntry(entry.entry_key).size(), 1u);
  const CDeadline& closed = *docket.ForEntry(entry.entry_key)[0];
  EXPECT_EQ(FormatDayNumber(closed.closed_on), "2024-05-01");
  EXPECT_EQ(closed.closing_event, "Response after Non-Final Action");
}

TEST(DocketHistory, ASecondRejectionReopensAndEventsOfADayMayComeInAnyOrder) {
  CDocket docket;
  const CEntryFacts entry = Application();
  // Newest first, as the portal lists them; the rejection and its mailing share a day.
  const std::vector<CStatusEvent> history = {
      Event("2024-10-01", "MCTFR", "Mail Final Rejection (PTOL - 326)"),
      Event("2024-10-01", "CTFR", "Final Rejection"),
      Event("2024-06-03", "A...", "Response after Non-Final Action"),
      Event("2024-03-01", "MCTNF", "Mail Non-Final Rejection"),
      Event("2024-03-01", "CTNF", "Non-Final Rejection"),
  };
  docket.ApplyHistory(BuiltInRules(), entry, history);
  ASSERT_EQ(docket.ForEntry(entry.entry_key).size(), 2u);
  const std::vector<const CDeadline*> open = OpenOf(docket, entry.entry_key);
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0]->what, "Reply to final rejection");
  EXPECT_EQ(FormatDayNumber(open[0]->opened_on), "2024-10-01");
  EXPECT_EQ(FormatDayNumber(open[0]->due), "2025-01-02");  // Jan 1 is New Year's Day

  // A request for continued examination answers the final rejection; the next non-final
  // rejection opens a new reply deadline.
  std::vector<CStatusEvent> later = history;
  later.insert(later.begin(),
               {Event("2025-04-15", "CTNF", "Non-Final Rejection"),
                Event("2024-12-20", "RCEX", "Request for Continued Examination (RCE)")});
  docket.ApplyHistory(BuiltInRules(), entry, later);
  const std::vector<const CDeadline*> reopened = OpenOf(docket, entry.entry_key);
  ASSERT_EQ(reopened.size(), 1u);
  EXPECT_EQ(reopened[0]->what, "Reply to non-final rejection");
  EXPECT_EQ(FormatDayNumber(reopened[0]->opened_on), "2025-04-15");
  EXPECT_EQ(docket.ForEntry(entry.entry_key).size(), 3u);
}

TEST(DocketHistory, DoneMarksSurviveARecomputationAndAnUndo) {
  CDocket docket;
  const CEntryFacts entry = Application();
  const std::vector<CStatusEvent> history = {Event("2024-03-01", "CTNF", "Non-Final Rejection")};
  docket.ApplyHistory(BuiltInRules(), entry, history);
  const std::string uid = docket.NextOpen(entry.entry_key)->Uid();
  EXPECT_TRUE(docket.SetDone(uid, true));
  EXPECT_FALSE(docket.SetDone(uid, true));
  EXPECT_EQ(docket.NextOpen(entry.entry_key), nullptr);
  EXPECT_FALSE(docket.ApplyHistory(BuiltInRules(), entry, history));
  EXPECT_EQ(docket.NextOpen(entry.entry_key), nullptr);
  // A history that no longer opens it keeps the deadline marked done.
  docket.ApplyHistory(BuiltInRules(), entry, {});
  ASSERT_NE(docket.Find(uid), nullptr);
  EXPECT_TRUE(docket.Find(uid)->done);
  EXPECT_TRUE(docket.SetDone(uid, false));
  EXPECT_EQ(docket.NextOpen(entry.entry_key)->Uid(), uid);
  EXPECT_FALSE(docket.SetDone("no such deadline", true));
}

TEST(DocketLastEvent, OnlyAClosingEventClosesAndAnUnrelatedLastEventChangesNothing) {
  CDocket docket;
  const CEntryFacts entry = Application();
  EXPECT_TRUE(docket.ApplyLastEvent(BuiltInRules(), entry,
                                    Event("2024-03-01", "", "Mail Non-Final Rejection")));
  // Seen again on the next run.
  EXPECT_FALSE(docket.ApplyLastEvent(BuiltInRules(), entry,
                                     Event("2024-03-01", "", "Mail Non-Final Rejection")));
  for (const char* unrelated : {"Information Disclosure Statement (IDS) Filed",
                                "Change in Power of Attorney (May Include Associate POA)"}) {
    EXPECT_FALSE(docket.ApplyLastEvent(BuiltInRules(), entry, Event("2024-03-20", "", unrelated)))
        << unrelated;
    ASSERT_NE(docket.NextOpen(entry.entry_key), nullptr) << unrelated;
  }
  EXPECT_TRUE(docket.ApplyLastEvent(BuiltInRules(), entry,
                                    Event("2024-05-02", "", "Response after Non-Final Action")));
  EXPECT_EQ(docket.NextOpen(entry.entry_key), nullptr);
  ASSERT_EQ(docket.ForEntry(entry.entry_key).size(), 1u);
  EXPECT_EQ(FormatDayNumber(docket.ForEntry(entry.entry_key)[0]->closed_on), "2024-05-02");

  // A final rejection opens the next; the user marks it done and undoes that.
  EXPECT_TRUE(docket.ApplyLastEvent(BuiltInRules(), entry,
                                    Event("2024-08-05", "", "Mail Final Rejection (PTOL - 326)")));
  const CDeadline* final_reply = docket.NextOpen(entry.entry_key);
  ASSERT_NE(final_reply, nullptr);
  const std::string uid = final_reply->Uid();
  EXPECT_TRUE(docket.SetDone(uid, true));
  EXPECT_EQ(docket.NextOpen(entry.entry_key), nullptr);
  EXPECT_FALSE(docket.ApplyLastEvent(BuiltInRules(), entry,
                                     Event("2024-08-05", "", "Mail Final Rejection (PTOL - 326)")));
  EXPECT_TRUE(docket.SetDone(uid, false));
  EXPECT_EQ(docket.NextOpen(entry.entry_key)->Uid(), uid);
}

TEST(DocketGrant, MaintenanceFeesOnlyForUtilityPatentsStillPayable) {
  struct CCase {
    const char* patent;
    const char* application;
    const char* granted;
    std::size_t fees;
  };
  const CCase cases[] = {
      {"11,000,001", "16/000,001", "2024-02-29", 3},
      {"D1,000,001", "29/000,001", "2024-02-29", 0},
      {"PP35,000", "17/000,002", "2024-02-29", 0},
      // Granted in 2018: the first fee's last day (2022) has passed, the others remain.
      {"10,000,000", "14/643,719", "2018-06-19", 2},
  };
  for (const CCase& c : cases) {
    SCOPED_TRACE(c.patent);
    CDocket docket;
    CEntryFacts entry = Application(c.application);
    entry.patent_number = c.patent;
    entry.grant_day = Day(c.granted);
    entry.today = Day("2024-12-11");
    docket.ApplyLastEvent(BuiltInRules(), entry,
                          Event(c.granted, "", "Recordation of Patent Grant Mailed"));
    EXPECT_EQ(OpenOf(docket, entry.entry_key).size(), c.fees);
  }
  CDocket docket;
  CEntryFacts entry = Application("16/000,001");
  entry.patent_number = "11,000,001";
  entry.grant_day = Day("2024-02-29");
  docket.ApplyHistory(BuiltInRules(), entry, {});
  const CDeadline* first = docket.NextOpen(entry.entry_key);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->what, "Maintenance fee due at 3.5 years");
  EXPECT_EQ(FormatDayNumber(first->window_opens), "2027-02-28");
  EXPECT_EQ(FormatDayNumber(first->computed_due), "2027-08-29");
  EXPECT_EQ(FormatDayNumber(first->due), "2027-08-30");
  EXPECT_EQ(FormatDayNumber(first->last_date), "2028-02-29");
}

TEST(DocketEntries, RemovingAnEntryRemovesOnlyItsDeadlines) {
  CDocket docket;
  const std::vector<std::string> numbers = {"10/000,001", "10/000,002", "10/000,003"};
  for (const std::string& number : numbers) {
    docket.ApplyHistory(BuiltInRules(), Application(number),
                        {Event("2024-03-01", "CTNF", "Non-Final Rejection"),
                         Event("2024-09-03", "MN/=.", "Mail Notice of Allowance")});
  }
  EXPECT_EQ(docket.All().size(), 6u);
  EXPECT_TRUE(docket.RemoveEntry("10/000,001"));
  EXPECT_FALSE(docket.RemoveEntry("10/000,001"));
  EXPECT_EQ(docket.All().size(), 4u);
  EXPECT_TRUE(docket.ForEntry("10/000,001").empty());
  for (const std::string& number : {numbers[1], numbers[2]}) {
    ASSERT_EQ(docket.ForEntry(number).size(), 2u) << number;
    for (const CDeadline* deadline : docket.ForEntry(number)) {
      EXPECT_EQ(deadline->entry_key, number);
    }
    EXPECT_EQ(docket.NextOpen(number)->what, "Issue fee");
  }
  const std::vector<const CDeadline*> open = docket.OpenEarliestFirst();
  ASSERT_EQ(open.size(), 2u);
  EXPECT_LE(open[0]->due, open[1]->due);
}

// Entries come and go and their deadlines grow and shrink in every order; each entry must still
// find exactly its own deadlines, as a docket made afresh of what is left finds them.
TEST(DocketEntries, EachEntryKeepsItsOwnDeadlinesThroughManyChanges) {
  const std::vector<std::vector<CStatusEvent>> histories = {
      {},
      {Event("2024-03-01", "CTNF", "Non-Final Rejection")},
      {Event("2024-03-01", "CTNF", "Non-Final Rejection"),
       Event("2024-09-03", "MN/=.", "Mail Notice of Allowance")},
      {Event("2024-03-01", "CTNF", "Non-Final Rejection"),
       Event("2024-06-03", "A...", "Response after Non-Final Action"),
       Event("2024-08-01", "CTFR", "Final Rejection"),
       Event("2024-11-04", "MN/=.", "Mail Notice of Allowance")},
  };
  const auto number = [](int i) { return "10/" + std::to_string(100000 + i); };
  CDocket docket;
  std::map<std::string, std::size_t> kept;  // entry key -> its history now
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 300; ++i) {
      const std::string key = number(i);
      if ((i + round) % 7 == 0) {
        docket.RemoveEntry(key);
        kept.erase(key);
        continue;
      }
      const std::size_t chosen = static_cast<std::size_t>(i * 3 + round * 5) % histories.size();
      docket.ApplyHistory(BuiltInRules(), Application(key), histories[chosen]);
      kept[key] = chosen;
    }
  }
  CDocket afresh;
  for (const auto& [key, chosen] : kept) {
    afresh.ApplyHistory(BuiltInRules(), Application(key), histories[chosen]);
  }
  EXPECT_EQ(docket.All().size(), afresh.All().size());
  for (int i = 0; i < 300; ++i) {
    const std::string key = number(i);
    const std::vector<const CDeadline*> found = docket.ForEntry(key);
    const std::vector<const CDeadline*> expected = afresh.ForEntry(key);
    ASSERT_EQ(found.size(), expected.size()) << key;
    for (std::size_t d = 0; d < found.size(); ++d) EXPECT_EQ(*found[d], *expected[d]) << key;
  }
}

// An entry is keyed anew when its application is granted or a patent learns its application
// number; the list moves its deadlines to the new key. Whichever source recomputes them then,
// every deadline keeps the UID it had, so a subscribed calendar updates its event instead of
// adding another; a deadline first made after the move gets one of the new key.
TEST(DocketEntries, ADeadlineKeepsItsUidWhenItsEntryIsKeyedAnew) {
  const std::vector<CStatusEvent> history = {
      Event("2024-02-27", "CTNF", "Non-Final Rejection"),
      Event("2024-09-03", "MN/=.", "Mail Notice of Allowance"),
  };
  for (const bool whole_history : {true, false}) {
    CDocket docket;
    CEntryFacts entry = Application("application 10/123,456");
    if (whole_history) {
      docket.ApplyHistory(BuiltInRules(), entry, history);
    } else {
      docket.ApplyLastEvent(BuiltInRules(), entry, history[0]);
      docket.ApplyLastEvent(BuiltInRules(), entry, history[1]);
    }
    std::vector<std::string> before;
    for (const CDeadline* deadline : docket.ForEntry(entry.entry_key)) {
      before.push_back(deadline->Uid());
    }
    ASSERT_EQ(before.size(), 2u) << whole_history;

    std::vector<CDeadline> moved = docket.All();
    for (CDeadline& deadline : moved) deadline.entry_key = "patent 9,123,456";
    docket.Replace(moved);
    entry.entry_key = "patent 9,123,456";
    entry.patent_number = "9,123,456";
    const CStatusEvent granted = Event("2025-01-07", "PTAC", "Patent Issue Date Used in PTA");
    std::vector<CStatusEvent> longer = history;
    longer.push_back(Event("2024-12-05", "IFEE", "Issue Fee Payment Verified"));
    longer.push_back(granted);
    if (whole_history) {
      docket.ApplyHistory(BuiltInRules(), entry, longer);
    } else {
      docket.ApplyLastEvent(BuiltInRules(), entry, longer[2]);
      docket.ApplyLastEvent(BuiltInRules(), entry, granted);
    }
    std::vector<std::string> after;
    for (const CDeadline* deadline : docket.ForEntry(entry.entry_key)) {
      after.push_back(deadline->Uid());
      EXPECT_EQ(docket.Find(deadline->Uid()), deadline);
    }
    EXPECT_EQ(after, before) << whole_history;

    docket.ApplyLastEvent(BuiltInRules(), entry,
                          Event("2025-03-03", "CTNF", "Non-Final Rejection"));
    const CDeadline* added = docket.NextOpen(entry.entry_key);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Uid(), added->KeyedUid());
  }
}

}  // namespace
}  // namespace larkspire
