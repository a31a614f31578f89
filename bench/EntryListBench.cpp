// Clicking a column header re-sorts the whole list; with 100,000 entries that must feel
// immediate. Reference compares text with numbers in it, FilingDate compares date texts.
#include <benchmark/benchmark.h>

#include "SampleEntries.h"
#include "entries/EntryList.h"

namespace larkspire {
namespace {

constexpr int kEntries = 100000;

void BM_SortEntryList(benchmark::State& state, int field) {
  CEntryList list;
  list.InsertAll(MakeSampleEntries(kEntries));
  bool reversed = false;
  for (auto _ : state) {
    // Alternating the direction makes every pass a real re-sort, never one of a sorted list.
    reversed = !reversed;
    list.SetSort(field, reversed);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kEntries);
}
BENCHMARK_CAPTURE(BM_SortEntryList, Reference, kReference)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SortEntryList, FilingDate, kFilingDate)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspire
