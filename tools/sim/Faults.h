// Misbehaviour on request: which answers go wrong, and how.
//
// A fault is written like a query string: "mode=MODE[&app=NUMBER][&page=KIND][&count=N]".
// Without app and page it hits every page; app limits it to the pages of one application (any
// spelling of its number), page to one kind of page; count makes it wear off after N answers.
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
  kError500,   // answer "500 Internal Server Error"
  kTruncate,   // a complete answer whose page stops before the text that marks it complete
  kTrickle,    // the whole answer, one byte every 40 ms
  kErrorPage,  // a 200 answer carrying the failure page `error_page` (1 to 4)
};

struct CFault {
  EFaultMode mode = EFaultMode::kStall;
  int error_page = 0;
  std::string app;     // digits of the application number, "" for any
  std::string page;    // page kind, "" for any
  int remaining = -1;  // answers left before it wears off, -1 for no limit
};

// The page kinds a fault can name.
inline constexpr const char* kPageKinds[] = {"status",  "foreign", "continuity", "search",
                                             "results", "rules",   "program"};

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
