// Which status source a run reads, and what it needs for the Open Data Portal: the API key
// (stored scrambled like the SMTP password, else taken from USPTO_API_KEY), the office's
// customer numbers for the master-list import, and the overrides a test set-up or an office
// with its own TLS-inspecting CA needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run/Settings.h"

namespace larkspire {

inline constexpr const char* kOdpKeyVariable = "USPTO_API_KEY";

// The key a request sends: the stored one, else the environment's; "" when there is none.
// Blanks and line ends around a pasted key are not part of it.
std::string OdpKeyOf(const CSettings& settings);
// Whether that key is the environment's: no key is stored.
bool OdpKeyFromEnvironment(const CSettings& settings);
std::string TrimKey(std::string_view key);
// The customer numbers of the setting, which separates them by blanks, commas or semicolons.
std::vector<std::string> SplitCustomerNumbers(std::string_view text);
std::vector<std::string> OdpCustomerNumbersOf(const CSettings& settings);
// A customer number is digits only: it goes into a search query as it is.
bool IsCustomerNumber(std::string_view text);

// The rules file's addresses name the service's host; OdpServer ("host:port"), when set,
// replaces the host and port of an https:// address. Other addresses come back unchanged.
std::string WithOdpServer(const std::string& url, const std::string& server);

}  // namespace larkspire
