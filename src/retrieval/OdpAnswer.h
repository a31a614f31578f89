// Reads the Open Data Portal's JSON answers through the rules file's mapping: one
// application's record into the entry's fields, and a page of search hits into numbers and
// their last-ingestion times. A bad answer yields a message and no fields, so nothing stored
// changes; a field the mapping cannot find is empty unless the mapping marks it required.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "docket/Deadline.h"
#include "retrieval/OdpMapping.h"

namespace larkspire {

class CEntry;

enum class EOdpResult {
  kMapped,     // fields holds every field of kOdpFetchedFields
  kNotFound,   // the service knows no such application (count 0 or an empty bag)
  kBadAnswer,  // error says what is wrong with the answer
};

struct COdpField {
  int id;
  std::string text;
};

struct COdpApplication {
  EOdpResult result = EOdpResult::kBadAnswer;
  std::string error;
  std::vector<COdpField> fields;
  // The record's last ingestion time (the mapping's search-time, read from the record) as
  // sent; "" when the record has none of the expected kind.
  std::string ingested;
  // The record's whole event history in the service's order, for the docket; nothing when the
  // mapping names no events or finds none.
  std::optional<std::vector<CStatusEvent>> history;
};

struct COdpSearchHit {
  std::string number;     // applicationNumberText as sent (digits)
  std::string ingested;   // lastIngestionDateTime as sent; "" when the hit has none
  std::string reference;  // the docket number (search-reference), Windows-1252; "" for none
};

struct COdpSearchPage {
  std::string error;        // "" when the page was read
  std::uint64_t total = 0;  // hits of the whole search (the answer's count)
  std::vector<COdpSearchHit> hits;
};

// Holds the parser's buffers between answers, so one reader serves a whole run; not for use
// by two threads at once.
class COdpAnswerReader {
 public:
  explicit COdpAnswerReader(COdpMapping mapping);
  ~COdpAnswerReader();
  COdpAnswerReader(const COdpAnswerReader&) = delete;
  COdpAnswerReader& operator=(const COdpAnswerReader&) = delete;

  // The first record of the answer's bag, field by field.
  COdpApplication ReadApplication(std::string_view json);
  // One page of a search whose fields were limited to the number and the ingestion time.
  // A search without hits is a page with none, not an error.
  COdpSearchPage ReadSearchPage(std::string_view json);

 private:
  struct CParser;
  COdpMapping mapping_;
  std::unique_ptr<CParser> parser_;
};

// Writes a mapped application's fields into the working copy of an entry.
void ApplyOdpFields(const std::vector<COdpField>& fields, CEntry& entry);

}  // namespace larkspire
