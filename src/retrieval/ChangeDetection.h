// What an update does with a freshly read record: the check for fields that came back empty,
// and storing it with the notifications a change calls for.
#pragma once

#include <cstddef>
#include <string>

namespace larkspire {

class CRun;
class CEntry;

// Asks (at most while the warn-reverted flag is set) when three or more compared fields that
// held text came back empty; false when the user cancels the run.
bool CheckRevertedFields(CRun& app, const CEntry& fresh, const CEntry& stored);

// Stores the fresh record in its row; a status change of an entry read before queues the
// "status update" notification. Returns the error text ("" on success).
std::string ApplyUpdate(CRun& app, std::size_t row, CEntry fresh, const CEntry& stored);

}  // namespace larkspire
