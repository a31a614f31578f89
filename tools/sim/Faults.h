// Misbehaviour on request: which answers go wrong, and how.
//
// A fault is written like a query string:
// "mode=MODE[&app=NUMBER][&page=KIND][&count=N][&every=N][&retry-after=S]".
// Without app and page it hits every page of the status site and the publisher's server; the
// Open Data Portal's answers are hit only by faults that name one of its kinds ("odp" for all of
// them). app limits a fault to the pages of one application (any spelling of its number), page
// to one kind of page; count makes it wear off after N answers, every makes it hit only every
// Nth matching answer; retry-after sets the Retry-After seconds of a 429 or 503 answer.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire::sim {

enum class EFaultMode {
  kStall,      // read the request, then never answer
  kClose,      // send the headers and part of the page, then reset the connection
  kHttpError,  // answer with the error status `status` (429, 500, 502, 503 or 504)
  kTruncate,   // a complete answer whose page stops before the text that marks it complete
  kTrickle,    // the whole answer, one byte every 40 ms
  kErrorPage,  // a 200 answer carrying the failure page `error_page` (1 to 4)
};

struct CFault {
  EFaultMode mode = EFaultMode::kStall;
  int error_page = 0;
  int status = 0;       // of kHttpError
  int retry_after = 5;  // seconds a 429 or 503 answer asks for; -1 sends no Retry-After
  std::string app;      // digits of the application number, "" for any
  std::string page;     // page kind, "" for any
  int remaining = -1;   // answers left before it wears off, -1 for no limit
  int every = 1;        // hits the Nth, 2Nth, ... matching answer
  int seen = 0;         // matching answers so far
};

// The page kinds a fault can name: the status site's, the publisher's, and the Open Data
// Portal's ("odp-" and the kind of request; "odp" names all of them).
inline constexpr const char* kPageKinds[] = {"status",
                                             "foreign",
                                             "continuity",
                                             "search",
                                             "results",
                                             "rules",
                                             "program",
                                             "odp",
                                             "odp-application",
                                             "odp-meta-data",
                                             "odp-transactions",
                                             "odp-continuity",
                                             "odp-foreign-priority",
                                             "odp-adjustment",
                                             "odp-attorney",
                                             "odp-search"};

bool IsOdpKind(std::string_view page);

// Returns nothing and sets `error` for bad settings; mode "none" parses to nothing with an empty
// error.
std::optional<CFault> ParseFault(std::string_view settings, std::string& error);
std::string DescribeFault(const CFault& fault);

// A page cut at the first occurrence, in any case, of the text that marks it complete, or half
// way when it has none.
std::string TruncatePage(const std::string& body, const std::string& required);

class CFaultTable {
 public:
  void Add(const CFault& fault);
  void Clear();
  // The most recently added fault that matches the page, used up by one answer.
  std::optional<CFault> Take(std::string_view page, std::string_view app);
  std::vector<CFault> List() const;

 private:
  mutable std::mutex mutex_;
  std::vector<CFault> faults_;
};

}  // namespace larkspire::sim
