// What the Open Data Portal said about each watched application when it was last updated from
// there: the record's lastIngestionDateTime, and the "as of" time: the latest ingestion time
// the run that updated (or re-checked) it had seen anywhere, a time the service had reached.
// Ingestion times only grow, so a run asks the search for a group's applications ingested
// since the group's oldest "as of" (less a margin for a search index that lags behind) and
// fetches only those whose time differs from the one stored.
//
// Kept beside patent.dat as Larkspire_odp.txt, one "number TAB ingested TAB as-of" line per
// application, written after the data file (a crash between the two only costs a fetch).
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace larkspire {

inline constexpr const char* kOdpSeenFileName = "Larkspire_odp.txt";

struct COdpSeenRecord {
  std::string ingested;
  std::string as_of;
};

// The service's number of an application number as entries hold it: "10/123,456" is
// "10123456", "PCT/EP05/012345" is "PCTEP05012345".
std::string OdpNumber(std::string_view app_num);

class COdpSeen {
 public:
  // Reads the file; a missing or unreadable one is an empty store. Lines of another shape
  // are passed over.
  void Load(const std::string& path);
  // Writes the records of the numbers keep says to keep, atomically; false when it failed.
  template <typename Keep>
  bool Save(const std::string& path, Keep keep) const {
    std::map<std::string, COdpSeenRecord, std::less<>> kept;
    for (const auto& [number, record] : records_) {
      if (!keep(number)) continue;
      COdpSeenRecord& copy = kept.emplace(number, record).first->second;
      if (confirmed_.contains(number)) copy.as_of = watermark_;
    }
    return Write(path, kept);
  }

  const COdpSeenRecord* Find(std::string_view number) const;
  // The application's fields are now current: its record's ingestion time (when fetched; ""
  // keeps the stored one, for an application the search found unchanged). Its "as of"
  // becomes the watermark when the store is saved.
  void Confirm(const std::string& number, const std::string& ingested);

  // The latest time seen anywhere: every stored "as of" and the ingestion times of this run.
  const std::string& Watermark() const { return watermark_; }
  void Observe(const std::string& ingested);

 private:
  static bool Write(const std::string& path,
                    const std::map<std::string, COdpSeenRecord, std::less<>>& records);

  std::map<std::string, COdpSeenRecord, std::less<>> records_;
  std::set<std::string, std::less<>> confirmed_;
  std::string watermark_;
};

}  // namespace larkspire
