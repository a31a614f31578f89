#include "Options.h"

#include <cstdlib>

namespace larkspire::sim {

std::string ParseOptions(int argc, char** argv, CSimOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (i + 1 >= argc) return "missing value after " + arg;
    const std::string value = argv[++i];
    if (arg == "--port") {
      char* end = nullptr;
      const long port = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || port < 0 || port > 65535) return "bad port " + value;
      options.port = static_cast<int>(port);
    } else if (arg == "--data") {
      options.data_path = value;
    } else if (arg == "--date") {
      options.date = value;
    } else if (arg == "--rules") {
      options.rules_path = value;
    } else if (arg == "--program") {
      options.program_path = value;
    } else if (arg == "--program-compressed") {
      options.program_compressed_path = value;
    } else if (arg == "--fault") {
      options.faults.push_back(value);
    } else if (arg == "--write-pages") {
      options.write_pages_dir = value;
    } else {
      return "unknown option " + arg;
    }
  }
  return "";
}

std::string HelpText() {
  return R"(Usage: larkspire-sim [options]

Simulates the local USPTO/Direct proxy with the PAIR status site behind it, and the publisher's
web server, for the demo and the end-to-end tests. Listens on 127.0.0.1 only and prints
"listening on 127.0.0.1:PORT" as its first line. Stops on SIGTERM or SIGINT.

Options:
  --port N                 port to listen on (default 8080; 0 picks a free port)
  --data FILE              applications and customer numbers (default: the demo data,
                           tools/sim/demo-data.txt in the source tree)
  --date yyyy-mm-dd        the simulated day (default: the data file's [site] date, else today)
  --rules FILE             served as /support/larkspire.txt (404 without it); read per request
  --program FILE           served as /support/larkspire.exe (404 without it)
  --program-compressed FILE
                           served as /support/larkspire.ex_ (404 without it)
  --fault SETTINGS         start with this fault (repeatable); SETTINGS as for /__sim/fault
  --write-pages DIR        write every page of the simulated day and expected.txt into DIR,
                           then exit without listening
  --help                   this text

Requests (HTTP/1.0, one per connection, answered and closed):
  Through the proxy the target is "//host/path"; direct requests use "/path" and the Host
  header. The host is not checked; the path decides.
  /cgi-bin/final/cusnum.pl?ApplicationNumber=NNNNNNNN        status page of an application
  /cgi-bin/final/pairsearch.pl?searchtype=patent&patentnumber=N
  /cgi-bin/final/pairsearch.pl?searchtype=publication&publicationnumber=N
                                                             status page by patent/publication
  POST /cgi-bin/final/foreignpriority.pl  ApplicationNumber=  foreign priority page
  POST /cgi-bin/final/continuity.pl       ApplicationNumber=  continuity page
  /cgi-bin/final/home.pl                                     search page (customer selector)
  POST /cgi-bin/final/pairsearch.pl  searchtype=customer&customernumber=C&ResultSet=N
                                                             result set N of a customer number
  /support/larkspire.txt, /support/larkspire.exe, /support/larkspire.ex_
  An unknown or not yet filed number gets the site's "Sorry, the entered ... Number" page; a
  customer number without applications (or a result set past the last) gets the "Sorry, there
  are no applications associated with customer number" page.

Control requests (answered in plain text, never faulted):
  /__sim/date                  the simulated day
  /__sim/date?set=yyyy-mm-dd   move to that day
  /__sim/date?add=N            move N days (negative goes back)
  /__sim/fault?mode=MODE[&app=NUMBER][&page=KIND][&count=N]
                               add a fault; the newest matching fault wins
  /__sim/fault?mode=none       clear every fault
  /__sim/state                 the day and the faults in force

Fault modes: stall (read the request, never answer), close (headers and half the page, then a
connection reset), 500 (answer 500 Internal Server Error), truncate (a complete answer whose
page is cut before the text that marks it complete), trickle (one byte every 40 ms),
error1 .. error4 (a 200 answer with the failure page the rules' validate section knows:
1 proxy error, 2 security problem, 3 search page, 4 database unavailable).
app limits a fault to one application's pages (any spelling of its number); page limits it to
one kind: status, foreign, continuity, search, results, rules, program. count makes it wear
off after N answers.

Data file (full description in tools/sim/README.md):
  [site]                     date: yyyy-mm-dd, page-size: N
  [customer NUMBER]          name: TEXT, address: LINE (repeatable)
  [application nn/nnn,nnn]   customer, filed, confirmation, docket, title, class, art-unit,
                             examiner, status, location, publication, patent, pta, pte,
                             event, foreign (COUNTRY | NUMBER | DATE),
                             parent (RELATION | NUMBER [| FILED | STATUS [| PATENT]])
  "key: value", one per line; a value may start with "yyyy-mm-dd " to hold from that day on.
)";
}

}  // namespace larkspire::sim
