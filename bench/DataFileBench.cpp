// The data file is read at every start and written after every update; with 100,000 entries
// both must stay well under half a second. Loading is measured with the rows in the file's own
// order (the usual case: the file was written in the list's order) and shuffled (the sort field
// changed since the last save), and saving on its own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "entries/DataFile.h"
#include "entries/EntryList.h"

namespace larkspire {
namespace {

constexpr int kEntries = 100000;

CEntry MakeEntry(int i) {
  CEntry e;
  e.frequency = i % 5;
  e.last_update = 39000 + i % 90;
  e.last_change = 38000 + i % 700;
  char number[16];
  std::snprintf(number, sizeof number, "%02d/%03d,%03d", 10 + i / 1000000, i / 1000 % 1000,
                i % 1000);
  e.Text(kAppNum) = number;
  e.Text(kReference) = "K-" + std::to_string(i * 7919 % kEntries);
  e.Text(kDocketNumber) = e.Text(kReference);
  e.Text(kFilingDate) = "2004-03-01";
  e.Text(kExaminer) = i % 3 ? "SMITH, JOHN" : "JONES, MARY ELIZABETH";
  e.Text(kArtUnit) = "1641";
  e.Text(kClass) = "435/6";
  e.Text(kLocation) = "FILE REPOSITORY (FRANCONIA)";
  e.Text(kStatus) = "Non Final Action Mailed";
  e.Text(kCustNum) = "22850";
  e.Text(kParentContinuity) = "This application is a CON of 09/999,999 03/01/2001 PAT 6,000,000";
  e.Text(kLastHistoryDate) = "2006-05-04";
  e.Text(kLastHistoryText) = "Mail Non-Final Rejection";
  e.Text(kPubNum) = "2005-0123456 A1";
  e.Text(kPubDate) = "2005-06-02";
  e.Text(kConfirmNum) = "4321";
  return e;
}

std::string MakeFile(bool shuffled) {
  std::vector<CEntry> entries;
  entries.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) entries.push_back(MakeEntry(i));
  CEntryList list;
  list.InsertAll(std::move(entries));
  if (shuffled) list.SetSort(kReference, false);
  return FormatDataFile(list);
}

void LoadDataFile100k(benchmark::State& state) {
  const std::string bytes = MakeFile(state.range(0) != 0);
  for (auto _ : state) {
    CEntryList list;
    std::string error;
    benchmark::DoNotOptimize(ParseDataFile(bytes, list, error));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(bytes.size()));
}
BENCHMARK(LoadDataFile100k)->ArgName("shuffled")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void SaveDataFile100k(benchmark::State& state) {
  CEntryList list;
  std::string error;
  ParseDataFile(MakeFile(false), list, error);
  for (auto _ : state) benchmark::DoNotOptimize(FormatDataFile(list));
}
BENCHMARK(SaveDataFile100k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspire
