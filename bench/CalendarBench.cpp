// Writing Larkspire.ics for a large office: one open deadline per entry of 100,000, made and
// saved atomically, first over no calendar, then over the calendar as written before (the daily
// case: every event compared with the one in the file, which keeps its stamp).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "SampleEntries.h"
#include "docket/Docket.h"
#include "entries/EntryList.h"
#include "notify/Calendar.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr int64_t kNow = 1796000000;

struct Office {
  CEntryList entries;
  CDocket docket;
};

const Office& LargeOffice(int count) {
  static Office office = [count] {
    Office made;
    std::vector<CEntry> entries;
    std::vector<CDeadline> deadlines;
    for (int i = 0; i < count; ++i) {
      entries.push_back(MakeSampleEntry(i, count));
      CDeadline d;
      d.entry_key = entries.back().Identifier();
      d.reference = entries.back().Text(kReference);
      d.rule_key = i % 2 ? "nonfinal" : "allowance";
      d.what = i % 2 ? "Reply to non-final rejection" : "Issue fee";
      d.opening_event = i % 2 ? "Non-Final Rejection" : "Notice of Allowance Mailed";
      d.opened_on = 46000 + i % 300;
      d.computed_due = d.due = d.opened_on + 90 + i % 3;
      d.extendable = i % 2 == 1;
      d.last_date = d.extendable ? d.due + 92 : d.due;
      deadlines.push_back(d);
    }
    made.entries.InsertAll(std::move(entries));
    made.docket.Replace(std::move(deadlines));
    return made;
  }();
  return office;
}

void BM_WriteCalendar(benchmark::State& state) {
  const Office& office = LargeOffice(100000);
  const std::string previous =
      state.range(0) != 0 ? FormatCalendar(office.docket, office.entries, "", kNow) : "";
  const std::string path =
      (std::filesystem::temp_directory_path() / "larkspire-bench-calendar.ics").string();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = FormatCalendar(office.docket, office.entries, previous, kNow + 86400);
    if (!SaveFileAtomically(path, text)) state.SkipWithError("the calendar was not saved");
    bytes = text.size();
  }
  RemoveFile(path);
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteCalendar)
    ->ArgName("over_previous")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace larkspire
