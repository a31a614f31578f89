// What a daily run costs the Open Data Portal: 10,000 watched applications, of which 2% changed
// since the previous day's run. Ours asks the search which changed (groups of numbers, hits
// narrowed to the number and the last ingestion time) and fetches those; a per-application
// client fetches every application. Both run the program's whole unattended update against the
// simulated service over HTTPS, the master-list import of the office's customer number
// included (it pages through the 10,000 numbers: 100 searches, in both); the counter that
// matters is "requests" (each as the service counted it).
//
// The previous day's run is set up, not measured: the entries as it left them and the
// ingestion times it stored (read with the search, as that run would have read them with its
// fetches). The gap between requests is set to 0 here, since the simulator has no rate cap and
// only the count is compared; with the built-in gap of 250 ms a run takes requests x 0.25 s
// more.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "SimulatorProcess.h"
#include "app/AppCore.h"
#include "entries/Entry.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "platform/SettingsBackend.h"
#include "retrieval/OdpClient.h"
#include "retrieval/OdpSearch.h"
#include "retrieval/OdpSeen.h"
#include "retrieval/UpdateDriver.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

constexpr int kWatched = 10000;
constexpr int kChangedEvery = 50;  // 2%
constexpr const char* kKey = "bench-key";

std::string AppNumber(int i) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d/%03d,%03d", 10 + i / 1000000, i / 1000 % 1000,
                i % 1000);
  return number;
}

// Published applications of one customer; every 50th has an event on the second day.
void WriteSimData(const std::string& path) {
  std::ofstream out(path);
  out << "[site]\ndate: 2008-06-30\n\n[customer 23456]\nname: Calverin & Hale LLP\n\n";
  for (int i = 0; i < kWatched; ++i) {
    char publication[32];
    std::snprintf(publication, sizeof publication, "US 2004-%07d A1", 100000 + i);
    out << "[application " << AppNumber(i) << "]\ncustomer: 23456\nfiled: 2003-05-12\n"
        << "docket: BENCH-" << i << "\npublication: 2004-06-01 " << publication
        << "\nevent: 2004-06-01 PG-Pub Issue Notification\n";
    if (i % kChangedEvery == 0) out << "event: 2008-07-01 Mail Non-Final Rejection\n";
    out << "\n";
  }
}

class CDailyRun {
 public:
  CDailyRun() {
    char dir_template[] = "/tmp/larkspire-bench-XXXXXX";
    if (::mkdtemp(dir_template) != nullptr) dir_ = dir_template;
  }
  ~CDailyRun() {
    sim_.reset();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // The simulator on the first day and the office as the previous run left it; "" or why not.
  std::string SetUp(bool with_change_search) {
    if (dir_.empty()) return "no temporary directory";
    const std::string make_ca = std::string("bash ") + LARKSPIRE_SOURCE_DIR +
                                "/tools/sim/make-test-ca.sh " + dir_ + "/ca >/dev/null 2>&1";
    if (std::system(make_ca.c_str()) != 0) return "no test CA";
    WriteSimData(dir_ + "/sim-data.txt");
    sim_ = std::make_unique<CSimulatorProcess>(std::vector<std::string>{
        "--data", dir_ + "/sim-data.txt", "--odp-port", "0", "--tls-cert", dir_ + "/ca/server.pem",
        "--tls-key", dir_ + "/ca/server.key", "--odp-key", kKey});
    if (sim_->OdpAddress().empty()) return "the simulator did not start";

    app_ = std::make_unique<AppCore>(backend_, "", "");
    CSettings& s = app_->Settings();
    s.LogDir.Set(dir_);
    s.StatusSource.Set("ODP");
    s.OdpServer.Set(sim_->OdpAddress());
    s.CaFile.Set(dir_ + "/ca/ca.pem");
    s.OdpCustomerNumbers.Set("23456");
    s.Timeout.Set("5 minutes");
    ::setenv("USPTO_API_KEY", kKey, 1);
    LoadRules(*app_);
    const std::size_t gap = app_->Rules().text.find(" gap: 250");
    if (gap == std::string::npos) return "the rules have no gap";
    app_->Rules().text.replace(gap, 9, " gap: 0");
    app_->Rules().update_due = false;
    app_->Status().headless = true;
    app_->Status().auto_run = true;

    std::vector<CEntry> entries;
    for (int i = 0; i < kWatched; ++i) {
      CEntry entry;
      entry.SetText(kAppNum, AppNumber(i));
      entry.SetText(kReference, "BENCH-" + std::to_string(i));
      entry.SetText(kDocketNumber, "BENCH-" + std::to_string(i));
      entry.last_update = TodayDayNumber() - 1;
      entries.push_back(std::move(entry));
    }
    app_->Entries().InsertAll(std::move(entries));
    return with_change_search ? StoreIngestionTimes() : "";
  }

  // The day moves on and the run updates every due entry; the service's count of requests.
  int Run() {
    sim_->Control("date?set=2008-07-01");
    sim_->Control("odp?reset=1");
    UpdateStatus(*app_, false);
    const std::string state = sim_->Control("odp");
    const std::size_t at = state.find("\nrequests ");
    return at == std::string::npos ? -1 : std::atoi(state.c_str() + at + 10);
  }

  int Failures() const { return app_->Status().failure_count; }

 private:
  std::string StoreIngestionTimes() {
    COdpClient client(*app_);
    COdpQuery query;
    query.q = "applicationMetaData.customerNumber:23456";
    query.fields = {"applicationNumberText", "lastIngestionDateTime"};
    std::map<std::string, std::string> times;
    std::uint64_t total = 0;
    const COdpReply reply = RunOdpSearch(
        client, client.Address("search"), query, 100,
        [&](const COdpSearchHit& hit) { times[hit.number] = hit.ingested; }, total);
    if (reply.outcome != EOdpOutcome::kAnswered || times.size() != kWatched) {
      return "the ingestion times were not read: " + reply.message;
    }
    std::string latest;
    for (const auto& [number, time] : times) latest = std::max(latest, time);
    std::string text;
    for (const auto& [number, time] : times) text += number + "\t" + time + "\t" + latest + "\r\n";
    return SaveFileAtomically(JoinPath(dir_, kOdpSeenFileName), text) ? "" : "no store written";
  }

  std::string dir_;
  CMemorySettingsBackend backend_;
  std::unique_ptr<CSimulatorProcess> sim_;
  std::unique_ptr<AppCore> app_;
};

void DailyRun(benchmark::State& state, bool with_change_search) {
  for (auto _ : state) {
    state.PauseTiming();
    CDailyRun run;
    const std::string error = run.SetUp(with_change_search);
    state.ResumeTiming();
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
    const int requests = run.Run();
    state.counters["watched"] = kWatched;
    state.counters["changed"] = kWatched / kChangedEvery;
    state.counters["requests"] = requests;
    state.counters["failed"] = run.Failures();
  }
}

void BM_OdpDailyRunWithChangeSearch(benchmark::State& state) { DailyRun(state, true); }
void BM_OdpDailyRunPerApplication(benchmark::State& state) { DailyRun(state, false); }

BENCHMARK(BM_OdpDailyRunWithChangeSearch)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_OdpDailyRunPerApplication)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace larkspire
