// One application as the patent office's Open Data Portal serves it: an element of
// patentFileWrapperDataBag, derived from the same state the status pages show on the day, with
// the values formatted the way the service writes them.
#pragma once

#include <string>

#include "AppState.h"
#include "Json.h"
#include "SimData.h"

namespace larkspire::sim {

// The service holds only applications filed since 2001 that are published or patented.
bool HeldByOdp(const CAppState& state);

// The record under today's field names (patentFileWrapperDataBag's element, eventDataBag).
CJson OdpRecord(const CSimData& data, const CAppState& state, int day);

// The last day on or before `day` on which anything the service carries about the application
// changed: its own dated facts (but not location or patent term extension, which the service
// does not carry), and the filing, status and patent of the applications in its continuity.
int LastChangeDay(const CSimData& data, const CSimApplication& app, int day);

// "yyyy-mm-ddThh:mm:ss": the change day, at a time of night that differs between applications
// so that clients cannot get away with reading only the date.
std::string IngestionDateTime(const CSimApplication& app, int change_day);

}  // namespace larkspire::sim
