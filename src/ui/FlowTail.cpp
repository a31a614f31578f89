#include "ui/FlowTail.h"

namespace larkspire {

bool AppendFlowText(std::string& text, std::string_view addition) {
  if (text.size() + addition.size() < kFlowTextLimit) {
    text.append(addition);
    return false;
  }
  if (addition.size() <= kFlowTextKeep) {
    if (text.size() > kFlowTextKeep) text.erase(0, text.size() - kFlowTextKeep);
    text.append(addition);
  } else {
    text.assign(addition.substr(addition.size() - kFlowTextKeep));
  }
  return true;
}

}  // namespace larkspire
