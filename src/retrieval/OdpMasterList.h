// The master-list import on the Open Data Portal: every application the search finds under the
// office's customer numbers (paged, hits narrowed to the number) that the list does not hold
// yet becomes an entry, as the status site's result pages made them. Only published or
// patented applications are in the service, so unpublished ones are not imported.
#pragma once

#include <string>
#include <vector>

#include "retrieval/Failure.h"

namespace larkspire {

class CRun;

// Imports the applications of the customer numbers; entries added with the "entry added"
// notification when notify_new is set. Returns nothing or the failure that stopped the import,
// fatal when no request of the key can succeed (the status update then stops too); closed
// tells whether a close request ended it.
CFailure ImportFromOdp(CRun& app, const std::vector<std::string>& customer_numbers, bool notify_new,
                       bool& closed);

}  // namespace larkspire
