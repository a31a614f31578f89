// The simulated Open Data Portal in front of its answers: the API key check, one request in
// flight per key (a second one is refused with 429 and counted as an overlap), a per-second
// rate cap, held answers and injected faults for the tests, the older field names on request,
// and the request counts that tell what a run cost.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Faults.h"
#include "OdpCatalog.h"
#include "Site.h"

namespace larkspire::sim {

struct COdpSettings {
  std::vector<std::string> keys;           // accepted keys; none given: any key not inactive
  std::vector<std::string> inactive_keys;  // refused with 403 as not yet active
  int rate = 0;                            // requests per second per key; 0: no cap
  bool old_names = false;                  // patentBag and transactionContentBag
  size_t search_cap = 10000;               // hits a search serves at most
};

struct COdpAnswer {
  CResponse response;
  std::optional<CFault> fault;  // a fault of the connection itself: stall, close, trickle, truncate
};

class COdpService {
 public:
  COdpService(CSite& site, COdpSettings settings);

  // A request is in flight from its admission until its answer is ready, and no longer: the
  // answer is sent after that, so a client that reads a whole answer before sending its next
  // request never overlaps, whatever the threads' timing.
  COdpAnswer Answer(const CRequest& request);
  // /__sim/odp on the status site's port: settings and counts, see HelpText.
  CResponse Control(const CRequest& request);
  // Lets held answers go without waiting for a release, so that the server can stop.
  void Stop();

 private:
  using CClock = std::chrono::steady_clock;

  // Returns the refusal, or nothing with the key in flight when the request may be answered.
  std::optional<CResponse> Admit(const std::string& key);
  // `kind` is "application", a narrower path's name, "search" or "other".
  COdpAnswer AnswerAdmitted(const CRequest& request, const std::string& kind,
                            const std::string& number);
  void Leave(const std::string& key);
  void WaitWhileHeld();
  CResponse Finish(int status, CJson json, const std::string& note);
  CResponse Refuse(int status, const std::string& detail, int retry_after);
  std::string NextRequestId();
  std::string StateText();

  CSite& site_;
  COdpCatalog catalog_;

  std::mutex mutex_;
  std::condition_variable released_;
  COdpSettings settings_;
  std::set<std::string> in_flight_;
  std::map<std::string, std::deque<CClock::time_point>> recent_;  // admissions in the last second
  std::map<std::string, long> requests_;                          // by kind
  std::map<int, long> answers_;                                   // by status
  long overlaps_ = 0;
  long rate_limited_ = 0;
  long request_ids_ = 0;
  int hold_ = 0;  // admitted requests still to hold
  int held_ = 0;  // held now
  long release_generation_ = 0;
  bool stopping_ = false;
};

}  // namespace larkspire::sim
