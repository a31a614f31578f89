// The simulator's expected.txt: sections "[name]" of "key: value" lines giving the field
// values its pages carry, so every status source can be checked against the same values.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rules/PageText.h"

namespace larkspire {

struct CSimSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;

  std::string Get(const std::string& key) const {
    for (const auto& [k, v] : values) {
      if (k == key) return v;
    }
    ADD_FAILURE() << "[" << name << "] has no " << key;
    return "";
  }
};

// "[name]" starts a section; "key: value" lines belong to it ("key:" alone is an empty value);
// "#" lines are comments. Lines before the first section go into an unnamed first one.
inline std::vector<CSimSection> ReadSimExpected(std::string text) {
  std::vector<CSimSection> sections(1);
  while (!text.empty()) {
    std::string line = SplitHead(text, "\n");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[' && line.back() == ']') {
      sections.push_back({line.substr(1, line.size() - 2), {}});
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    sections.back().values.emplace_back(line.substr(0, colon), value);
  }
  return sections;
}

}  // namespace larkspire
