// The data file is read at every start and written after every update; with 100,000 entries
// both must stay well under half a second. Loading is measured with the rows in the file's own
// order (the usual case: the file was written in the list's order) and shuffled (the sort field
// changed since the last save), and saving on its own; 10,000 and 100,000 entries show whether
// the cost grows with the entries and nothing more.
#include <benchmark/benchmark.h>

#include <string>

#include "SampleEntries.h"
#include "entries/DataFile.h"
#include "entries/EntryList.h"

namespace larkspire {
namespace {

std::string MakeFile(int count, bool shuffled) {
  CEntryList list;
  list.InsertAll(MakeSampleEntries(count));
  if (shuffled) list.SetSort(kReference, false);
  return FormatDataFile(list);
}

void BM_LoadDataFile(benchmark::State& state) {
  const std::string bytes = MakeFile(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    CEntryList list;
    std::string error;
    benchmark::DoNotOptimize(ParseDataFile(bytes, list, error));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(bytes.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LoadDataFile)
    ->ArgNames({"entries", "shuffled"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_SaveDataFile(benchmark::State& state) {
  CEntryList list;
  std::string error;
  ParseDataFile(MakeFile(static_cast<int>(state.range(0)), false), list, error);
  for (auto _ : state) benchmark::DoNotOptimize(FormatDataFile(list));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SaveDataFile)
    ->ArgName("entries")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspire
