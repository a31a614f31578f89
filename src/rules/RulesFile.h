// The rules file: everything the program knows about the status site's pages (addresses,
// failure texts, field patterns) and the publisher's addresses, as sections of
// " key: value" lines. One copy is built in; a newer downloaded copy may replace it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

class AppCore;

inline constexpr std::string_view kVersionMarker = "version: ";
inline constexpr std::string_view kEndOfRulesLine = "\r\nend-of-rules\r\n";

// Where a downloaded copy is kept: LogDir/Larkspire/rules.txt.
std::string RulesFilePath(const AppCore& app);

// Whether a text may be used as a rules file at all: it begins with the version line and holds
// the end-of-rules line, so a copy cut short in transfer or on disk is never taken.
bool IsAcceptableRulesText(std::string_view text);

// Chooses between the built-in rules and a downloaded copy (the newer wins; a copy that is not
// acceptable is ignored) and sets the application's rules text and version.
void LoadRules(AppCore& app);

// The rest of the line after the first occurrence of marker (exact, else ignoring case),
// trimmed; "" when the marker is missing or its line has no line end.
std::string ValueAfterMarker(std::string_view text, std::string_view marker);

// The value of key in section with escapes undone and variable references substituted (so the
// result depends on the entry in the expansion slots). Without a key, the section header
// line's own text, untouched. "" when the section or key is missing.
std::string LookupRule(AppCore& app, std::string_view section, std::optional<std::string_view> key);

}  // namespace larkspire
