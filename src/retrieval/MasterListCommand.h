// The master-list step before "Update Status (All)": read every application the status site
// lists under the office's customer numbers and add the ones not yet monitored.
#pragma once

namespace larkspire {

class CRun;

// Returns whether the status update should go on.
bool RunMasterListStep(CRun& app);

}  // namespace larkspire
