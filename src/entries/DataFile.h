// The application data file, patent.dat: a version line, then one TAB-separated line per entry.
// Older versions are read, version 8 is written. The caller keeps the "loaded" flag: it saves
// only after a load that returned true, so a rejected or damaged file is never overwritten.
#pragma once

#include <string>
#include <string_view>

#include "entries/EntryList.h"

namespace larkspire {

inline constexpr const char* kDataFileName = "patent.dat";
inline constexpr int kDataFileVersion = 8;

inline constexpr const char* kDataFileUnsupportedMessage =
    "Application data file is no longer supported. Delete Log\\patent.dat and rerun "
    "Larkspire\xAE.";
inline constexpr const char* kDataFileIncompatibleMessage = "Incompatible application data file.";
// A file that exists but cannot be read must not count as missing: the empty list would be
// saved over it at exit.
inline constexpr const char* kDataFileUnreadableMessage = "Cannot read application data file.";

// Adds the file's entries to the list, each where the list's sort puts it. True when there is
// nothing to report (a missing file included); otherwise false with error set to the message
// to show. Entries read before a damaged line stay in the list.
bool LoadDataFile(const std::string& path, CEntryList& list, std::string& error);
// As LoadDataFile over the file's bytes (CR LF or LF line ends).
bool ParseDataFile(std::string_view bytes, CEntryList& list, std::string& error);

// The version 8 file of the list in row order, with CR LF line ends.
std::string FormatDataFile(const CEntryList& list);
// Replaces the file atomically; false when it cannot be written (callers stay silent).
bool SaveDataFile(const std::string& path, const CEntryList& list);

}  // namespace larkspire
