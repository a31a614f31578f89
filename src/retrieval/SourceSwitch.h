// Which status source each entry was last read from, so that the first read of an entry after
// the office changed StatusSource mails only what really changed. The two sources carry the
// status facts alike (status, last history date, patent and publication numbers and dates),
// but not the rest: the Open Data Portal serves no Location or PTE, and a source may write a
// field its own way. On that first read those other fields are stored without a mail.
//
// Kept beside patent.dat as Larkspire_source.txt, one "number TAB source" line per entry read
// from a known source, written after the data file. patent.dat keeps its format; a store that
// is lost costs at most one read's mail of fields that only the switch changed. A run on the
// status site writes the file only once it exists, so an office that never used the Open Data
// Portal has no such file.
#pragma once

#include <map>
#include <string>

namespace larkspire {

class CRun;
class CEntry;

inline constexpr const char* kSourceFileName = "Larkspire_source.txt";

class CSourceSwitch {
 public:
  // Reads the store of the run's logging directory and the run's source.
  explicit CSourceSwitch(CRun& app);

  // The entry a fresh read is compared with: stored itself, unless stored was read before
  // from the other source; then stored with its fields other than the status facts taken from
  // fresh (its last history text kept when the last history date changed to another real
  // date: a new event).
  CEntry Baseline(const CEntry& stored, const CEntry& fresh) const;
  // The entry was read from this run's source.
  void Read(const CEntry& fresh);
  // Writes the store after the data file was saved: the entries of the list only.
  void Finish(bool entries_saved);

 private:
  std::string LastSource(const CEntry& stored) const;

  CRun& app_;
  std::string path_;
  bool odp_;
  bool existed_ = false;
  std::map<std::string, std::string, std::less<>> sources_;  // entry number -> source
};

}  // namespace larkspire
