// The names of the queue's message files: "Larkspire_" + kind + entry key, "~2", "~3", ...
// when the same kind for the same entry is still waiting, and ".tmp". The pending list holds
// nothing else, so a line of any other form is never used as a file name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

// Kinds: "a" entry added, "c" reference changed, "d" entry deleted, "i" digest item and "m"
// digest message (Digest.h), "r" deadline reminder (Reminders.h), "s" status change, "t" status
// change that opened or closed a deadline, and the welcome report, which has no entry key.
inline constexpr const char* kDeadlineChangeKind = "t";
inline constexpr const char* kWelcomeKind = "welcome";

// The kind of a name of the queue's own form, or nothing for any other text (a path, another
// file of the logging directory, a name longer than a line of the list may be).
std::optional<std::string> MessageKind(std::string_view name);

// The name for a new message of the kind and entry key that no waiting message has.
std::string UnusedMessageName(const std::string& kind, const std::string& key,
                              const std::function<bool(const std::string&)>& taken);

}  // namespace larkspire
