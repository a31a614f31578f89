#include "retrieval/OdpAnswer.h"

#include <simdjson.h>

#include <array>
#include <optional>

#include "entries/Entry.h"
#include "retrieval/OdpFormats.h"
#include "rules/PageText.h"

namespace larkspire {

namespace dom = simdjson::dom;
using EType = dom::element_type;

struct COdpAnswerReader::CParser {
  dom::parser parser;
};

namespace {

constexpr std::string_view kAnswer = "The Open Data Portal's answer ";
constexpr std::string_view kRowSeparator = "| ";
// A value quoted in a message is cut here: the entry's Error is one line of a list.
constexpr std::size_t kQuotedValueLimit = 40;

struct CValue {
  dom::element element;
  std::string location;  // JSON Pointer from the top of the answer
};

// What is being read, for messages ("the Examiner field", "a search hit"), and the mapping
// whose rows and tables references name.
struct CContext {
  const COdpMapping& mapping;
  std::string purpose;
};

std::string Where(const std::string& location) {
  return location.empty() ? "the top level" : location;
}

std::string_view Describe(EType type) {
  switch (type) {
    case EType::STRING:
      return "text";
    case EType::INT64:
    case EType::UINT64:
    case EType::DOUBLE:
      return "a number";
    case EType::BOOL:
      return "true or false";
    case EType::ARRAY:
      return "a list";
    case EType::OBJECT:
      return "an object";
    case EType::NULL_VALUE:
      break;
  }
  return "null";
}

std::string TypeError(const CValue& value, const CContext& context, std::string_view wanted) {
  std::string message(kAnswer);
  message += "has ";
  message += Describe(value.element.type());
  message += " at " + Where(value.location) + " where " + context.purpose + " needs ";
  message += wanted;
  return message + ".";
}

std::string DateError(const CValue& value, std::string_view text, const CContext& context) {
  std::string shown = Utf8ToWindows1252(text.substr(0, kQuotedValueLimit));
  if (text.size() > kQuotedValueLimit) shown += "...";
  return std::string(kAnswer) + "has \"" + shown + "\" at " + Where(value.location) + " where " +
         context.purpose + " needs a date.";
}

std::string MissingError(const std::string& location, const CContext& context) {
  return std::string(kAnswer) + "has nothing at " + location + ", which " + context.purpose +
         " needs.";
}

std::string Child(const std::string& location, std::string_view name) {
  std::string out = location + "/";
  for (char c : name) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Child(const std::string& location, std::size_t index) {
  return location + "/" + std::to_string(index);
}

std::optional<std::size_t> Index(std::string_view name) {
  if (name.empty() || name.size() > 9 ||
      name.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::stoul(std::string(name));
}

// Callers check the type first. The array and object are copied out of the result, which is
// a temporary that a range-for would otherwise outlive.
std::string_view StringOf(dom::element element) { return element.get_string().value_unsafe(); }
dom::array ArrayOf(dom::element element) { return element.get_array().value_unsafe(); }
dom::object ObjectOf(dom::element element) { return element.get_object().value_unsafe(); }

bool IsWholeNumber(EType type) { return type == EType::INT64 || type == EType::UINT64; }

std::string WholeNumberText(dom::element element) {
  return element.type() == EType::INT64 ? std::to_string(element.get_int64().value_unsafe())
                                        : std::to_string(element.get_uint64().value_unsafe());
}

// The element of an array whose member name holds the latest date; of equal dates the first.
std::string SelectNewest(const CValue& array, std::string_view name, const CContext& context,
                         std::vector<CValue>& next) {
  std::optional<CValue> newest;
  std::string_view newest_date;
  std::size_t index = 0;
  for (dom::element element : ArrayOf(array.element)) {
    CValue item{element, Child(array.location, index++)};
    if (element.type() != EType::OBJECT) return TypeError(item, context, "an object");
    dom::element member;
    if (ObjectOf(element).at_key(name).get(member) != simdjson::SUCCESS || member.is_null()) {
      continue;
    }
    CValue dated{member, Child(item.location, name)};
    if (member.type() != EType::STRING) return TypeError(dated, context, "a date");
    const std::string_view date = StringOf(member);
    if (!IsoDate(date)) return DateError(dated, date, context);
    if (!newest || date > newest_date) {
      newest = std::move(item);
      newest_date = date;
    }
  }
  if (newest) next.push_back(std::move(*newest));
  return "";
}

std::string ApplyStep(const COdpStep& step, const CValue& value, const CContext& context,
                      std::vector<CValue>& next) {
  const EType type = value.element.type();
  if (type == EType::NULL_VALUE) return "";
  switch (step.kind) {
    case COdpStep::EKind::kMember: {
      dom::element child;
      if (type == EType::OBJECT) {
        if (ObjectOf(value.element).at_key(step.name).get(child) == simdjson::SUCCESS &&
            !child.is_null()) {
          next.push_back({child, Child(value.location, step.name)});
        }
        return "";
      }
      const std::optional<std::size_t> index = Index(step.name);
      if (type != EType::ARRAY || !index) return TypeError(value, context, "an object");
      if (ArrayOf(value.element).at(*index).get(child) == simdjson::SUCCESS && !child.is_null()) {
        next.push_back({child, Child(value.location, *index)});
      }
      return "";
    }
    case COdpStep::EKind::kEvery: {
      if (type != EType::ARRAY) return TypeError(value, context, "a list");
      std::size_t index = 0;
      for (dom::element element : ArrayOf(value.element)) {
        if (!element.is_null()) next.push_back({element, Child(value.location, index)});
        ++index;
      }
      return "";
    }
    case COdpStep::EKind::kNewest:
      if (type != EType::ARRAY) return TypeError(value, context, "a list");
      return SelectNewest(value, step.name, context, next);
  }
  return "";
}

// The values a path finds from base: those of the first alternative that finds any.
std::string Evaluate(const COdpPath& path, const CValue& base, const CContext& context,
                     std::vector<CValue>& found) {
  found.clear();
  for (const std::vector<COdpStep>& steps : path.alternatives) {
    std::vector<CValue> current{base};
    for (const COdpStep& step : steps) {
      std::vector<CValue> next;
      for (const CValue& value : current) {
        std::string error = ApplyStep(step, value, context, next);
        if (!error.empty()) return error;
      }
      current = std::move(next);
      if (current.empty()) break;
    }
    if (!current.empty()) {
      found = std::move(current);
      return "";
    }
  }
  return "";
}

bool MatchesIgnoringCase(std::string_view text, std::size_t at, std::string_view what) {
  if (at > text.size() || text.size() - at < what.size()) return false;
  return UpperAnsi(text.substr(at, what.size())) == UpperAnsi(what);
}

bool MatchesEntry(std::string_view text, std::string_view from) {
  const bool any_start = from.starts_with('*');
  if (any_start) from.remove_prefix(1);
  const bool any_end = from.ends_with('*');
  if (any_end) from.remove_suffix(1);
  if (any_start && any_end) return UpperAnsi(text).find(UpperAnsi(from)) != std::string::npos;
  if (any_start)
    return text.size() >= from.size() && MatchesIgnoringCase(text, text.size() - from.size(), from);
  if (any_end) return MatchesIgnoringCase(text, 0, from);
  return text.size() == from.size() && MatchesIgnoringCase(text, 0, from);
}

std::string MapValue(const COdpValueMap& map, std::string text) {
  for (const auto& [from, to] : map) {
    if (MatchesEntry(text, from)) return to;
  }
  return text;
}

bool IsPresent(dom::element element) {
  switch (element.type()) {
    case EType::NULL_VALUE:
      return false;
    case EType::BOOL:
      return element.get_bool().value_unsafe();
    case EType::STRING:
      return !TrimDash(StringOf(element)).empty();
    case EType::ARRAY:
      return ArrayOf(element).size() > 0;
    case EType::OBJECT:
      return ObjectOf(element).size() > 0;
    default:
      return true;
  }
}

std::string ExpandTemplate(const COdpTemplate& parts, const CValue& base, const CContext& context,
                           std::string& out);

std::string FormatDate(const COdpReference& reference, const CValue& value, const CContext& context,
                       std::string& out) {
  if (value.element.type() != EType::STRING) return TypeError(value, context, "a date");
  const std::string_view text = StringOf(value.element);
  if (TrimDash(text).empty()) return "";
  const std::optional<std::string> date =
      reference.format == EOdpFormat::kIsoDate ? IsoDate(text) : SiteTableDate(text);
  if (!date) return DateError(value, text, context);
  out = *date;
  return "";
}

// One value in the reference's format; out is empty when the value says nothing.
std::string FormatValue(const COdpReference& reference, const CValue& value,
                        const CContext& context, std::string& out) {
  const EType type = value.element.type();
  const bool is_text = type == EType::STRING;
  const std::string text = is_text ? Utf8ToWindows1252(StringOf(value.element)) : std::string();
  switch (reference.format) {
    case EOdpFormat::kText:
      if (!is_text) return TypeError(value, context, "text");
      out = text;
      return "";
    case EOdpFormat::kNumber:
      if (!IsWholeNumber(type)) return TypeError(value, context, "a whole number");
      out = WholeNumberText(value.element);
      return "";
    case EOdpFormat::kCode:
      if (!is_text && !IsWholeNumber(type)) {
        return TypeError(value, context, "text or a whole number");
      }
      out = is_text ? text : WholeNumberText(value.element);
      return "";
    case EOdpFormat::kIsoDate:
    case EOdpFormat::kTableDate:
      return FormatDate(reference, value, context, out);
    case EOdpFormat::kPatent:
      if (!is_text && !IsWholeNumber(type)) return TypeError(value, context, "a patent number");
      out = FormatPatentNumber(is_text ? text : WholeNumberText(value.element));
      return "";
    case EOdpFormat::kPublication:
      if (!is_text) return TypeError(value, context, "a publication number");
      out = FormatPublicationNumber(text);
      return "";
    case EOdpFormat::kApplication: {
      if (!is_text && !IsWholeNumber(type)) {
        return TypeError(value, context, "an application number");
      }
      std::string number = is_text ? text : WholeNumberText(value.element);
      // A number loses the series' leading zero that the text keeps.
      if (!is_text && number.size() < 8) number.insert(0, 8 - number.size(), '0');
      out = FormatApplicationNumber(number);
      return "";
    }
    case EOdpFormat::kUspc:
      if (!is_text) return TypeError(value, context, "a class");
      out = FormatUspcClass(text);
      return "";
    case EOdpFormat::kPresent:
      out = IsPresent(value.element) ? "yes" : "";
      return "";
    case EOdpFormat::kRows:
      if (type != EType::OBJECT) return TypeError(value, context, "an object");
      return ExpandTemplate(context.mapping.rows.find(reference.rows)->second, value, context, out);
  }
  return "";
}

std::string ExpandReference(const COdpReference& reference, const CValue& base,
                            const CContext& context, std::string& out) {
  std::vector<CValue> values;
  std::string error = Evaluate(reference.path, base, context, values);
  if (!error.empty()) return error;
  const COdpValueMap* map =
      reference.map.empty() ? nullptr : &context.mapping.maps.find(reference.map)->second;
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::string one;
    error = FormatValue(reference, values[i], context, one);
    if (!error.empty()) return error;
    if (map) one = MapValue(*map, std::move(one));
    if (i > 0) text += kRowSeparator;
    text += one;
  }
  if (reference.required && TrimDash(CollapseSpace(text)).empty()) {
    return MissingError(base.location + reference.path.text, context);
  }
  out += text;
  return "";
}

std::string ExpandTemplate(const COdpTemplate& parts, const CValue& base, const CContext& context,
                           std::string& out) {
  for (const auto& part : parts) {
    if (const auto* literal = std::get_if<std::string>(&part)) {
      out += *literal;
      continue;
    }
    std::string error = ExpandReference(std::get<COdpReference>(part), base, context, out);
    if (!error.empty()) return error;
  }
  return "";
}

std::string ReadCount(const COdpMapping& mapping, const CValue& top,
                      std::optional<std::uint64_t>& count) {
  count.reset();
  if (mapping.count.alternatives.empty()) return "";
  const CContext context{mapping, "the count of records"};
  std::vector<CValue> values;
  std::string error = Evaluate(mapping.count, top, context, values);
  if (!error.empty() || values.empty()) return error;
  const dom::element element = values.front().element;
  if (element.type() == EType::UINT64) {
    count = element.get_uint64().value_unsafe();
  } else if (element.type() == EType::INT64 && element.get_int64().value_unsafe() >= 0) {
    count = static_cast<std::uint64_t>(element.get_int64().value_unsafe());
  } else {
    return TypeError(values.front(), context, "a whole number");
  }
  return "";
}

// The records of the answer's bag, or a message when the bag is not where the mapping says.
std::string ReadBag(const COdpMapping& mapping, const CValue& top, std::vector<CValue>& records) {
  records.clear();
  const CContext context{mapping, "the list of records"};
  std::vector<CValue> values;
  std::string error = Evaluate(mapping.bag, top, context, values);
  if (!error.empty()) return error;
  if (values.empty()) {
    return std::string(kAnswer) + "has no " + mapping.bag.text +
           "; the rules file may need an update.";
  }
  const CValue& bag = values.front();
  if (bag.element.type() != EType::ARRAY) return TypeError(bag, context, "a list");
  std::size_t index = 0;
  for (dom::element element : ArrayOf(bag.element)) {
    CValue record{element, Child(bag.location, index++)};
    if (element.type() != EType::OBJECT) return TypeError(record, context, "an object");
    records.push_back(std::move(record));
  }
  return "";
}

// A search hit's number (text, or a number as sent) or time (text only).
std::string ReadHitValue(const COdpPath& path, const CValue& hit, const CContext& context,
                         bool number, std::string& out) {
  std::vector<CValue> values;
  std::string error = Evaluate(path, hit, context, values);
  if (!error.empty()) return error;
  if (values.empty()) return number ? MissingError(hit.location + path.text, context) : "";
  const dom::element element = values.front().element;
  if (element.type() == EType::STRING) {
    out = StringOf(element);
  } else if (number && IsWholeNumber(element.type())) {
    out = WholeNumberText(element);
  } else {
    return TypeError(values.front(), context, number ? "text or a whole number" : "text");
  }
  return "";
}

// The answer's top value, or a message when it is too large or not JSON.
std::string ParseAnswer(dom::parser& parser, std::size_t limit, std::string_view json,
                        dom::element& top) {
  if (json.size() > limit) {
    return std::string(kAnswer) + "is too large: " + std::to_string(json.size()) +
           " bytes, more than the " + std::to_string(limit) + " read.";
  }
  const simdjson::error_code code = parser.parse(json.data(), json.size(), true).get(top);
  if (code != simdjson::SUCCESS) {
    return std::string(kAnswer) + "is not valid JSON: " + simdjson::error_message(code);
  }
  return "";
}

}  // namespace

COdpAnswerReader::COdpAnswerReader(COdpMapping mapping)
    : mapping_(std::move(mapping)), parser_(std::make_unique<CParser>()) {}

COdpAnswerReader::~COdpAnswerReader() = default;

COdpApplication COdpAnswerReader::ReadApplication(std::string_view json) {
  COdpApplication answer;
  dom::element top_element;
  answer.error = ParseAnswer(parser_->parser, mapping_.limit, json, top_element);
  if (!answer.error.empty()) return answer;
  const CValue top{top_element, ""};

  std::optional<std::uint64_t> count;
  std::vector<CValue> records;
  answer.error = ReadCount(mapping_, top, count);
  if (answer.error.empty() && count != 0u) answer.error = ReadBag(mapping_, top, records);
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
      const CContext context{mapping_, "the " + std::string(kFields[id].key) + " field"};
      answer.error = ExpandTemplate(*parts, records.front(), context, text);
      if (!answer.error.empty()) return answer;
    }
    fields.push_back({id, TrimDash(CollapseSpace(text))});
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
  dom::element top_element;
  page.error = ParseAnswer(parser_->parser, mapping_.limit, json, top_element);
  if (!page.error.empty()) return page;
  const CValue top{top_element, ""};

  std::optional<std::uint64_t> count;
  std::vector<CValue> records;
  page.error = ReadCount(mapping_, top, count);
  if (page.error.empty() && count != 0u) page.error = ReadBag(mapping_, top, records);
  if (!page.error.empty()) return page;

  const CContext context{mapping_, "a search hit"};
  std::vector<COdpSearchHit> hits;
  hits.reserve(records.size());
  for (const CValue& record : records) {
    COdpSearchHit hit;
    page.error = ReadHitValue(mapping_.search_number, record, context, true, hit.number);
    if (page.error.empty() && !mapping_.search_time.alternatives.empty()) {
      page.error = ReadHitValue(mapping_.search_time, record, context, false, hit.ingested);
    }
    if (!page.error.empty()) return page;
    hits.push_back(std::move(hit));
  }
  page.total = count.value_or(hits.size());
  page.hits = std::move(hits);
  return page;
}

void ApplyOdpFields(const std::vector<COdpField>& fields, CEntry& entry) {
  for (const COdpField& field : fields) entry.SetText(field.id, field.text);
}

}  // namespace larkspire
