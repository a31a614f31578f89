// The master-list import of a large office: every application the status site lists under the
// customer numbers becomes an entry. Twice the applications must take about twice the time
// (compare the time per application of the two sizes), so nothing per added row may grow with
// the list. The pages come from the simulator over loopback, as in the demo.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "SimulatorProcess.h"
#include "app/AppCore.h"
#include "notify/Variables.h"
#include "platform/SettingsBackend.h"
#include "retrieval/MasterListCommand.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

// A simulator data file: the applications split evenly between two customer numbers.
void WriteSimData(const std::string& path, int applications) {
  std::ofstream out(path);
  out << "[site]\ndate: 2008-06-30\npage-size: 20\n\n";
  out << "[customer 23456]\nname: Calverin & Hale LLP\n\n";
  out << "[customer 34567]\nname: Hale Patent Group\n\n";
  for (int i = 0; i < applications; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d/%03d,%03d", 10 + i / 1000000, i / 1000 % 1000,
                  i % 1000);
    out << "[application " << number << "]\ncustomer: " << (i % 2 ? "34567" : "23456")
        << "\nfiled: 2003-05-12\ndocket: BENCH-" << i << "\n\n";
  }
}

void BM_ImportMasterList(benchmark::State& state) {
  const int applications = static_cast<int>(state.range(0));
  char dir_template[] = "/tmp/larkspire-bench-XXXXXX";
  if (::mkdtemp(dir_template) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::string dir = dir_template;
  WriteSimData(dir + "/sim-data.txt", applications);
  {
    CSimulatorProcess sim({"--data", dir + "/sim-data.txt"});
    CMemorySettingsBackend backend;
    AppCore app(backend, "", "");
    app.Settings().LogDir.Set(dir);
    app.Settings().ProxyServer.Set(sim.Address());
    LoadRules(app);
    app.Status().headless = true;
    app.Status().auto_run = true;
    app.Rules().update_due = false;
    if (sim.Address().empty()) state.SkipWithError("the simulator did not start");

    for (auto _ : state) {
      state.PauseTiming();
      app.Entries().Clear();
      state.ResumeTiming();
      RunMasterListStep(app);
      if (app.Entries().Size() != static_cast<std::size_t>(applications)) {
        state.SkipWithError("the import did not add every application");
        break;
      }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * applications);
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ImportMasterList)
    ->ArgName("applications")
    ->Arg(5000)
    ->Arg(10000)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspire
