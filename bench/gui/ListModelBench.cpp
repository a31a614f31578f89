// The list with ten thousand entries: sorting the core's list, resetting the view over it (with
// the selection shown again), and painting a screenful after a scroll. Each must stay well
// below what a user would notice as a pause.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>

#include "entries/EntryList.h"
#include "ui/EntryListModel.h"
#include "ui/EntryListView.h"

namespace larkspire {
namespace {

constexpr int kRows = 10000;

// Entries with every sorted field filled, in an order unrelated to any of them.
CEntryList MakeEntries(int count) {
  static const char* kExaminers[] = {"NGUYEN, THANH", "PATEL, RAJ",    "",           "MORGAN, LISA",
                                     "OKAFOR, CHIDI", "brennan, kate", "SATO, KENJI"};
  CEntryList entries;
  std::vector<CEntry> all;
  uint32_t seed = 12345;
  const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < count; ++i) {
    CEntry entry;
    char text[64];
    std::snprintf(text, sizeof text, "CAL-%05uUS", next() % 100000);
    entry.SetText(kReference, text);
    std::snprintf(text, sizeof text, "%02u/%03u,%03u", 9 + next() % 4, next() % 1000,
                  next() % 1000);
    entry.SetText(kAppNum, text);
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", 1998 + next() % 12, 1 + next() % 12,
                  1 + next() % 28);
    entry.SetText(kFilingDate, text);
    entry.SetText(kExaminer, kExaminers[next() % 7]);
    entry.SetText(kLastHistoryText, "Mail Non-Final Rejection");
    entry.frequency = static_cast<int32_t>(next() % 5);
    entry.last_update = 39000 + static_cast<int32_t>(next() % 1000);
    all.push_back(std::move(entry));
  }
  entries.InsertAll(std::move(all));
  return entries;
}

void BM_SortEntries(benchmark::State& state) {
  CEntryList entries = MakeEntries(static_cast<int>(state.range(0)));
  const int fields[] = {kReference, kFilingDate, kExaminer, kLastUpdate};
  int turn = 0;
  for (auto _ : state) {
    entries.SetSort(fields[turn++ % 4], false);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortEntries)->Arg(kRows)->Unit(benchmark::kMillisecond);

// The view after a sort: model reset plus every other row selected again, the worst case for
// showing the core's selection (one range per row).
void BM_ResetViewAfterSort(benchmark::State& state) {
  CEntryList entries = MakeEntries(static_cast<int>(state.range(0)));
  for (std::size_t row = 0; row < entries.Size(); row += 2) entries.SetSelected(row, true);
  CEntryListView view(entries);
  view.resize(1000, 600);
  view.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    view.Reload();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_ResetViewAfterSort)->Arg(kRows)->Unit(benchmark::kMillisecond);

// Scrolling to a new place and painting the screenful of rows there.
void BM_ScrollAndPaint(benchmark::State& state) {
  CEntryList entries = MakeEntries(kRows);
  CEntryListView view(entries);
  view.resize(1000, 600);
  view.show();
  QCoreApplication::processEvents();
  int position = 0;
  for (auto _ : state) {
    position = (position + 997) % kRows;
    view.verticalScrollBar()->setValue(position);
    benchmark::DoNotOptimize(view.viewport()->grab());
  }
}
BENCHMARK(BM_ScrollAndPaint)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspire

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
