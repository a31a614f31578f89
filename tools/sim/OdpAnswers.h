// What the simulated Open Data Portal answers to a request it has admitted: the JSON body and
// its status, under today's field names (the service renames them afterwards when it serves
// the older ones).
#pragma once

#include <string>

#include "Json.h"
#include "OdpCatalog.h"
#include "Site.h"

namespace larkspire::sim {

// The detail of a 404, for an unknown application and for a search without hits alike.
inline constexpr const char* kNoMatchingRecords =
    "No matching records found, refine your search criteria and try again";

struct COdpBody {
  int status = 200;
  CJson json;
  std::string note;  // for the request log
};

// {"code": "404", "message": "Not Found", "detailedMessage": ..., "requestIdentifier": ...}
COdpBody OdpErrorBody(int status, const std::string& detail, const std::string& request_id);

// GET /{applicationNumberText} (kind "application") and the narrower paths (kinds "meta-data",
// "transactions", "continuity", "foreign-priority", "adjustment", "attorney").
COdpBody ApplicationBody(const COdpDay& day, const std::string& kind, const std::string& number,
                         const std::string& request_id);

// Whether the kind names one of the narrower paths of an application.
bool IsNarrowKind(const std::string& kind);

// GET or POST /search.
COdpBody SearchBody(const COdpDay& day, const CRequest& request, size_t cap,
                    const std::string& request_id);

}  // namespace larkspire::sim
