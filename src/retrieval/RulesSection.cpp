#include "retrieval/RulesSection.h"

#include "rules/PageText.h"

namespace larkspire {

std::vector<CRulesEntry> ReadRulesSection(std::string_view rules, std::string_view section) {
  std::vector<CRulesEntry> entries;
  std::string header = "\r\n";
  header += section;
  header += ':';
  const std::size_t found = rules.find(header);
  if (found == std::string_view::npos) return entries;

  // The header line's own remainder is the section's value, not an entry.
  std::size_t line_start = rules.find("\r\n", found + header.size());
  while (line_start != std::string_view::npos) {
    line_start += 2;
    const std::size_t line_end = rules.find("\r\n", line_start);
    const std::string_view line =
        rules.substr(line_start, line_end == std::string_view::npos ? std::string_view::npos
                                                                    : line_end - line_start);
    if (!line.empty() && line[0] != ' ' && line[0] != ';') break;
    line_start = line_end;
    if (line.size() < 2 || line[0] != ' ' || line[1] == ';') continue;
    const std::size_t colon = line.find(": ", 1);
    if (colon == std::string_view::npos) continue;
    std::string value = ReplaceAll(line.substr(colon + 2), "\\r\\n", "\r\n");
    entries.push_back({std::string(line.substr(1, colon - 1)), ReplaceAll(value, "\\\\", "\\")});
  }
  return entries;
}

}  // namespace larkspire
