// Query strings and form bodies (name=value pairs joined by "&").
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace larkspire::sim {

using CQuery = std::vector<std::pair<std::string, std::string>>;

// "%XX" decoded and "+" read as a blank, as form data encodes them.
std::string DecodeComponent(std::string_view text);
// Appends the pairs of `text` to `query`; a part without "=" is a name with an empty value.
void ParseQuery(std::string_view text, CQuery& query);
// The value of the first pair of that name (names compared without regard to case), or "".
std::string QueryValue(const CQuery& query, std::string_view name);
bool HasQueryValue(const CQuery& query, std::string_view name);

}  // namespace larkspire::sim
