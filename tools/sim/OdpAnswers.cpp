#include "OdpAnswers.h"

#include <map>
#include <vector>

#include "OdpSearch.h"

namespace larkspire::sim {
namespace {

constexpr const char* kInvalidRequest =
    "Invalid request, review patent data request filter section and try again";

// The members of a record each narrower path serves, besides the application number.
const std::map<std::string, std::vector<std::string>, std::less<>> kNarrowPaths = {
    {"meta-data", {"applicationMetaData"}},
    {"transactions", {"eventDataBag"}},
    {"continuity", {"parentContinuityBag", "childContinuityBag"}},
    {"foreign-priority", {"foreignPriorityBag"}},
    {"adjustment", {"patentTermAdjustmentData"}},
    {"attorney", {"recordAttorney", "correspondenceAddressBag"}},
};

CJson Envelope(long long count, CJson bag, const std::string& request_id) {
  CJson body = CJson::Object();
  body.Set("count", CJson::Integer(count));
  body.Set("patentFileWrapperDataBag", std::move(bag));
  body.Set("requestIdentifier", CJson::String(request_id));
  return body;
}

COdpBody BadRequest(const std::string& reason, const std::string& request_id) {
  COdpBody body = OdpErrorBody(400, kInvalidRequest, request_id);
  body.note = reason;
  return body;
}

}  // namespace

COdpBody OdpErrorBody(int status, const std::string& detail, const std::string& request_id) {
  COdpBody body;
  body.status = status;
  body.json = CJson::Object();
  body.json.Set("code", CJson::String(std::to_string(status)));
  body.json.Set("message", CJson::String(ReasonPhrase(status)));
  if (!detail.empty()) body.json.Set("detailedMessage", CJson::String(detail));
  body.json.Set("requestIdentifier", CJson::String(request_id));
  body.note = detail;
  return body;
}

bool IsNarrowKind(const std::string& kind) { return kNarrowPaths.count(kind) > 0; }

COdpBody ApplicationBody(const COdpDay& day, const std::string& kind, const std::string& number,
                         const std::string& request_id) {
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    return BadRequest("the application number is not digits: " + number, request_id);
  }
  const CJson* record = day.Find(number);
  if (!record) {
    COdpBody body = OdpErrorBody(404, kNoMatchingRecords, request_id);
    body.note = "no application " + number;
    return body;
  }
  CJson bag = CJson::Array();
  const auto narrow = kNarrowPaths.find(kind);
  if (narrow == kNarrowPaths.end()) {
    bag.Push(*record);
  } else {
    std::vector<std::string> paths = narrow->second;
    paths.insert(paths.begin(), "applicationNumberText");
    bag.Push(SelectPaths(*record, paths));
  }
  return {200, Envelope(1, std::move(bag), request_id), kind + " " + number};
}

COdpBody SearchBody(const COdpDay& day, const CRequest& request, size_t cap,
                    const std::string& request_id) {
  COdpSearch search;
  const std::string read_error = request.method == "POST" ? ReadSearchBody(request.body, search)
                                                          : ReadSearchQuery(request.params, search);
  if (!read_error.empty()) return BadRequest(read_error, request_id);
  COdpHits hits;
  if (std::string error = RunSearch(day, search, cap, hits); !error.empty()) {
    return BadRequest(error, request_id);
  }
  const std::string note = "search q=" + search.q + ": " + std::to_string(hits.count) + " hits";
  if (hits.count == 0) {
    // The service answers a search without hits as it answers an unknown application.
    COdpBody body = OdpErrorBody(404, kNoMatchingRecords, request_id);
    body.note = note;
    return body;
  }
  CJson bag = CJson::Array();
  for (const CJson* record : hits.page) {
    bag.Push(search.fields.empty() ? *record : SelectPaths(*record, search.fields));
  }
  return {200, Envelope(static_cast<long long>(hits.count), std::move(bag), request_id),
          note + ", " + std::to_string(hits.page.size()) + " served"};
}

}  // namespace larkspire::sim
