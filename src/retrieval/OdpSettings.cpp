#include "retrieval/OdpSettings.h"

#include <algorithm>
#include <cstdlib>

#include "net/PasswordScramble.h"
#include "net/TextChecks.h"
#include "run/Settings.h"

namespace larkspire {

std::string TrimKey(std::string_view key) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = key.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return "";
  return std::string(key.substr(first, key.find_last_not_of(kSpace) - first + 1));
}

std::string OdpKeyOf(const CSettings& settings) {
  std::string key = TrimKey(UnscramblePassword(settings.OdpKey.Text()));
  if (key.empty()) {
    if (const char* variable = std::getenv(kOdpKeyVariable)) key = TrimKey(variable);
  }
  return key;
}

bool OdpKeyFromEnvironment(const CSettings& settings) {
  return TrimKey(UnscramblePassword(settings.OdpKey.Text())).empty() && !OdpKeyOf(settings).empty();
}

bool IsCustomerNumber(std::string_view text) {
  return !text.empty() && text.size() <= 12 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<std::string> SplitCustomerNumbers(std::string_view text) {
  std::vector<std::string> numbers;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find_first_of(" \t,;", at), text.size());
    if (end > at) numbers.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return numbers;
}

std::vector<std::string> OdpCustomerNumbersOf(const CSettings& settings) {
  return SplitCustomerNumbers(settings.OdpCustomerNumbers.Text());
}

std::string WithOdpServer(const std::string& url, const std::string& server) {
  constexpr std::string_view kScheme = "https://";
  if (server.empty() || !StartsWithIgnoringCase(url, kScheme)) return url;
  const std::size_t path = url.find_first_of("/?", kScheme.size());
  return std::string(kScheme) + server + (path == std::string::npos ? "" : url.substr(path));
}

}  // namespace larkspire
