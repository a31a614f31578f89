// The records the simulated Open Data Portal holds on a simulated day. A search looks at every
// record, so the records of a day are built once, when the first request of the day needs them,
// and shared by the requests that follow until the date moves.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Json.h"
#include "SimData.h"

namespace larkspire::sim {

struct COdpDay {
  int day = 0;
  std::vector<CJson> records;  // by application number, ascending
  std::map<std::string, size_t, std::less<>> by_digits;

  const CJson* Find(std::string_view digits) const;
};

class COdpCatalog {
 public:
  explicit COdpCatalog(const CSimData& data) : data_(data) {}

  std::shared_ptr<const COdpDay> On(int day);

 private:
  const CSimData& data_;
  std::mutex mutex_;
  std::shared_ptr<const COdpDay> current_;
};

}  // namespace larkspire::sim
