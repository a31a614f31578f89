// The rules file: everything the program knows about the status site's pages (addresses,
// failure texts, field patterns) and the publisher's addresses, as sections of
// " key: value" lines. One copy is built in; a newer downloaded copy may replace it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

// Resolves a "[Name]" reference in a rules-file value; the layers above supply it, so the
// rules know nothing of settings or entries.
using VariableLookup = std::function<std::string(std::string_view name)>;
// Told why a value could not be given.
using RulesErrorSink = std::function<void(const std::string& message)>;

// The longest value a lookup gives. Values are addresses, markers and patterns of a few hundred
// bytes; "#find=replace" pieces can double a value at each piece, so a few hundred bytes of
// rules could otherwise ask for hundreds of megabytes.
inline constexpr std::size_t kMaxRuleValueBytes = 64 * 1024;

// A rules text, how its references resolve, and where a value past the cap is reported (null
// for nowhere).
struct CRules {
  std::string_view text;
  VariableLookup variables;
  RulesErrorSink report_error = nullptr;
};

// "Rules file: <section> <key> is longer than 64 KB with its references filled in."
std::string RuleTooLongMessage(std::string_view section, std::string_view key);

inline constexpr std::string_view kVersionMarker = "version: ";
inline constexpr std::string_view kEndOfRulesLine = "\r\nend-of-rules\r\n";

// Where a downloaded copy is kept: LogDir/Larkspire/rules.txt, its signed manifest beside it
// as rules.txt.manifest; "" without a logging directory.
std::string RulesFilePath(const std::string& log_dir);
// Where an office puts a rules file of its own: LogDir/Larkspire/office-rules.txt; "" without a
// logging directory. It needs no signature, but it decides where the program sends its keys,
// so it is taken only from this user or root, and only when nobody else may write it: in a
// shared logging directory another user could otherwise point the program at a host of theirs.
std::string OfficeRulesFilePath(const std::string& log_dir);

// A rules file as the program reads it: stray NUL bytes dropped. "" when it cannot be read.
std::string ReadRulesFile(const std::string& path);

// Whether a text may be used as a rules file at all: it begins with the version line and holds
// the end-of-rules line, so a copy cut short in transfer or on disk is never taken.
bool IsAcceptableRulesText(std::string_view text);

// The office's own rules file when there is one that is acceptable (office is then set), else
// the built-in rules. A downloaded copy is not looked at here: only its signature vouches for
// it, and that is checked above this layer. passed_by is set to why an office file that exists
// was not even read (another user's, or writable by others), else "".
std::string ChooseRulesText(const std::string& log_dir, bool* office = nullptr,
                            std::string* passed_by = nullptr);

// The rest of the line after the first occurrence of marker (exact, else ignoring case),
// trimmed; "" when the marker is missing or its line has no line end.
std::string ValueAfterMarker(std::string_view text, std::string_view marker);

// The value of key in section with escapes undone and variable references substituted (so the
// result depends on what the lookup resolves them to). Without a key, the section header
// line's own text, untouched. "" when the section or key is missing, and "" reported through
// report_error when the substituted value would pass kMaxRuleValueBytes.
std::string LookupRule(const CRules& rules, std::string_view section,
                       std::optional<std::string_view> key);

// The items of a value that lists several ("CTNF MCTNF", "Non-Final Rejection#Final Rejection"):
// the parts between separators, without the blanks around them, empty ones left out.
std::vector<std::string> SplitRuleList(std::string_view value, char separator);

}  // namespace larkspire
