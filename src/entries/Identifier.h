// The numbers an entry is known by: the one text the user types, read as an application,
// patent or publication number, and a form of it safe in a file name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

class CEntry;

extern const char* const kInvalidIdentifierMessage;
// Sets exactly one of AppNum, PatNum, PubNum to the canonical form of the text; returns the
// error message on failure (and leaves the entry alone), nothing on success.
std::optional<std::string> SetIdentifier(CEntry& entry, std::string_view text);
// PatNum, else AppNum, else PubNum, reduced to characters safe in a file name.
std::string FileSafeIdentifier(const CEntry& entry);

}  // namespace larkspire
