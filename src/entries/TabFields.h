// The lines of the program's own TAB-separated files (the docket, the last changes, the queue's
// digest items): values come from status pages and the user, and a TAB or a line end inside one
// must neither end its field nor its line, so every value is escaped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

// Backslash, TAB, CR and LF as \\, \t, \r and \n; every other control byte as \xHH.
void AppendEscaped(std::string& out, std::string_view value);
std::string Escaped(std::string_view value);
// The value back; nothing for a lone backslash or an escape of another form.
std::optional<std::string> Unescaped(std::string_view field);

// The fields of one line, split at every TAB (an empty line is one empty field).
std::vector<std::string_view> SplitTabs(std::string_view line);

}  // namespace larkspire
