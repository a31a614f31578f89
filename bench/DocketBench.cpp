// The docket is computed again for every entry an update touches; with 100,000 entries the
// whole docket must take well under a tenth of a second. Each entry has a history of a dozen
// events as the Open Data Portal gives them (a rejection, its reply, a final rejection, an
// allowance, some unrelated filings), or only its last event as the status site shows it; a
// fifth of them are granted utility patents with their maintenance fees.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <optional>
#include <string>
#include <vector>

#include "docket/Docket.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

struct CSample {
  CEntryFacts entry;
  std::vector<CStatusEvent> history;  // newest first, as the portal lists them
};

std::vector<CSample> MakeSamples(int count) {
  const struct {
    int offset;  // days after the entry's filing
    const char* code;
    const char* text;
  } steps[] = {
      {0, "IEXX", "Initial Exam Team nn"},
      {30, "OIPE", "Application Dispatched from OIPE"},
      {60, "DOCK", "Case Docketed to Examiner in GAU"},
      {200, "IDS", "Information Disclosure Statement (IDS) Filed"},
      {400, "CTNF", "Non-Final Rejection"},
      {400, "MCTNF", "Mail Non-Final Rejection"},
      {480, "A...", "Response after Non-Final Action"},
      {600, "CTFR", "Final Rejection"},
      {600, "MCTFR", "Mail Final Rejection (PTOL - 326)"},
      {700, "RCEX", "Request for Continued Examination (RCE)"},
      {820, "MN/=.", "Mail Notice of Allowance"},
      {830, "COCX", "Correspondence Address Change"},
  };
  std::vector<CSample> samples(static_cast<std::size_t>(count));
  const int32_t first_filing = *DayNumberFromCalendar(2015, 1, 5);
  for (int i = 0; i < count; ++i) {
    CSample& sample = samples[static_cast<std::size_t>(i)];
    const std::string number = std::to_string(14000000 + i);
    sample.entry.entry_key =
        number.substr(0, 2) + "/" + number.substr(2, 3) + "," + number.substr(5);
    sample.entry.application_number = sample.entry.entry_key;
    sample.entry.reference = "REF-" + std::to_string(i);
    sample.entry.today = *DayNumberFromCalendar(2026, 12, 11);
    const int32_t filed = first_filing + (i * 7) % 3000;
    const std::size_t shown = 4 + static_cast<std::size_t>(i) % (std::size(steps) - 3);
    for (std::size_t s = shown; s-- > 0;) {
      sample.history.push_back({filed + steps[s].offset, steps[s].code, steps[s].text});
    }
    if (i % 5 == 0) {
      sample.entry.patent_number = std::to_string(9000000 + i);
      sample.entry.grant_day = filed + 1000;
    }
  }
  return samples;
}

const CDeadlineRules& Rules() {
  static const std::string text = ChooseRulesText("");
  static const CDeadlineRules rules =
      ReadDeadlineRules(CRules{text, [](std::string_view) { return std::string(); }});
  return rules;
}

// Each round computes the samples into an empty docket with apply, as an update of the whole
// list does into a docket with room for it.
template <typename Apply>
void ComputeIntoEmptyDocket(benchmark::State& state, const std::vector<CSample>& samples,
                            Apply apply) {
  for (auto _ : state) {
    // Freeing the docket of the round before is no part of computing this one.
    state.PauseTiming();
    std::optional<CDocket> docket;
    docket.emplace();
    state.ResumeTiming();
    docket->Reserve(samples.size());
    for (const CSample& sample : samples) apply(*docket, sample);
    benchmark::DoNotOptimize(docket->All().data());
    state.PauseTiming();
    docket.reset();
    // Every round takes its memory from the system, as the first computation of a process
    // does; memory kept from the round before made the figures swing by half.
    malloc_trim(0);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_DocketFromHistories(benchmark::State& state) {
  ComputeIntoEmptyDocket(state, MakeSamples(static_cast<int>(state.range(0))),
                         [](CDocket& docket, const CSample& sample) {
                           docket.ApplyHistory(Rules(), sample.entry, sample.history);
                         });
}
BENCHMARK(BM_DocketFromHistories)
    ->ArgName("entries")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The daily case: the docket is there, and every entry is computed again with nothing new.
void BM_DocketRecomputed(benchmark::State& state) {
  const std::vector<CSample> samples = MakeSamples(static_cast<int>(state.range(0)));
  CDocket docket;
  for (const CSample& sample : samples) docket.ApplyHistory(Rules(), sample.entry, sample.history);
  for (auto _ : state) {
    for (const CSample& sample : samples) {
      benchmark::DoNotOptimize(docket.ApplyHistory(Rules(), sample.entry, sample.history));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_DocketRecomputed)->ArgName("entries")->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DocketFromLastEvents(benchmark::State& state) {
  ComputeIntoEmptyDocket(state, MakeSamples(static_cast<int>(state.range(0))),
                         [](CDocket& docket, const CSample& sample) {
                           docket.ApplyLastEvent(Rules(), sample.entry, sample.history.front());
                         });
}
BENCHMARK(BM_DocketFromLastEvents)->ArgName("entries")->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DocketOpenEarliestFirst(benchmark::State& state) {
  const std::vector<CSample> samples = MakeSamples(static_cast<int>(state.range(0)));
  CDocket docket;
  for (const CSample& sample : samples) docket.ApplyHistory(Rules(), sample.entry, sample.history);
  for (auto _ : state) benchmark::DoNotOptimize(docket.OpenEarliestFirst());
}
BENCHMARK(BM_DocketOpenEarliestFirst)
    ->ArgName("entries")
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspire
