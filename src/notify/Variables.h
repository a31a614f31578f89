// The variables that templates and rules-file values refer to by name: the application's own
// (settings, counters, times, fixed texts), then the current entry's named values, then the
// previous entry's through the "Old" suffix.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rules/RulesFile.h"

namespace larkspire {

class CRun;
class CEntry;

// Publisher addresses used when the rules file names none.
inline constexpr const char* kDefaultActivityAddress = "activity@larkspire.example";
inline constexpr const char* kDefaultSupportAddress = "support@larkspire.example";
inline constexpr const char* kProductPageAddress = "http://www.larkspire.example/Larkspire/";

// Whether the variable's value is markup the program writes itself (CourtesyHtml), which an
// HTML expansion takes as it is.
bool IsMarkupVariable(std::string_view name);

// Never fails: a name nothing knows comes back as "[" + name + "]"; a known name whose value is
// empty gives "-". Names compare ignoring case. Entry names resolve through the slots of
// CExpansionScope.
std::string LookupVariable(CRun& app, std::string_view name);

// For each compared field whose text differs, "<caption> (now): <current>" CR LF
// "<caption> (was): <previous>"; fields separated by an empty line. Empty when nothing differs.
std::string AllChanges(const CEntry& current, const CEntry& previous);

// "***LastFetch(n): " address CR LF page CR LF for each page of the most recent entry fetch.
std::string LastFetch(const CRun& app);

// The rules in use, with their references resolved through this run's variables (and so through
// the entry slots of the current expansion scope). A value that cannot be given (it would pass
// the rules' cap) is logged and kept for TakeRulesError.
CRules RulesOf(CRun& app);
// Why a value looked up since the last call could not be given, or ""; clears it.
std::string TakeRulesError(CRun& app);
std::string LookupRule(CRun& app, std::string_view section, std::optional<std::string_view> key);
std::string ExtractField(CRun& app, std::string_view page, std::string_view section,
                         std::string_view key, bool raw = false);
// Puts the office's own rules file in use when there is one, else the built-in rules (a saved
// download, which must prove its signature, is taken later by the retrieval layer).
void LoadRules(CRun& app);

}  // namespace larkspire
