// Every changed entry of an update is reported with template 9, which lists all changed fields
// and builds the status page address; it runs once per change, thousands of times in a large
// update.
#include <benchmark/benchmark.h>

#include <string>

#include "app/AppCore.h"
#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/SettingsBackend.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

CEntry MakeChangedEntry() {
  CEntry e;
  e.SetText(kAppNum, "10/123,456");
  e.SetText(kReference, "CH-0412-US");
  e.SetText(kFilingDate, "2003-05-12");
  e.SetText(kExaminer, "KIM, JUNE H");
  e.SetText(kArtUnit, "1634");
  e.SetText(kStatus, "Patented Case");
  e.SetText(kLocation, "FILE REPOSITORY (FRANCONIA)");
  e.SetText(kPatNum, "7,091,234");
  e.SetText(kIssueDate, "2006-08-15");
  e.SetText(kLastHistoryDate, "2006-08-15");
  e.SetText(kLastHistoryText, "Recordation of Patent Grant Mailed");
  e.SetText(kForeign, "GERMANY , 102 21 456.7 , 2002-05-14| ");
  e.last_update = 39600;
  e.last_change = 39600;
  e.Normalize();
  return e;
}

void BM_ExpandStatusChange(benchmark::State& state) {
  CMemorySettingsBackend backend;
  AppCore app(backend, "", "");
  LoadRules(app);
  app.Settings().OrgName.Set("Calverin & Hale LLP");
  const std::string text = LoadTemplate(kTemplateStatusChange).value_or(std::string());
  if (text.empty()) state.SkipWithError("template 9 missing");

  const CEntry current = MakeChangedEntry();
  CEntry previous = current;
  previous.SetText(kStatus, "Issue Fee Payment Verified");
  previous.SetText(kPatNum, "");
  previous.SetText(kIssueDate, "");
  previous.SetText(kLastHistoryDate, "2006-06-01");
  previous.SetText(kLastHistoryText, "Issue Fee Payment Received");
  previous.last_update = 39590;
  previous.last_change = 39500;
  CExpansionScope scope(app, &current, &previous);
  for (auto _ : state) {
    std::string out;
    ExpandTemplate(app, text, out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ExpandStatusChange)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace larkspire
