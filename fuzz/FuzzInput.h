// Splitting one fuzz input into the several texts a target needs. Parts are separated by a
// zero byte, so the seed files stay readable and a mutation can move text between parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace larkspire::fuzz {

inline std::string_view AsText(const uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The text before the first zero byte; input keeps what follows it (empty without one).
inline std::string_view TakePart(std::string_view& input) {
  const std::size_t end = input.find('\0');
  const std::string_view part = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return part;
}

}  // namespace larkspire::fuzz
