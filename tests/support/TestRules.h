// The rules layer on its own: a rules text (the built-in one unless a test sets another) whose
// references resolve from a fixed table, the way the layers above resolve them from settings and
// entries. An unknown name comes back as "[Name]", as the program's own lookup answers.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "rules/RulesFile.h"

namespace larkspire {

struct CTestRules {
  std::string text = ChooseRulesText("");
  std::map<std::string, std::string, std::less<>> variables;
  // What the lookups reported (values they could not give).
  std::vector<std::string> reported;

  CRules View() {
    return {text,
            [this](std::string_view name) {
              const auto found = variables.find(name);
              return found != variables.end() ? found->second : "[" + std::string(name) + "]";
            },
            [this](const std::string& message) { reported.push_back(message); }};
  }
};

}  // namespace larkspire
