// The search syntax of the simulated Open Data Portal: the part of the service's Lucene-style
// query language that clients of the program use.
//
//   field:value   field:"a phrase"   field:(v1 OR v2 ...)   field:[from TO to]   field:*
//   clauses joined by AND, OR (also by mere juxtaposition, as Lucene does) and NOT, in
//   parentheses as needed; "*", "*:*" or nothing at all matches every record.
//
// A field is a dotted path into the record ("applicationMetaData.customerNumber"); a bare name
// that is not a top-level field is looked up under applicationMetaData, as the service allows.
// Values compare by their letters and digits alone, case ignored, so "US 2008-0228234 A1",
// "US20080228234A1" and "us 2008 0228234 a1" are the same publication; "*" in a value matches
// any run of characters. A range compares dates and date-times as text (a bound that is a date
// alone takes in the whole day) and whole numbers as numbers; "*" leaves that end open.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Json.h"

namespace larkspire::sim {

// The values of a field in a record, with the applicationMetaData fallback for a bare name.
std::vector<const CJson*> FieldValues(const CJson& record, const std::string& field);

// The values a field may match, as the query language compares them (letters and digits, "*"
// wildcards): exact ones looked up at once, so that a query naming a hundred application
// numbers does not try each of them on every record.
class COdpPatterns {
 public:
  void Add(std::string_view pattern);
  bool Empty() const { return exact_.empty() && wildcards_.empty(); }
  bool Matches(const CJson& value) const;

 private:
  std::unordered_set<std::string> exact_;
  std::vector<std::string> wildcards_;
};

// Whether a value lies in the range; an empty or "*" bound leaves that end open.
bool InRange(const CJson& value, const std::string& from, const std::string& to);

class COdpQuery {
 public:
  struct CNode;

  // An empty optional and the reason when the text is not in the syntax above.
  static std::optional<COdpQuery> Parse(std::string_view text, std::string& error);
  bool Matches(const CJson& record) const;

 private:
  std::shared_ptr<const CNode> root_;
};

}  // namespace larkspire::sim
