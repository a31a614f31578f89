// --write-pages: every page of the simulated day as files, with the field values the built-in
// rules should extract from them, so that tests can read real fixtures without a server.
#pragma once

#include <string>

#include "SimData.h"

namespace larkspire::sim {

// Returns "" or the reason writing failed.
std::string WritePages(const CSimData& data, int day, const std::string& dir);
// The contents of expected.txt for that day.
std::string ExpectedValues(const CSimData& data, int day);

// Numbers the site does not know, used for the not-found pages.
inline constexpr const char* kUnknownApplication = "10999999";
inline constexpr const char* kUnknownPatent = "9,999,999";
inline constexpr const char* kUnknownPublication = "US 2099-0999999 A1";

}  // namespace larkspire::sim
