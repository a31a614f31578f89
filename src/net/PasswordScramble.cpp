#include "net/PasswordScramble.h"

#include <algorithm>

#include "net/Base64.h"

namespace larkspire {

std::string ScramblePassword(std::string_view plain) {
  std::string once = Base64Encode(plain);
  std::reverse(once.begin(), once.end());
  std::string twice = Base64Encode(once);
  while (!twice.empty() && twice.back() == '=') twice.pop_back();
  return twice;
}

std::string UnscramblePassword(std::string_view stored) {
  std::string once = Base64Decode(stored);
  std::reverse(once.begin(), once.end());
  return Base64Decode(once);
}

}  // namespace larkspire
