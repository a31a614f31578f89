#include "retrieval/SourceSwitch.h"

#include <set>

#include "entries/Entry.h"
#include "platform/Files.h"
#include "retrieval/OdpSeen.h"
#include "retrieval/OdpSettings.h"
#include "run/Run.h"

namespace larkspire {
namespace {

// The facts both sources carry the same way; a change of one of them is a real change.
constexpr int kStatusFacts[] = {kStatus, kLastHistoryDate, kPatNum, kIssueDate, kPubNum, kPubDate};

bool IsStatusFact(int id) {
  for (int fact : kStatusFacts) {
    if (fact == id) return true;
  }
  return false;
}

// The number an entry is kept under: its application number's digits once it has one (every
// read gives it one), else the number it was listed with.
std::string EntryNumber(const CEntry& entry) {
  if (!entry.Text(kAppNum).empty()) return OdpNumber(entry.Text(kAppNum));
  if (!entry.Text(kPatNum).empty()) return "patent " + entry.Text(kPatNum);
  return "publication " + entry.Text(kPubNum);
}

std::string SourceName(bool odp) { return odp ? kSourceOdp : kSourceSite; }

}  // namespace

CSourceSwitch::CSourceSwitch(CRun& app) : app_(app), odp_(UsesOdp(app.Settings())) {
  const std::string& dir = app.Settings().LogDir.Text();
  if (dir.empty()) return;
  path_ = JoinPath(dir, kSourceFileName);
  std::string text;
  existed_ = ReadWholeFile(path_, text);
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) continue;
    const std::string source = line.substr(tab + 1);
    if (source == kSourceOdp || source == kSourceSite) sources_[line.substr(0, tab)] = source;
  }
  // Entries read from the service before this store existed are those it keeps a record of.
  if (!existed_ && odp_) {
    COdpSeen seen;
    seen.Load(JoinPath(dir, kOdpSeenFileName));
    const CEntryList& list = app.Entries();
    for (std::size_t row = 0; row < list.Size(); ++row) {
      const CEntry& entry = list.At(row);
      if (entry.Text(kAppNum).empty()) continue;
      const std::string number = OdpNumber(entry.Text(kAppNum));
      if (seen.Find(number) != nullptr) sources_[number] = kSourceOdp;
    }
  }
}

std::string CSourceSwitch::LastSource(const CEntry& stored) const {
  const auto found = sources_.find(EntryNumber(stored));
  if (found != sources_.end()) return found->second;
  // Without a record: read from the site, where every entry was read before the service.
  return kSourceSite;
}

CEntry CSourceSwitch::Baseline(const CEntry& stored, const CEntry& fresh) const {
  if (stored.last_update == 0 || LastSource(stored) == SourceName(odp_)) return stored;
  CEntry baseline = stored;
  for (int id : kCompareList) {
    if (IsStatusFact(id)) continue;
    // A new event is a real change, its text with it.
    if (id == kLastHistoryText && CEntry::FieldDiffers(stored, fresh, kLastHistoryDate)) continue;
    baseline.Text(id) = fresh.Text(id);
  }
  return baseline;
}

void CSourceSwitch::Read(const CEntry& fresh) { sources_[EntryNumber(fresh)] = SourceName(odp_); }

void CSourceSwitch::Finish(bool entries_saved) {
  // The status site writes no file of its own for an office that never left it.
  if (!entries_saved || path_.empty() || (!odp_ && !existed_)) return;
  std::set<std::string, std::less<>> listed;
  const CEntryList& list = app_.Entries();
  for (std::size_t row = 0; row < list.Size(); ++row) listed.insert(EntryNumber(list.At(row)));
  std::string text;
  for (const auto& [number, source] : sources_) {
    if (listed.contains(number)) text += number + "\t" + source + "\r\n";
  }
  if (!SaveFileAtomically(path_, text)) {
    app_.Log().Write("Status source: %s not written\n", kSourceFileName);
  }
}

}  // namespace larkspire
