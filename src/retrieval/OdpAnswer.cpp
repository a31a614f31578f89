#include "retrieval/OdpAnswer.h"

#include <array>
#include <optional>

#include "entries/Entry.h"
#include "retrieval/OdpFormats.h"
#include "retrieval/OdpValues.h"
#include "rules/Dates.h"
#include "rules/PageText.h"

namespace larkspire {

namespace dom = simdjson::dom;
using EType = dom::element_type;

struct COdpAnswerReader::CParser {
  dom::parser parser;
};

namespace {

constexpr std::string_view kAnswer = "The Open Data Portal's answer ";

std::string ReadCount(const COdpValue& top, COdpReading& reading,
                      std::optional<std::uint64_t>& count) {
  count.reset();
  const COdpPath& path = reading.Mapping().count;
  if (path.alternatives.empty()) return "";
  reading.ReadFor("the count of records", false);
  std::vector<COdpValue> values;
  std::string error = FindValues(path, top, reading, values);
  if (!error.empty() || values.empty()) return error;
  const dom::element element = values.front().element;
  if (element.type() == EType::UINT64) {
    count = element.get_uint64().value_unsafe();
  } else if (element.type() == EType::INT64 && element.get_int64().value_unsafe() >= 0) {
    count = static_cast<std::uint64_t>(element.get_int64().value_unsafe());
  } else {
    return reading.TypeError(values.front(), "a whole number");
  }
  return "";
}

std::string ReadBag(const COdpValue& top, COdpReading& reading, std::vector<COdpValue>& records) {
  const COdpPath& path = reading.Mapping().bag;
  reading.ReadFor("the list of records", false);
  std::vector<COdpValue> values;
  std::string error = FindValues(path, top, reading, values);
  if (!error.empty()) return error;
  if (values.empty()) {
    return std::string(kAnswer) + "has no " + path.text + "; the rules file may need an update.";
  }
  const COdpValue& bag = values.front();
  if (bag.element.type() != EType::ARRAY) return reading.TypeError(bag, "a list");
  dom::array elements = bag.element.get_array().value_unsafe();
  std::size_t index = 0;
  for (dom::element element : elements) {
    const COdpValue record{element, reading.Index(bag.where, index++)};
    if (element.type() != EType::OBJECT) return reading.TypeError(record, "an object");
    records.push_back(record);
  }
  return "";
}

// The records of an answer: within the size limit, parsed, counted and found in the bag. ""
// or a message; no records and no message when the service found nothing. count is the
// answer's own, when it has one.
std::string ReadRecords(dom::parser& parser, std::string_view json, COdpReading& reading,
                        std::optional<std::uint64_t>& count, std::vector<COdpValue>& records) {
  const std::size_t limit = reading.Mapping().limit;
  if (json.size() > limit) {
    return std::string(kAnswer) + "is too large: " + std::to_string(json.size()) +
           " bytes, more than the " + std::to_string(limit) + " read.";
  }
  dom::element top;
  const simdjson::error_code code = parser.parse(json.data(), json.size(), true).get(top);
  if (code != simdjson::SUCCESS) {
    return std::string(kAnswer) + "is not valid JSON: " + simdjson::error_message(code);
  }
  std::string error = ReadCount({top, nullptr}, reading, count);
  if (error.empty() && count != 0u) error = ReadBag({top, nullptr}, reading, records);
  return error;
}

// A search hit's number (text, or a number as sent) or time (text only).
std::string ReadHitValue(const COdpPath& path, const COdpValue& hit, COdpReading& reading,
                         bool number, std::string& out) {
  std::vector<COdpValue> values;
  std::string error = FindValues(path, hit, reading, values);
  if (!error.empty()) return error;
  if (values.empty()) return number ? reading.MissingError(hit, path) : "";
  const dom::element element = values.front().element;
  if (element.type() == EType::STRING) {
    out = element.get_string().value_unsafe();
  } else if (number && IsWholeNumber(element)) {
    out = WholeNumberText(element);
  } else {
    return reading.TypeError(values.front(), number ? "text or a whole number" : "text");
  }
  return "";
}

// Every event of the record as the mapping's event templates write it; an event without a
// date (or one that is not a date) tells the docket nothing and is passed by.
std::string ReadHistory(const COdpValue& record, COdpReading& reading,
                        std::vector<CStatusEvent>& history) {
  const COdpMapping& mapping = reading.Mapping();
  reading.ReadFor("the event history", false);
  std::vector<COdpValue> events;
  std::string error = FindValues(mapping.events, record, reading, events);
  if (!error.empty()) return error;
  history.reserve(events.size());
  for (const COdpValue& event : events) {
    std::string date;
    CStatusEvent read;
    error = ExpandTemplate(mapping.event_date, event, reading, date);
    if (error.empty()) error = ExpandTemplate(mapping.event_code, event, reading, read.code);
    if (error.empty()) error = ExpandTemplate(mapping.event_text, event, reading, read.text);
    if (!error.empty()) return error;
    read.day = ParseDayNumber(date);
    if (read.day == kUnknownDayNumber || read.day == 0) continue;
    read.code = TrimDash(CollapseSpace(read.code));
    read.text = TrimDash(CollapseSpace(read.text));
    history.push_back(std::move(read));
  }
  return "";
}

}  // namespace

COdpAnswerReader::COdpAnswerReader(COdpMapping mapping)
    : mapping_(std::move(mapping)), parser_(std::make_unique<CParser>()) {}

COdpAnswerReader::~COdpAnswerReader() = default;

COdpApplication COdpAnswerReader::ReadApplication(std::string_view json) {
  COdpApplication answer;
  COdpReading reading(mapping_, "", false);
  std::optional<std::uint64_t> count;
  std::vector<COdpValue> records;
  answer.error = ReadRecords(parser_->parser, json, reading, count, records);
  if (!answer.error.empty()) return answer;
  if (records.empty()) {
    answer.result = EOdpResult::kNotFound;
    answer.error = "The Open Data Portal has no application with this number.";
    return answer;
  }

  std::array<const COdpTemplate*, kFieldCount> rules{};
  for (const auto& [id, parts] : mapping_.fields) rules[static_cast<std::size_t>(id)] = &parts;
  std::vector<COdpField> fields;
  fields.reserve(kOdpFetchedFields.size());
  for (int id : kOdpFetchedFields) {
    std::string text;
    if (const COdpTemplate* parts = rules[static_cast<std::size_t>(id)]) {
      reading.ReadFor(kFields[id].key, true);
      answer.error = ExpandTemplate(*parts, records.front(), reading, text);
      if (!answer.error.empty()) return answer;
    }
    fields.push_back({id, TrimDash(CollapseSpace(text))});
  }
  if (!mapping_.events.alternatives.empty()) {
    std::vector<CStatusEvent> history;
    answer.error = ReadHistory(records.front(), reading, history);
    if (!answer.error.empty()) return answer;
    // Every application the service serves has events: none means the history was renamed
    // under the mapping, and an empty history would close every deadline of the entry.
    if (!history.empty()) answer.history = std::move(history);
  }
  if (!mapping_.search_time.alternatives.empty()) {
    // Only a hint of when to fetch again: without it the application is fetched every run.
    reading.ReadFor("the last ingestion time", false);
    if (!ReadHitValue(mapping_.search_time, records.front(), reading, false, answer.ingested)
             .empty()) {
      answer.ingested.clear();
    }
  }
  answer.result = EOdpResult::kMapped;
  answer.fields = std::move(fields);
  return answer;
}

COdpSearchPage COdpAnswerReader::ReadSearchPage(std::string_view json) {
  COdpSearchPage page;
  if (mapping_.search_number.alternatives.empty()) {
    page.error = "The rules file's " + std::string(kOdpSection) + " section has no search-number.";
    return page;
  }
  COdpReading reading(mapping_, "", false);
  std::optional<std::uint64_t> count;
  std::vector<COdpValue> records;
  page.error = ReadRecords(parser_->parser, json, reading, count, records);
  if (!page.error.empty()) return page;

  reading.ReadFor("a search hit", false);
  std::vector<COdpSearchHit> hits;
  hits.reserve(records.size());
  for (const COdpValue& record : records) {
    COdpSearchHit hit;
    page.error = ReadHitValue(mapping_.search_number, record, reading, true, hit.number);
    if (page.error.empty() && !mapping_.search_time.alternatives.empty()) {
      page.error = ReadHitValue(mapping_.search_time, record, reading, false, hit.ingested);
    }
    if (page.error.empty() && !mapping_.search_reference.alternatives.empty()) {
      page.error = ReadHitValue(mapping_.search_reference, record, reading, false, hit.reference);
      hit.reference = Utf8ToWindows1252(hit.reference);
    }
    if (!page.error.empty()) return page;
    hits.push_back(std::move(hit));
  }
  // The count is the whole search's; a page holds at most its limit of hits.
  page.total = count.value_or(hits.size());
  page.hits = std::move(hits);
  return page;
}

void ApplyOdpFields(const std::vector<COdpField>& fields, CEntry& entry) {
  for (const COdpField& field : fields) entry.SetText(field.id, field.text);
}

}  // namespace larkspire
