// The values of one parsed Open Data Portal answer as the mapping finds and writes them: paths
// walked over the parsed document, references formatted, templates expanded, and the messages
// that say where an answer went wrong. Used by the answer reader only.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/OdpMapping.h"

namespace larkspire {

// Where a value was found: a chain of member names and list indexes back to the top. Built as
// values are found, spelt out only for a message.
struct COdpLocation {
  const COdpLocation* parent;
  std::string_view name;  // a member name owned by the mapping, unless this is an index
  std::size_t index;
  bool is_index;
};

struct COdpValue {
  simdjson::dom::element element;
  const COdpLocation* where;  // null at the top of the answer
};

// Everything one reading of an answer shares: the mapping whose rows and tables references
// name, the places found so far (kept until the answer is read), and what is being read, for
// messages: a field's key, or a description such as "a search hit".
class COdpReading {
 public:
  COdpReading(const COdpMapping& mapping, std::string_view field_or_description, bool is_field)
      : mapping_(mapping), subject_(field_or_description), is_field_(is_field) {}

  const COdpMapping& Mapping() const { return mapping_; }
  // The same reading for another field or purpose, sharing the places found.
  void ReadFor(std::string_view field_or_description, bool is_field) {
    subject_ = field_or_description;
    is_field_ = is_field;
  }

  const COdpLocation* Member(const COdpLocation* parent, std::string_view name);
  const COdpLocation* Index(const COdpLocation* parent, std::size_t index);

  // The messages of a value of another kind and of a missing value mark the reading's answer
  // as of a shape the mapping does not know; an unreadable date is the value's own fault.
  std::string TypeError(const COdpValue& value, std::string_view wanted);
  std::string DateError(const COdpValue& value, std::string_view text) const;
  std::string MissingError(const COdpValue& base, const COdpPath& path);
  // A part the mapping names that the answer lacks altogether (the list of records).
  std::string MissingPartError(const COdpPath& path);
  bool UnknownShape() const { return unknown_shape_; }

 private:
  std::string Purpose() const;

  const COdpMapping& mapping_;
  std::deque<COdpLocation> locations_;
  std::string_view subject_;
  bool is_field_;
  bool unknown_shape_ = false;
};

// A JSON Pointer of a location; "the top level" for the top.
std::string LocationText(const COdpLocation* where);

// The values a path finds from base: those of the first alternative that finds any, nulls
// left out. "" or a message.
std::string FindValues(const COdpPath& path, const COdpValue& base, COdpReading& reading,
                       std::vector<COdpValue>& found);

// Appends the template's text for the value base (a record or a row's element). "" or a
// message.
std::string ExpandTemplate(const COdpTemplate& parts, const COdpValue& base, COdpReading& reading,
                           std::string& out);

// Whole numbers only, as decimal text.
bool IsWholeNumber(const simdjson::dom::element& element);
std::string WholeNumberText(const simdjson::dom::element& element);

}  // namespace larkspire
