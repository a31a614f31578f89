// Every entry of one rules-file section, in file order. LookupRule answers for one key at a
// time and substitutes the current entry's values; a reader that walks a whole section (the
// Open Data Portal mapping is a list of fields, rows and tables) needs the entries themselves.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

struct CRulesEntry {
  std::string key;
  std::string value;  // escapes undone; bracketed variable references left as they are
};

// The section is found and bounded as LookupRule finds and bounds it (header "name:" at a line
// start, body up to the first line that begins with neither a blank nor ";" nor is empty).
// Comment lines and lines without ": " are skipped. Empty when the section is missing.
std::vector<CRulesEntry> ReadRulesSection(std::string_view rules, std::string_view section);

}  // namespace larkspire
