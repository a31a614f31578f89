// "Update Status (Selected)" and "Update Status (All)": walk the list, fetch and extract each
// due entry, store what changed and queue the notifications.
#pragma once

namespace larkspire {

class CRun;

void UpdateStatus(CRun& app, bool selected_only);

}  // namespace larkspire
