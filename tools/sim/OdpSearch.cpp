#include "OdpSearch.h"

#include <simdjson.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "OdpQuery.h"

namespace larkspire::sim {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

std::string Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::vector<std::string> SplitCommas(std::string_view text) {
  std::vector<std::string> parts;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    if (std::string part = Trim(text.substr(0, comma)); !part.empty()) parts.push_back(part);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return parts;
}

std::optional<long long> ReadCount(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 12) {
    return std::nullopt;
  }
  return std::atoll(text.c_str());
}

std::string ReadSort(std::string_view text, COdpSearch& search) {
  for (const std::string& part : SplitCommas(text)) {
    const size_t blank = part.find(' ');
    const std::string order = blank == std::string::npos ? "asc" : Trim(part.substr(blank));
    if (strcasecmp(order.c_str(), "asc") != 0 && strcasecmp(order.c_str(), "desc") != 0) {
      return "sort order '" + order + "' (asc or desc)";
    }
    search.sort.push_back({part.substr(0, blank), strcasecmp(order.c_str(), "desc") == 0});
  }
  return "";
}

// "2008-06-30:2009-01-15" or with date-times, whose own colons make the split less plain: the
// separator is the colon after a complete date or date-time (or a number, or "*").
bool SplitRange(std::string_view text, std::string& from, std::string& to) {
  for (size_t colon = text.find(':'); colon != std::string_view::npos;
       colon = text.find(':', colon + 1)) {
    const std::string_view left = text.substr(0, colon);
    if (left.size() == 10 || left.size() == 19 || left == "*" ||
        left.find_first_not_of("0123456789") == std::string_view::npos) {
      from = std::string(left);
      to = std::string(text.substr(colon + 1));
      return true;
    }
  }
  return false;
}

// A filter value or range bound of a JSON body: a string or a whole number.
std::optional<std::string> ReadScalar(element value) {
  std::string_view text;
  if (value.get_string().get(text) == simdjson::SUCCESS) return std::string(text);
  int64_t number = 0;
  if (value.get_int64().get(number) == simdjson::SUCCESS) return std::to_string(number);
  return std::nullopt;
}

std::string ReadString(element value, const char* what, std::string& out) {
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS)
    return std::string(what) + " is not a string";
  out = std::string(text);
  return "";
}

std::string ReadFiltersBody(element value, COdpSearch& search) {
  simdjson::dom::array filters;
  if (value.get_array().get(filters) != simdjson::SUCCESS) return "filters is not an array";
  for (element item : filters) {
    COdpSearch::CFilter filter;
    element name, values;
    if (item["name"].get(name) != simdjson::SUCCESS ||
        item["value"].get(values) != simdjson::SUCCESS) {
      return "a filter has no name or no value";
    }
    if (std::string error = ReadString(name, "a filter's name", filter.field); !error.empty()) {
      return error;
    }
    simdjson::dom::array list;
    if (values.get_array().get(list) != simdjson::SUCCESS)
      return "a filter's value is not an array";
    for (element entry : list) {
      const auto text = ReadScalar(entry);
      if (!text) return "a filter value is neither a string nor a whole number";
      filter.values.push_back(*text);
    }
    search.filters.push_back(std::move(filter));
  }
  return "";
}

std::string ReadRangesBody(element value, COdpSearch& search) {
  simdjson::dom::array ranges;
  if (value.get_array().get(ranges) != simdjson::SUCCESS) return "rangeFilters is not an array";
  for (element item : ranges) {
    COdpSearch::CRange range;
    element field;
    if (item["field"].get(field) != simdjson::SUCCESS) return "a range filter has no field";
    if (std::string error = ReadString(field, "a range filter's field", range.field);
        !error.empty()) {
      return error;
    }
    for (const auto& [key, bound] : {std::pair{"valueFrom", &range.from}, {"valueTo", &range.to}}) {
      element found;
      if (item[key].get(found) != simdjson::SUCCESS) continue;
      const auto text = ReadScalar(found);
      if (!text) return std::string(key) + " is neither a string nor a whole number";
      *bound = *text;
    }
    if (range.from.empty() && range.to.empty()) return "a range filter has neither end";
    search.ranges.push_back(std::move(range));
  }
  return "";
}

std::string ReadFieldsBody(element value, COdpSearch& search) {
  simdjson::dom::array fields;
  if (value.get_array().get(fields) != simdjson::SUCCESS) return "fields is not an array";
  for (element item : fields) {
    std::string field;
    if (std::string error = ReadString(item, "a field", field); !error.empty()) return error;
    search.fields.push_back(field);
  }
  return "";
}

std::string ReadPaginationBody(element value, COdpSearch& search) {
  for (const auto& [key, target] :
       {std::pair{"offset", &search.offset}, {"limit", &search.limit}}) {
    element found;
    if (value[key].get(found) != simdjson::SUCCESS) continue;
    int64_t number = 0;
    if (found.get_int64().get(number) != simdjson::SUCCESS || number < 0) {
      return std::string("pagination ") + key + " is not a whole number of zero or more";
    }
    *target = number;
  }
  return "";
}

std::string ReadSortBody(element value, COdpSearch& search) {
  std::string_view text;
  if (value.get_string().get(text) == simdjson::SUCCESS) return ReadSort(text, search);
  simdjson::dom::array sorts;
  if (value.get_array().get(sorts) != simdjson::SUCCESS) return "sort is not an array";
  for (element item : sorts) {
    element field, order;
    std::string name, direction = "asc";
    if (item["field"].get(field) != simdjson::SUCCESS) return "a sort has no field";
    if (std::string error = ReadString(field, "a sort's field", name); !error.empty()) return error;
    if (item["order"].get(order) == simdjson::SUCCESS) {
      if (std::string error = ReadString(order, "a sort's order", direction); !error.empty()) {
        return error;
      }
    }
    if (std::string error = ReadSort(name + " " + direction, search); !error.empty()) return error;
  }
  return "";
}

// The first value of the field in a record, for sorting.
std::string SortKey(const CJson& record, const std::string& field) {
  const std::vector<const CJson*> values = FieldValues(record, field);
  return values.empty() ? "" : values.front()->Scalar();
}

bool SortsBefore(const std::string& a, const std::string& b) {
  const bool a_number = !a.empty() && a.find_first_not_of("0123456789") == std::string::npos;
  const bool b_number = !b.empty() && b.find_first_not_of("0123456789") == std::string::npos;
  if (a_number && b_number && a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool PassesFilters(const CJson& record, const COdpSearch& search,
                   const std::vector<COdpPatterns>& filters) {
  for (size_t i = 0; i < filters.size(); ++i) {
    bool any = false;
    for (const CJson* value : FieldValues(record, search.filters[i].field)) {
      any = any || filters[i].Matches(*value);
    }
    if (!any) return false;
  }
  for (const COdpSearch::CRange& range : search.ranges) {
    bool any = false;
    for (const CJson* value : FieldValues(record, range.field)) {
      any = any || InRange(*value, range.from, range.to);
    }
    if (!any) return false;
  }
  return true;
}

}  // namespace

std::string ReadSearchQuery(const CQuery& params, COdpSearch& search) {
  for (const auto& [name, value] : params) {
    if (name == "q") {
      search.q = value;
    } else if (name == "offset" || name == "limit") {
      const auto count = ReadCount(value);
      if (!count) return name + " '" + value + "' is not a whole number of zero or more";
      (name == "offset" ? search.offset : search.limit) = *count;
    } else if (name == "fields") {
      for (const std::string& field : SplitCommas(value)) search.fields.push_back(field);
    } else if (name == "sort") {
      if (std::string error = ReadSort(value, search); !error.empty()) return error;
    } else if (name == "filters" || name == "rangeFilters") {
      const std::string text = Trim(value);
      const size_t blank = text.find(' ');
      if (blank == std::string::npos) return name + " '" + value + "' lacks its values";
      const std::string field = text.substr(0, blank);
      const std::string rest = Trim(text.substr(blank + 1));
      if (name == "filters") {
        search.filters.push_back({field, SplitCommas(rest)});
        continue;
      }
      COdpSearch::CRange range{field, "", ""};
      if (!SplitRange(rest, range.from, range.to)) {
        return "rangeFilters '" + value + "' is not 'field from:to'";
      }
      search.ranges.push_back(std::move(range));
    }
  }
  return "";
}

std::string ReadSearchBody(std::string_view body, COdpSearch& search) {
  simdjson::dom::parser parser;
  element root;
  if (const auto error = parser.parse(body.data(), body.size()).get(root); error) {
    return std::string("the body is not JSON: ") + simdjson::error_message(error);
  }
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) return "the body is not a JSON object";
  for (const auto field : object) {
    std::string error;
    if (field.key == "q") {
      if (!field.value.is_null()) error = ReadString(field.value, "q", search.q);
    } else if (field.key == "filters") {
      error = ReadFiltersBody(field.value, search);
    } else if (field.key == "rangeFilters") {
      error = ReadRangesBody(field.value, search);
    } else if (field.key == "fields") {
      error = ReadFieldsBody(field.value, search);
    } else if (field.key == "pagination") {
      error = ReadPaginationBody(field.value, search);
    } else if (field.key == "sort") {
      error = ReadSortBody(field.value, search);
    }
    if (!error.empty()) return error;
  }
  return "";
}

std::string RunSearch(const COdpDay& day, const COdpSearch& search, size_t cap, COdpHits& hits) {
  std::string error;
  const auto query = COdpQuery::Parse(search.q, error);
  if (!query) return "q: " + error;
  if (static_cast<unsigned long long>(search.offset) >= cap) {
    return "offset " + std::to_string(search.offset) + " lies past the " + std::to_string(cap) +
           " hits a search serves";
  }
  std::vector<COdpPatterns> filters(search.filters.size());
  for (size_t i = 0; i < search.filters.size(); ++i) {
    for (const std::string& value : search.filters[i].values) filters[i].Add(value);
  }
  std::vector<const CJson*> matching;
  for (const CJson& record : day.records) {
    if (query->Matches(record) && PassesFilters(record, search, filters)) {
      matching.push_back(&record);
    }
  }
  if (!search.sort.empty()) {
    std::stable_sort(matching.begin(), matching.end(), [&](const CJson* a, const CJson* b) {
      for (const COdpSearch::CSort& sort : search.sort) {
        const std::string key_a = SortKey(*a, sort.field);
        const std::string key_b = SortKey(*b, sort.field);
        if (key_a == key_b) continue;
        // Records without the field come last either way.
        if (key_a.empty() || key_b.empty()) return key_b.empty();
        return sort.descending ? SortsBefore(key_b, key_a) : SortsBefore(key_a, key_b);
      }
      return false;
    });
  }
  hits.count = matching.size();
  const size_t window = std::min(matching.size(), cap);
  const size_t first = std::min(window, static_cast<size_t>(search.offset));
  const size_t last = std::min(window, first + static_cast<size_t>(search.limit));
  hits.page.assign(matching.begin() + static_cast<std::ptrdiff_t>(first),
                   matching.begin() + static_cast<std::ptrdiff_t>(last));
  return "";
}

}  // namespace larkspire::sim
