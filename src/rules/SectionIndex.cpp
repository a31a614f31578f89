#include "rules/SectionIndex.h"

#include <cstring>

#include "rules/PageText.h"

namespace larkspire {

std::size_t CSectionIndex::Find(std::string_view text, std::string_view section) {
  // A name holding ':' or a line break can only be searched for.
  if (section.find_first_of(":\r\n") != std::string_view::npos) {
    std::string header = "\r\n";
    header += section;
    header += ':';
    return FindBytes(text, header);
  }
  if (!built_ || text.size() != text_.size() ||
      std::memcmp(text.data(), text_.data(), text.size()) != 0) {
    Build(text);
  }
  const auto found = first_.find(section);
  return found == first_.end() ? std::string_view::npos : found->second;
}

void CSectionIndex::Build(std::string_view text) {
  text_.assign(text);
  first_.clear();
  built_ = true;
  const std::string_view kept(text_);
  for (std::size_t end = kept.find("\r\n"); end != std::string_view::npos;) {
    const std::size_t next = kept.find("\r\n", end + 2);
    const std::string_view line = kept.substr(
        end + 2, next == std::string_view::npos ? std::string_view::npos : next - end - 2);
    // A name never holds a line break, so a line without ':' names nothing.
    const std::string_view name = line.substr(0, line.find(':'));
    if (name.size() < line.size() && name.find_first_of("\r\n") == std::string_view::npos) {
      first_.emplace(name, end);
    }
    end = next;
  }
}

}  // namespace larkspire
