#include "Options.h"

#include <cstdlib>

namespace larkspire::sim {
namespace {

// A whole number from `low` to `high`, or nothing.
std::optional<int> ReadNumber(const std::string& value, long low, long high) {
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || number < low || number > high) return std::nullopt;
  return static_cast<int>(number);
}

}  // namespace

std::string ParseOptions(int argc, char** argv, CSimOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--odp-old-names") {
      options.odp_old_names = true;
      continue;
    }
    if (i + 1 >= argc) return "missing value after " + arg;
    const std::string value = argv[++i];
    if (arg == "--port" || arg == "--odp-port") {
      const auto port = ReadNumber(value, 0, 65535);
      if (!port) return "bad port " + value;
      (arg == "--port" ? options.port : options.odp_port.emplace()) = *port;
    } else if (arg == "--tls-cert") {
      options.tls_cert_path = value;
    } else if (arg == "--tls-key") {
      options.tls_key_path = value;
    } else if (arg == "--odp-key") {
      options.odp_keys.push_back(value);
    } else if (arg == "--odp-inactive-key") {
      options.odp_inactive_keys.push_back(value);
    } else if (arg == "--odp-rate" || arg == "--odp-search-cap") {
      const auto number = ReadNumber(value, arg == "--odp-rate" ? 0 : 1, 1000000000);
      if (!number) return "bad number " + value + " after " + arg;
      (arg == "--odp-rate" ? options.odp_rate : options.odp_search_cap) = *number;
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
  if (options.odp_port && (options.tls_cert_path.empty() || options.tls_key_path.empty())) {
    return "--odp-port needs --tls-cert and --tls-key";
  }
  return "";
}

std::string HelpText() {
  return R"(Usage: larkspire-sim [options]

Simulates the local USPTO/Direct proxy with the PAIR status site behind it, the publisher's
web server, and (with --odp-port) the patent office's Open Data Portal over HTTPS, for the demo
and the end-to-end tests. Listens on 127.0.0.1 only and prints "listening on 127.0.0.1:PORT"
as its first line, then "odp listening on 127.0.0.1:PORT" when it serves the Open Data Portal.
Stops on SIGTERM or SIGINT.

Options:
  --port N                 port to listen on (default 8080; 0 picks a free port)
  --data FILE              applications and customer numbers (default: the demo data,
                           tools/sim/demo-data.txt in the source tree)
  --date yyyy-mm-dd        the simulated day (default: the data file's [site] date, else today)
  --rules FILE             served as /support/larkspire.txt (404 without it); read per request;
                           FILE.manifest beside it, when there, as /support/larkspire.txt.manifest
                           (the same for both program files)
  --program FILE           served as /support/larkspire.exe (404 without it)
  --program-compressed FILE
                           served as /support/larkspire.ex_ (404 without it)
  --fault SETTINGS         start with this fault (repeatable); SETTINGS as for /__sim/fault
  --write-pages DIR        write every page of the simulated day and expected.txt into DIR,
                           then exit without listening
  --help                   this text

Open Data Portal options:
  --odp-port N             serve the Open Data Portal over TLS on this port (0 picks one)
  --tls-cert FILE          its certificate chain, PEM (tools/sim/make-test-ca.sh makes one)
  --tls-key FILE           the certificate's private key, PEM
  --odp-key KEY            an accepted API key (repeatable; none given: any key is accepted
                           that is not given as inactive)
  --odp-inactive-key KEY   a key refused with 403 as not yet active (repeatable)
  --odp-rate N             at most N requests per second per key, 429 beyond (default 0: no cap)
  --odp-old-names          serve the older field names: patentBag for patentFileWrapperDataBag,
                           transactionContentBag for eventDataBag
  --odp-search-cap N       hits a search serves at most (default 10000)

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
  /support/larkspire.txt, /support/larkspire.exe, /support/larkspire.ex_ and each with
  .manifest added (the signed manifest beside the file given)
  An unknown or not yet filed number gets the site's "Sorry, the entered ... Number" page; a
  customer number without applications (or a result set past the last) gets the "Sorry, there
  are no applications associated with customer number" page.

Open Data Portal requests (HTTPS, the key in the X-API-KEY header, JSON answers):
  GET  /api/v1/patent/applications/NNNNNNNN     {count, patentFileWrapperDataBag: [record]}
  GET  /api/v1/patent/applications/NNNNNNNN/meta-data, /transactions, /continuity,
       /foreign-priority, /adjustment, /attorney
                                                the record narrowed to those members
  GET  /api/v1/patent/applications/search?q=&offset=&limit=&fields=&sort=&filters=&rangeFilters=
  POST /api/v1/patent/applications/search  {q, filters, rangeFilters, fields, pagination, sort}
  Only applications filed since 2001 that are published or patented on the simulated day are
  there. No key: 401. An unknown key: 403; an inactive one: 403 "not yet active". A request
  while another of the same key is in flight: 429, counted as an overlap. An unknown
  application, or a search without hits: 404 "No matching records found, ...". A bad query:
  400. A search serves hits only from its first 10000 (--odp-search-cap); count is the number
  of all hits. q takes field:value, field:"phrase", field:(a OR b), field:[from TO to] and
  AND/OR/NOT; see tools/sim/README.md.

Control requests (on the first port, answered in plain text, never faulted):
  /__sim/date                  the simulated day
  /__sim/date?set=yyyy-mm-dd   move to that day
  /__sim/date?add=N            move N days (negative goes back)
  /__sim/fault?mode=MODE[&app=NUMBER][&page=KIND][&count=N][&every=N][&retry-after=S]
                               add a fault; the newest matching fault wins
  /__sim/fault?mode=none       clear every fault
  /__sim/state                 the day and the faults in force
  /__sim/odp[?names=old|current][&rate=N][&search-cap=N][&hold=N][&release=1][&reset=1]
                               the Open Data Portal's state as "name value" lines: names, rate,
                               search-cap, in-flight, held, hold, overlaps, rate-limited,
                               requests, requests-KIND for each kind, answers-STATUS; the
                               settings change the field names served, the rate cap or the
                               search cap, hold the next N admitted requests in flight until
                               release=1, or reset the counts (requests, answers, overlaps,
                               rate-limited)

Fault modes: stall (read the request, never answer), close (headers and half the page, then a
connection reset), 429, 500, 502, 503, 504 (answer with that status; 429 and 503 carry
Retry-After: S, 5 unless retry-after=S says otherwise, none for none), truncate (a complete
answer whose page is cut before the text that marks it complete, or half way), trickle (one
byte every 40 ms), error1 .. error4 (a 200 answer with the failure page the rules' validate
section knows: 1 proxy error, 2 security problem, 3 search page, 4 database unavailable).
app limits a fault to one application's pages (any spelling of its number); page limits it to
one kind: status, foreign, continuity, search, results, rules, program, or an Open Data Portal
kind: odp (all of them), odp-application, odp-meta-data, odp-transactions, odp-continuity,
odp-foreign-priority, odp-adjustment, odp-attorney, odp-search. A fault without page never
hits the Open Data Portal. count makes it wear off after N answers; every makes it hit only
every Nth matching answer.

Data file (full description in tools/sim/README.md):
  [site]                     date: yyyy-mm-dd, page-size: N
  [customer NUMBER]          name: TEXT, address: LINE (repeatable)
  [application nn/nnn,nnn]   customer, filed, confirmation, docket, title, class, art-unit,
                             examiner, status, location, publication, patent, pta (DATE [DAYS]),
                             pte, event, foreign (COUNTRY | NUMBER | DATE),
                             parent (RELATION | NUMBER [| FILED | STATUS [| PATENT]])
  "key: value", one per line; a value may start with "yyyy-mm-dd " to hold from that day on.
)";
}

}  // namespace larkspire::sim
