// The Open Data Portal's search as the runs use it: a POST of the service's documented JSON
// body (q, fields, rangeFilters, pagination), read page by page through the rules file's
// mapping of a hit. A search without hits is answered 404 "No matching records" by the
// service; here it is a search with no hits, like any other.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/OdpAnswer.h"
#include "retrieval/OdpClient.h"

namespace larkspire {

// The service serves at most this many hits of one search, however it is paged.
inline constexpr std::uint64_t kOdpSearchCap = 10000;
inline constexpr std::uint64_t kOdpDefaultSearchPage = 100;

struct COdpQuery {
  std::string q;
  std::vector<std::string> fields;  // the fields each hit is narrowed to
  // A range filter on one field from a time on, or none when range_field is "".
  std::string range_field;
  std::string range_from;
};

// A JSON string literal of Windows-1252 text (its upper half sent as the same code points).
std::string JsonQuoted(std::string_view text);
std::string OdpSearchBody(const COdpQuery& query, std::uint64_t offset, std::uint64_t limit);
// The "a,b" list of the rules' search-fields as the body's list.
std::vector<std::string> SplitFields(std::string_view list);

using OdpHitFunction = std::function<void(const COdpSearchHit& hit)>;

// Runs the search at url page by page, page_size hits each, handing every hit to on_hit, up to
// the last hit, max_hits or the service's cap. total is the count the service gave (0 without
// hits).
// The reply's outcome is kAnswered when every page was read; otherwise it says what stopped
// the search (kFailed with the answer's fault for a page that cannot be read).
COdpReply RunOdpSearch(COdpClient& client, const std::string& url, const COdpQuery& query,
                       std::uint64_t page_size, const OdpHitFunction& on_hit, std::uint64_t& total,
                       std::uint64_t max_hits = kOdpSearchCap);

}  // namespace larkspire
