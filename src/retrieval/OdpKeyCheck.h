// Test > Check Open Data Portal Key, and the Configure dialog's check of a key being entered:
// one request, and what the service answered.
#pragma once

#include <string>

namespace larkspire {

class CRun;

// Sends one small search with the key ("" for the settings' key, else USPTO_API_KEY) and
// returns what the service answered, in words for the user.
std::string CheckOdpKey(CRun& app, const std::string& key);

}  // namespace larkspire
