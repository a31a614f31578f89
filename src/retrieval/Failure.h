// A failure read from a page: the text the user sees, and whether it stops the whole update
// run. The rules file's explanations mark a run-stopping failure with a leading "!"; that mark
// is read here, once, and never travels inside the text.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

struct CFailure {
  std::string text;
  bool fatal = false;

  bool Failed() const { return fatal || !text.empty(); }

  // An explanation as the rules file writes it.
  static CFailure FromExplanation(std::string_view explanation) {
    if (explanation.starts_with('!')) return {std::string(explanation.substr(1)), true};
    return {std::string(explanation), false};
  }
};

}  // namespace larkspire
