// The commands that change the entry list: add, replace, delete, and the data file's load and
// save around a run. The window and the master-list import both go through here.
#pragma once

#include <cstddef>
#include <string>

#include "entries/Entry.h"

namespace larkspire {

class AppCore;

// Flags of AddEntry.
inline constexpr int kAddCheckDuplicate = 1;  // refuse an entry whose number is already listed
inline constexpr int kAddNotify = 2;          // queue the "entry added" notification
inline constexpr int kAddQuietDuplicate = 4;  // a duplicate is skipped without a message
// The caller refreshes the list view itself once a batch is in: a refresh per row of a large
// import would redraw the whole list thousands of times.
inline constexpr int kAddNoRefresh = 8;

// Flags of ReplaceEntry.
inline constexpr int kReplaceNotifyReference = 0x8000;  // queue "entry changed" on a new Reference

inline constexpr const char* kDuplicateEntryMessage = "This entry already exists.";

// Inserts the entry where the current sort puts it; returns the error text ("" on success, and
// also for a duplicate skipped quietly). Sets the added row's index when given.
std::string AddEntry(AppCore& app, CEntry entry, int flags, std::size_t* added_row = nullptr);
// Overwrites the row's record; with kReplaceNotifyReference a changed Reference queues the
// "entry changed" notification with the old record as the previous entry.
std::string ReplaceEntry(AppCore& app, std::size_t row, CEntry entry, int flags);
// Asks, then deletes the selected rows from the last to the first, queueing an "entry deleted"
// notification for each while none has failed.
void DeleteSelectedEntries(AppCore& app);

// Loads patent.dat into the list (showing the file's message when it is rejected) and sets the
// loaded flag; saves it only when the flag is set. Save returns false when the file could not
// be written.
void LoadEntries(AppCore& app);
bool SaveEntries(AppCore& app);

}  // namespace larkspire
