// Writes the calendar of a small docket, for tests that read it with another parser:
//   larkspire-sample-calendar OUT.ics UNIX_TIME [PREVIOUS.ics]
// The docket holds open deadlines whose text needs escaping, folding inside multi-byte
// characters and Windows-1252 conversion, and a done and a closed one that must stay out.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "docket/Docket.h"
#include "entries/EntryList.h"
#include "notify/Calendar.h"
#include "platform/Files.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

CDeadline Deadline(const char* entry_key, const char* rule_key, const char* what,
                   const char* opened_on, const char* due, bool extendable) {
  CDeadline d;
  d.entry_key = entry_key;
  d.rule_key = rule_key;
  d.what = what;
  d.opening_event = "Non-Final Rejection; mailed, \"as seen\"";
  d.opened_on = ParseDayNumber(opened_on);
  d.computed_due = d.due = ParseDayNumber(due);
  d.extendable = extendable;
  d.last_date = extendable ? d.due + 92 : d.due;
  return d;
}

int Run(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUT.ics UNIX_TIME [PREVIOUS.ics]\n", argv[0]);
    return 2;
  }
  std::string previous;
  if (argc > 3 && !ReadWholeFile(argv[3], previous)) return 1;

  SetStatusUrlBuilder([](const CEntry& e) {
    return "https://status.example/application?number=" + e.AppNum2() + "&tab=events";
  });
  CEntryList entries;
  for (auto [reference, app_num] : {std::pair{"M\xFCller \xAE-1", "10/123,456"},
                                    {"ACME; 2, \\ \x93quoted\x94", "11/000,001"}}) {
    CEntry entry;
    entry.SetText(kReference, reference);
    entry.SetText(kAppNum, app_num);
    entries.Insert(entry);
  }
  CDeadline moved = Deadline("application 11/000,001", "allowance", "Issue fee", "2026-10-09",
                             "2027-01-11", false);
  moved.computed_due = ParseDayNumber("2027-01-09");
  CDeadline done = Deadline("application 10/123,456", "restriction", "Reply to restriction",
                            "2026-06-01", "2026-08-03", true);
  done.done = true;
  CDeadline closed =
      Deadline("application 11/000,001", "nonfinal", "Reply", "2026-05-01", "2026-08-03", true);
  closed.closed_on = ParseDayNumber("2026-07-20");
  CDocket docket;
  docket.Replace({Deadline("application 10/123,456", "nonfinal",
                           "Reply to non-final rejection \xE9\xE8\xE0\xFC\xF6\xE4\xDF\xA7\xB6"
                           "\xE9\xE8\xE0\xFC\xF6\xE4\xDF\xA7\xB6\xE9\xE8\xE0\xFC\xF6\xE4\xDF",
                           "2026-12-15", "2027-03-15", true),
                  moved, done, closed});
  const std::string text = FormatCalendar(docket, entries, previous, std::atoll(argv[2]));
  return SaveFileAtomically(argv[1], text) ? 0 : 1;
}

}  // namespace
}  // namespace larkspire

int main(int argc, char** argv) { return larkspire::Run(argc, argv); }
