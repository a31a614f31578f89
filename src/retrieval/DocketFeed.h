// What an entry's update tells the docket. The Open Data Portal gives an application's whole
// event history, the status site only its last event (the entry's Last History date and text);
// the docket opens and closes deadlines from either. The patent's grant date and kind, for the
// maintenance fees, come from the entry's fields.
#pragma once

#include <vector>

#include "docket/Deadline.h"
#include "docket/Docket.h"

namespace larkspire {

class CRun;
class CEntry;

enum class EEventNews {
  kNone,       // the source read nothing new (an application unchanged since, or not served)
  kLastEvent,  // the entry's Last History is the newest event; nothing of those before
  kHistory,    // every event the source knows, in history
};

struct CEventNews {
  EEventNews kind = EEventNews::kLastEvent;
  std::vector<CStatusEvent> history;
};

// The docket's view of the entry: its key, reference, numbers and grant date; today's date.
CEntryFacts EntryFacts(const CEntry& entry);

// Gives the docket the news of the entry just updated (and stored). A change marks the docket
// unsaved: it is written with the data file, before it (see SaveEntries). Returns whether the
// docket changed.
bool FeedDocket(CRun& app, const CEntry& entry, const CEventNews& news);

}  // namespace larkspire
