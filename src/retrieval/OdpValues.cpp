#include "retrieval/OdpValues.h"

#include <algorithm>
#include <optional>

#include "retrieval/OdpFormats.h"
#include "rules/PageText.h"

namespace larkspire {

namespace dom = simdjson::dom;
using EType = dom::element_type;

namespace {

constexpr std::string_view kAnswer = "The Open Data Portal's answer ";
constexpr std::string_view kRowSeparator = "| ";
// A value quoted in a message is cut here: the entry's Error is one line of a list.
constexpr std::size_t kQuotedValueLimit = 40;

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

std::optional<std::size_t> IndexOf(std::string_view name) {
  if (name.empty() || name.size() > 9 ||
      name.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::stoul(std::string(name));
}

// Callers check the type first. Arrays and objects are copied out of the result, a temporary
// that a range-for would otherwise outlive.
std::string_view StringOf(dom::element element) { return element.get_string().value_unsafe(); }
dom::array ArrayOf(dom::element element) { return element.get_array().value_unsafe(); }
dom::object ObjectOf(dom::element element) { return element.get_object().value_unsafe(); }

// The element of an array whose member name holds the latest date; of equal dates the first.
std::string SelectNewest(const COdpValue& array, std::string_view name, COdpReading& reading,
                         std::vector<COdpValue>& next) {
  std::optional<dom::element> newest;
  std::size_t newest_index = 0;
  std::string_view newest_date;
  std::size_t index = 0;
  for (dom::element element : ArrayOf(array.element)) {
    const std::size_t at = index++;
    if (element.type() != EType::OBJECT) {
      return reading.TypeError({element, reading.Index(array.where, at)}, "an object");
    }
    dom::element member;
    if (ObjectOf(element).at_key(name).get(member) != simdjson::SUCCESS || member.is_null()) {
      continue;
    }
    const std::string_view date = member.type() == EType::STRING ? StringOf(member) : "";
    if (member.type() != EType::STRING || !IsoDate(date)) {
      const COdpValue dated{member, reading.Member(reading.Index(array.where, at), name)};
      return member.type() == EType::STRING ? reading.DateError(dated, date)
                                            : reading.TypeError(dated, "a date");
    }
    if (!newest || date > newest_date) {
      newest = element;
      newest_index = at;
      newest_date = date;
    }
  }
  if (newest) next.push_back({*newest, reading.Index(array.where, newest_index)});
  return "";
}

std::string ApplyStep(const COdpStep& step, const COdpValue& value, COdpReading& reading,
                      std::vector<COdpValue>& next) {
  const EType type = value.element.type();
  if (type == EType::NULL_VALUE) return "";
  switch (step.kind) {
    case COdpStep::EKind::kMember: {
      dom::element child;
      if (type == EType::OBJECT) {
        if (ObjectOf(value.element).at_key(step.name).get(child) == simdjson::SUCCESS &&
            !child.is_null()) {
          next.push_back({child, reading.Member(value.where, step.name)});
        }
        return "";
      }
      const std::optional<std::size_t> index = IndexOf(step.name);
      if (type != EType::ARRAY || !index) return reading.TypeError(value, "an object");
      if (ArrayOf(value.element).at(*index).get(child) == simdjson::SUCCESS && !child.is_null()) {
        next.push_back({child, reading.Index(value.where, *index)});
      }
      return "";
    }
    case COdpStep::EKind::kEvery: {
      if (type != EType::ARRAY) return reading.TypeError(value, "a list");
      std::size_t index = 0;
      for (dom::element element : ArrayOf(value.element)) {
        if (!element.is_null()) next.push_back({element, reading.Index(value.where, index)});
        ++index;
      }
      return "";
    }
    case COdpStep::EKind::kNewest:
      if (type != EType::ARRAY) return reading.TypeError(value, "a list");
      return SelectNewest(value, step.name, reading, next);
  }
  return "";
}

bool MatchesEntry(std::string_view text, std::string_view from) {
  const bool any_start = from.starts_with('*');
  if (any_start) from.remove_prefix(1);
  const bool any_end = from.ends_with('*');
  if (any_end) from.remove_suffix(1);
  const std::string value = UpperAnsi(text);
  const std::string wanted = UpperAnsi(from);
  if (any_start && any_end) return value.find(wanted) != std::string::npos;
  if (any_start) return value.ends_with(wanted);
  if (any_end) return value.starts_with(wanted);
  return value == wanted;
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

std::string FormatDate(const COdpReference& reference, const COdpValue& value, COdpReading& reading,
                       std::string& out) {
  if (value.element.type() != EType::STRING) return reading.TypeError(value, "a date");
  const std::string_view text = StringOf(value.element);
  if (TrimDash(text).empty()) return "";
  std::optional<std::string> date =
      reference.format == EOdpFormat::kIsoDate ? IsoDate(text) : SiteTableDate(text);
  if (!date) return reading.DateError(value, text);
  out = std::move(*date);
  return "";
}

// One value in the reference's format; out stays empty when the value says nothing.
std::string FormatValue(const COdpReference& reference, const COdpValue& value,
                        COdpReading& reading, std::string& out) {
  const dom::element& element = value.element;
  const bool is_text = element.type() == EType::STRING;
  const bool is_number = IsWholeNumber(element);
  const std::string text = is_text ? Utf8ToWindows1252(StringOf(element)) : std::string();
  switch (reference.format) {
    case EOdpFormat::kText:
      if (!is_text) return reading.TypeError(value, "text");
      out = text;
      return "";
    case EOdpFormat::kNumber:
      if (!is_number) return reading.TypeError(value, "a whole number");
      out = WholeNumberText(element);
      return "";
    case EOdpFormat::kCode:
      if (!is_text && !is_number) return reading.TypeError(value, "text or a whole number");
      out = is_text ? text : WholeNumberText(element);
      return "";
    case EOdpFormat::kIsoDate:
    case EOdpFormat::kTableDate:
      return FormatDate(reference, value, reading, out);
    case EOdpFormat::kPatent:
      if (!is_text && !is_number) return reading.TypeError(value, "a patent number");
      out = FormatPatentNumber(is_text ? text : WholeNumberText(element));
      return "";
    case EOdpFormat::kPublication:
      if (!is_text) return reading.TypeError(value, "a publication number");
      out = FormatPublicationNumber(text);
      return "";
    case EOdpFormat::kApplication: {
      if (!is_text && !is_number) return reading.TypeError(value, "an application number");
      std::string number = is_text ? text : WholeNumberText(element);
      // A number loses the series' leading zero that the text keeps.
      if (!is_text && number.size() < 8) number.insert(0, 8 - number.size(), '0');
      out = FormatApplicationNumber(number);
      return "";
    }
    case EOdpFormat::kUspc:
      if (!is_text) return reading.TypeError(value, "a class");
      out = FormatUspcClass(text);
      return "";
    case EOdpFormat::kPresent:
      out = IsPresent(element) ? "yes" : "";
      return "";
    case EOdpFormat::kRows:
      if (element.type() != EType::OBJECT) return reading.TypeError(value, "an object");
      return ExpandTemplate(reading.Mapping().rows.find(reference.rows)->second, value, reading,
                            out);
  }
  return "";
}

std::string ExpandReference(const COdpReference& reference, const COdpValue& base,
                            COdpReading& reading, std::string& out) {
  std::vector<COdpValue> values;
  std::string error = FindValues(reference.path, base, reading, values);
  if (!error.empty()) return error;
  const COdpValueMap* map =
      reference.map.empty() ? nullptr : &reading.Mapping().maps.find(reference.map)->second;
  const std::size_t start = out.size();
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::string one;
    error = FormatValue(reference, values[i], reading, one);
    if (!error.empty()) return error;
    if (map) one = MapValue(*map, std::move(one));
    if (i > 0) out += kRowSeparator;
    out += one;
  }
  if (reference.required && TrimDash(CollapseSpace(std::string_view(out).substr(start))).empty()) {
    return reading.MissingError(base, reference.path);
  }
  return "";
}

}  // namespace

const COdpLocation* COdpReading::Member(const COdpLocation* parent, std::string_view name) {
  return &locations_.emplace_back(COdpLocation{parent, name, 0, false});
}

const COdpLocation* COdpReading::Index(const COdpLocation* parent, std::size_t index) {
  return &locations_.emplace_back(COdpLocation{parent, {}, index, true});
}

std::string COdpReading::Purpose() const {
  return is_field_ ? "the " + std::string(subject_) + " field" : std::string(subject_);
}

std::string COdpReading::TypeError(const COdpValue& value, std::string_view wanted) {
  unknown_shape_ = true;
  std::string message(kAnswer);
  message += "has ";
  message += Describe(value.element.type());
  message += " at " + LocationText(value.where) + " where " + Purpose() + " needs ";
  message += wanted;
  return message + ".";
}

std::string COdpReading::DateError(const COdpValue& value, std::string_view text) const {
  std::string shown = Utf8ToWindows1252(text.substr(0, kQuotedValueLimit));
  if (text.size() > kQuotedValueLimit) shown += "...";
  return std::string(kAnswer) + "has \"" + shown + "\" at " + LocationText(value.where) +
         " where " + Purpose() + " needs a date.";
}

std::string COdpReading::MissingError(const COdpValue& base, const COdpPath& path) {
  unknown_shape_ = true;
  const std::string location = base.where ? LocationText(base.where) : std::string();
  return std::string(kAnswer) + "has nothing at " + location + path.text + ", which " + Purpose() +
         " needs.";
}

std::string COdpReading::MissingPartError(const COdpPath& path) {
  unknown_shape_ = true;
  return std::string(kAnswer) + "has no " + path.text + "; the rules file may need an update.";
}

std::string LocationText(const COdpLocation* where) {
  if (where == nullptr) return "the top level";
  std::vector<const COdpLocation*> chain;
  for (; where != nullptr; where = where->parent) chain.push_back(where);
  std::string text;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    text += '/';
    if ((*it)->is_index) {
      text += std::to_string((*it)->index);
      continue;
    }
    for (char c : (*it)->name) {
      if (c == '~') {
        text += "~0";
      } else if (c == '/') {
        text += "~1";
      } else {
        text += c;
      }
    }
  }
  return text;
}

std::string FindValues(const COdpPath& path, const COdpValue& base, COdpReading& reading,
                       std::vector<COdpValue>& found) {
  std::vector<COdpValue> next;
  for (const std::vector<COdpStep>& steps : path.alternatives) {
    found.assign(1, base);
    for (const COdpStep& step : steps) {
      next.clear();
      for (const COdpValue& value : found) {
        std::string error = ApplyStep(step, value, reading, next);
        if (!error.empty()) return error;
      }
      found.swap(next);
      if (found.empty()) break;
    }
    if (!found.empty()) return "";
  }
  return "";
}

std::string ExpandTemplate(const COdpTemplate& parts, const COdpValue& base, COdpReading& reading,
                           std::string& out) {
  for (const auto& part : parts) {
    if (const auto* literal = std::get_if<std::string>(&part)) {
      out += *literal;
      continue;
    }
    std::string error = ExpandReference(std::get<COdpReference>(part), base, reading, out);
    if (!error.empty()) return error;
  }
  return "";
}

bool IsWholeNumber(const dom::element& element) {
  return element.type() == EType::INT64 || element.type() == EType::UINT64;
}

std::string WholeNumberText(const dom::element& element) {
  return element.type() == EType::INT64 ? std::to_string(element.get_int64().value_unsafe())
                                        : std::to_string(element.get_uint64().value_unsafe());
}

}  // namespace larkspire
