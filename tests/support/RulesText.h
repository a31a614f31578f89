// Rules files for tests: the built-in copy with its version and "location" values replaced.
#pragma once

#include <map>
#include <string>

#include "rules/RulesFile.h"

namespace larkspire {

// The built-in rules with the given version, and each location key set to its value here
// (an empty value drops the key's line altogether).
inline std::string RulesWithLocation(const std::string& version,
                                     const std::map<std::string, std::string>& location) {
  std::string rules = ChooseRulesText("");
  rules.replace(0, rules.find("\r\n"), "version: " + version);
  for (const auto& [key, value] : location) {
    const std::string head = "\r\n " + key + ": ";
    const std::size_t at = rules.find(head);
    const std::size_t line_end = rules.find("\r\n", at + 2);
    if (at == std::string::npos) {
      rules.insert(rules.find("\r\nlocation:\r\n") + 11, head + value);
    } else if (value.empty()) {
      rules.erase(at, line_end - at);
    } else {
      rules.replace(at, line_end - at, head + value);
    }
  }
  return rules;
}

}  // namespace larkspire
