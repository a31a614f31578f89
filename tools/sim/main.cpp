// larkspire-sim: the status site, its proxy and the publisher's web server on loopback, for
// the demo and the end-to-end tests. Run with --help for the options.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>

#include "HttpServer.h"
#include "OdpService.h"
#include "Options.h"
#include "PageWriter.h"
#include "ServerBasics.h"
#include "SimData.h"
#include "SimDate.h"
#include "Site.h"
#include "TlsContext.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "larkspire-sim: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace larkspire::sim;
  CSimOptions options;
  if (const std::string error = ParseOptions(argc, argv, options); !error.empty()) {
    return Fail(error + " (see --help)");
  }
  if (options.help) {
    std::cout << HelpText();
    return 0;
  }
  CSimData data;
  const std::string data_path =
      options.data_path.empty() ? LARKSPIRE_SIM_DEMO_DATA : options.data_path;
  if (const std::string error = LoadSimData(data_path, data); !error.empty()) return Fail(error);
  int day = data.default_date ? data.default_date : TodayUtc();
  if (options.date) {
    const auto parsed = ParseIsoDate(*options.date);
    if (!parsed) return Fail("bad --date " + *options.date + " (yyyy-mm-dd)");
    day = *parsed;
  }
  if (!options.write_pages_dir.empty()) {
    if (const std::string error = WritePages(data, day, options.write_pages_dir); !error.empty()) {
      return Fail(error);
    }
    return 0;
  }

  CSite site(data, day,
             {options.rules_path, options.program_path, options.program_compressed_path});
  for (const std::string& settings : options.faults) {
    std::string error;
    const auto fault = ParseFault(settings, error);
    if (!error.empty()) return Fail("--fault " + settings + ": " + error);
    if (fault) site.Faults().Add(*fault);
  }

  const int stop_fd = OpenStopSignal();
  if (stop_fd < 0) return Fail("cannot create a pipe");

  CTlsContext tls;
  std::optional<COdpService> odp;
  if (options.odp_port) {
    if (const std::string error = tls.Load(options.tls_cert_path, options.tls_key_path);
        !error.empty()) {
      return Fail(error);
    }
    odp.emplace(site,
                COdpSettings{options.odp_keys, options.odp_inactive_keys, options.odp_rate,
                             options.odp_old_names, static_cast<size_t>(options.odp_search_cap)});
  }

  CHttpServer server(site, odp ? &*odp : nullptr, tls.Get());
  if (const std::string error = server.Listen(options.port); !error.empty()) return Fail(error);
  if (options.odp_port) {
    if (const std::string error = server.ListenOdp(*options.odp_port); !error.empty()) {
      return Fail(error);
    }
  }
  // Tests read the first line for the status site's port; the service's port follows.
  std::printf("listening on 127.0.0.1:%d\n", server.Port());
  if (odp) std::printf("odp listening on 127.0.0.1:%d\n", server.OdpPort());
  std::fflush(stdout);
  std::fprintf(stderr, "larkspire-sim: simulated date %s, %zu applications, %zu customer numbers\n",
               FormatIsoDate(day).c_str(), data.applications.size(), data.customers.size());
  server.Serve(stop_fd);
  std::fprintf(stderr, "larkspire-sim: stopped\n");
  CloseStopSignal();
  return 0;
}
