// The pages of the simulated status site, in the markup the real site used (upper- and
// mixed-case tags with attributes, &nbsp;, comments, tabs, layout tables, line breaks inside
// cells, CR LF on some pages and LF on others). Each field stands where the built-in rules'
// patterns look for it once the page is normalised.
#pragma once

#include <string>

#include "AppState.h"
#include "SimData.h"

namespace larkspire::sim {

enum class ESearch { kApplication, kPatent, kPublication };

std::string StatusPage(const CSimData& data, const CAppState& state);
std::string ForeignPriorityPage(const CAppState& state);
std::string ContinuityPage(const CAppState& state);
// The answer to a search for a number the site does not know; `number` is echoed as entered.
std::string NotFoundPage(ESearch search, const std::string& number);

// The search page: the search methods and the customer-number selector. It always carries the
// "Please choose the search method" prompt, which is also what the site answered when a
// session had been lost.
std::string SearchPage(const CSimData& data);
// Result set `result_set` (1-based) of a customer number; the "no applications" page when the
// customer number lists none on that day or the result set lies beyond the last.
std::string ResultPage(const CSimData& data, const std::string& customer, int result_set, int day);
int ResultSetCount(const CSimData& data, const std::string& customer, int day);

// The failure pages the rules file's validate section knows, 1 to 4 (3 is the search page).
std::string ErrorPage(int number, const CSimData& data);

// Text each page must contain to be complete (searched without regard to case); a truncated
// page is cut at its first occurrence.
inline constexpr const char* kStatusRequired = "Customer Number:";
inline constexpr const char* kForeignRequired = "Foreign Priority";
inline constexpr const char* kContinuityRequired = "Continuity Data";
inline constexpr const char* kResultRequired = "Application No. Descending";
inline constexpr const char* kSearchRequired = "Search by customer number:";

}  // namespace larkspire::sim
