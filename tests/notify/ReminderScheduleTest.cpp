#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "notify/ReminderSchedule.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

const int32_t kDue = *DayNumberFromCalendar(2027, 3, 15);
const std::vector<int> kOffsets = {30, 7, 1, 0};

TEST(ReminderSchedule, ReminderDaysAreReadAsAListOfOffsetsWithTheDueDate) {
  const struct {
    const char* text;
    std::optional<std::vector<int>> offsets;
  } cases[] = {
      {"30,7,1", std::vector<int>{30, 7, 1, 0}},
      {" 7 , 30 ", std::vector<int>{30, 7, 0}},
      {"1,1,0", std::vector<int>{1, 0}},
      {"366", std::vector<int>{366, 0}},
      {"", std::vector<int>{}},
      {"  ", std::vector<int>{}},
      {"7,,1", std::nullopt},
      {"7,", std::nullopt},
      {"-1", std::nullopt},
      {"367", std::nullopt},
      {"7x", std::nullopt},
      {"seven", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseReminderDays(c.text), c.offsets) << c.text;
}

TEST(ReminderSchedule, TheLatestReminderWhoseDayCameGoesOnceAndLateWhenItsDayPassed) {
  const struct {
    int32_t today;  // relative to the due date
    int32_t opened;
    int32_t last_date;
    std::set<int> queued;
    std::optional<std::pair<int, bool>> expected;  // offset, late
  } cases[] = {
      {-31, -90, 0, {}, std::nullopt},
      {-30, -90, 0, {}, std::pair{30, false}},
      {-30, -90, 0, {30}, std::nullopt},
      {-20, -90, 0, {30}, std::nullopt},
      {-20, -90, 0, {}, std::pair{30, true}},  // the run on the day was missed
      {-7, -90, 0, {30}, std::pair{7, false}},
      {-5, -90, 0, {30}, std::pair{7, true}},
      {-3, -90, 0, {}, std::pair{7, true}},  // two missed: only the latest goes
      {-1, -90, 0, {30, 7}, std::pair{1, false}},
      {0, -90, 0, {30, 7, 1}, std::pair{0, false}},
      {0, -90, 0, {30, 7, 1, 0}, std::nullopt},
      {3, -90, 90, {30, 7, 1}, std::pair{0, true}},  // extendable: still worth a word
      {3, -90, 0, {30, 7, 1}, std::nullopt},         // past its last date
      {-10, -10, 0, {}, std::nullopt},  // opened after the 30-day mark, before the 7-day one
      {-7, -10, 0, {}, std::pair{7, false}},
  };
  for (const auto& c : cases) {
    const std::optional<CReminderDue> due =
        DueReminder(kDue, kDue + c.opened, kDue + c.last_date, kDue + c.today, kOffsets, c.queued);
    const std::optional<std::pair<int, bool>> got =
        due ? std::optional(std::pair{due->offset, due->late}) : std::nullopt;
    EXPECT_EQ(got, c.expected) << "day " << c.today << " opened " << c.opened;
  }
  EXPECT_FALSE(DueReminder(kDue, kDue - 90, kDue, kDue, {}, {}));
}

// Runs day by day over the weeks before the due date, some days missed: each offset goes at
// most once, on its day when a run is there, else late at the next run.
TEST(ReminderSchedule, AMonthOfRunsSendsEachReminderOnce) {
  const struct {
    std::set<int32_t> missed;  // days relative to the due date without a run
    std::vector<std::pair<int, bool>> sent;
  } cases[] = {
      {{}, {{30, false}, {7, false}, {1, false}, {0, false}}},
      {{-30, -29, -7}, {{30, true}, {7, true}, {1, false}, {0, false}}},
      {{-8, -7, -6, -5, -4, -3, -2, -1}, {{30, false}, {0, false}}},
  };
  for (const auto& c : cases) {
    std::set<int> queued;
    std::vector<std::pair<int, bool>> sent;
    for (int32_t day = -40; day <= 5; ++day) {
      if (c.missed.contains(day)) continue;
      for (int run = 0; run < 2; ++run) {  // a second run the same day sends nothing more
        if (auto due = DueReminder(kDue, kDue - 60, kDue, kDue + day, kOffsets, queued)) {
          sent.emplace_back(due->offset, due->late);
          queued.insert(due->offset);
        }
      }
    }
    EXPECT_EQ(sent, c.sent);
  }
}

TEST(ReminderSchedule, TheSubjectSaysHowFarTheDueDateIs) {
  const struct {
    int32_t left;
    bool late;
    const char* text;
  } cases[] = {
      {7, false, "Due in 7 days"},
      {1, false, "Due in 1 day"},
      {0, false, "Due today"},
      {5, true, "Late reminder, due in 5 days"},
      {0, true, "Late reminder, due today"},
      {-1, true, "Late reminder, due 1 day ago"},
      {-2, true, "Late reminder, due 2 days ago"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DueWhenText(kDue, kDue - c.left, c.late), c.text) << c.left;
  }
}

}  // namespace
}  // namespace larkspire
