// The search of the simulated Open Data Portal: the request read from a GET query string or a
// POST JSON body, and the hits among a day's records.
//
// GET  /search?q=...&offset=0&limit=25&fields=a,b&sort=field%20desc
//             &filters=field%20v1,v2&rangeFilters=field%20from:to
// POST /search {"q": "...", "filters": [{"name": F, "value": [V, ...]}],
//               "rangeFilters": [{"field": F, "valueFrom": A, "valueTo": B}],
//               "fields": [F, ...], "pagination": {"offset": 0, "limit": 25},
//               "sort": [{"field": F, "order": "asc" | "desc"}]}
// Every key is optional; keys the simulator does not know (facets) are ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Json.h"
#include "OdpCatalog.h"
#include "Query.h"

namespace larkspire::sim {

struct COdpSearch {
  struct CFilter {
    std::string field;
    std::vector<std::string> values;  // any of them
  };
  struct CRange {
    std::string field;
    std::string from;  // "" or "*": open
    std::string to;
  };
  struct CSort {
    std::string field;
    bool descending = false;
  };

  std::string q;
  std::vector<CFilter> filters;
  std::vector<CRange> ranges;
  std::vector<std::string> fields;  // empty: whole records
  std::vector<CSort> sort;          // empty: by application number
  long long offset = 0;
  long long limit = 25;
};

// Each returns "" or what is wrong with the request.
std::string ReadSearchQuery(const CQuery& params, COdpSearch& search);
std::string ReadSearchBody(std::string_view body, COdpSearch& search);

struct COdpHits {
  size_t count = 0;                // every record that matches
  std::vector<const CJson*> page;  // the records from offset, at most limit
};

// The service serves hits only from the first `cap` of a search: a page reaching past the cap
// is cut there, and one starting at or past it is refused. Returns "" or what is wrong.
std::string RunSearch(const COdpDay& day, const COdpSearch& search, size_t cap, COdpHits& hits);

}  // namespace larkspire::sim
