// A failure written the way the rules file writes its explanations, so tables of expected texts
// read as the rules do: a leading "!" for one that stops the run.
#pragma once

#include <string>

#include "retrieval/Failure.h"

namespace larkspire {

inline std::string Marked(const CFailure& failure) {
  return (failure.fatal ? "!" : "") + failure.text;
}

}  // namespace larkspire
