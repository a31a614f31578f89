// The form in which the SMTP password is stored in the settings: not encryption, only enough
// that the password is not readable at a glance.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// Base64, reversed, Base64 again, trailing '=' removed: "abc" is stored as "akpXWQ".
std::string ScramblePassword(std::string_view plain);
std::string UnscramblePassword(std::string_view stored);

}  // namespace larkspire
