// Where each section of a rules text begins. Reading one entry looks up dozens of rules in the
// same text, and each lookup used to search the whole text for its section's header; the index
// finds it at once. Whether the text is still the one indexed is checked by comparing its bytes
// with a copy, far cheaper than a search, so a text changed in any way (even in place, at the
// same length) is indexed anew and every answer stays what the search would give.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace larkspire {

class CSectionIndex {
 public:
  // Where "\r\n" + section + ":" first stands in text (npos: nowhere), as FindBytes finds it.
  std::size_t Find(std::string_view text, std::string_view section);

 private:
  void Build(std::string_view text);

  std::string text_;
  bool built_ = false;
  // For every line that follows a line end and holds a ':' before the next line end: the text
  // before that ':', with where its line end stands (the first such line for each text).
  std::unordered_map<std::string_view, std::size_t> first_;
};

}  // namespace larkspire
