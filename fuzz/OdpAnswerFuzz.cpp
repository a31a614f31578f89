// The Open Data Portal's answers read through the built-in mapping: one application's record
// and a page of search hits. Whatever the bytes, a record is mapped with every field or
// refused with a message.
#include <cstdlib>

#include "FuzzInput.h"
#include "notify/Templates.h"
#include "retrieval/OdpAnswer.h"
#include "retrieval/OdpMapping.h"

using namespace larkspire;

namespace {

COdpAnswerReader& Reader() {
  static COdpAnswerReader* reader = [] {
    COdpMapping mapping;
    if (!ReadOdpMapping(LoadTemplate(kTemplateRules).value_or(""), mapping).empty()) std::abort();
    return new COdpAnswerReader(std::move(mapping));
  }();
  return *reader;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view json = fuzz::AsText(data, size);
  const COdpApplication application = Reader().ReadApplication(json);
  if (application.result == EOdpResult::kMapped) {
    if (application.fields.size() != kOdpFetchedFields.size() || !application.error.empty()) {
      std::abort();
    }
  } else if (application.error.empty() || !application.fields.empty()) {
    std::abort();
  }
  const COdpSearchPage page = Reader().ReadSearchPage(json);
  if (!page.error.empty() && !page.hits.empty()) std::abort();
  return 0;
}
