// The fields each entry's last status change changed, with their values before and after, kept
// in a small file of its own in the logging directory (patent.dat keeps its format): the Details
// window shows them. The file holds one record per entry that changed within kLastChangesKeptDays
// of the newest change, keyed by the entry's identifier; it is rewritten whole each time. A
// missing or damaged file reads as no record at all.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace larkspire {

class CEntry;

inline constexpr const char* kLastChangesFileName = "lastchanges.txt";
inline constexpr int32_t kLastChangesKeptDays = 62;

struct CFieldChange {
  int field = 0;
  std::string was;
  std::string now;
  bool operator==(const CFieldChange&) const = default;
};

struct CLastChange {
  int32_t day = 0;  // the entry's LastChange when it was recorded
  std::vector<CFieldChange> fields;
  bool operator==(const CLastChange&) const = default;
};

using LastChanges = std::map<std::string, CLastChange>;

// The reported fields that changed (as a status change counts them), in the order change
// mails list them.
std::vector<CFieldChange> ChangedFields(const CEntry& was, const CEntry& now);

// The records of the file in the directory; empty when it is missing or damaged.
LastChanges ReadLastChanges(const std::string& directory);
// Replaces the entry's record, drops the records kLastChangesKeptDays older than this one,
// and writes the file atomically; false when it could not be written.
bool RecordLastChange(const std::string& directory, const CEntry& entry, CLastChange change);
// The record of the entry's present last change, if one is kept.
const CLastChange* LastChangeOf(const LastChanges& changes, const CEntry& entry);

// The file's text, and back; nothing for a text that is not a whole file of this form.
std::string FormatLastChanges(const LastChanges& changes);
bool ParseLastChanges(const std::string& text, LastChanges& changes);

}  // namespace larkspire
