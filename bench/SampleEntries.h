// Entries shaped like a real office's list, shared by the data-file, entry-list and memory
// measurements so they all measure the same records.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "entries/Entry.h"

namespace larkspire {

// Entry i of a list of count: distinct application numbers, references in an order unrelated
// to the row order, and filing dates spread over twenty years so sorting has work to do.
inline CEntry MakeSampleEntry(int i, int count) {
  CEntry e;
  e.frequency = i % 5;
  e.last_update = 39000 + i % 90;
  e.last_change = 38000 + i % 700;
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%03d,%03d", 10 + i / 1000000, i / 1000 % 1000, i % 1000);
  e.Text(kAppNum) = text;
  e.Text(kReference) = "K-" + std::to_string(static_cast<long long>(i) * 7919 % count);
  e.Text(kDocketNumber) = e.Text(kReference);
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", 1990 + i * 13 % 20, 1 + i * 7 % 12,
                1 + i * 11 % 28);
  e.Text(kFilingDate) = text;
  e.Text(kExaminer) = i % 3 ? "SMITH, JOHN" : "JONES, MARY ELIZABETH";
  e.Text(kArtUnit) = "1641";
  e.Text(kClass) = "435/6";
  e.Text(kLocation) = "FILE REPOSITORY (FRANCONIA)";
  e.Text(kStatus) = "Non Final Action Mailed";
  e.Text(kCustNum) = "22850";
  e.Text(kParentContinuity) = "This application is a CON of 09/999,999 03/01/2001 PAT 6,000,000";
  e.Text(kLastHistoryDate) = "2006-05-04";
  e.Text(kLastHistoryText) = "Mail Non-Final Rejection";
  e.Text(kPubNum) = "2005-0123456 A1";
  e.Text(kPubDate) = "2005-06-02";
  e.Text(kConfirmNum) = "4321";
  return e;
}

inline std::vector<CEntry> MakeSampleEntries(int count) {
  std::vector<CEntry> entries;
  entries.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) entries.push_back(MakeSampleEntry(i, count));
  return entries;
}

}  // namespace larkspire
