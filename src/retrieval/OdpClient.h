// The Open Data Portal as one run talks to it: the key, the mapping from the rules file, and
// every request paced and retried as the service asks. One request of the key is in flight at
// a time across processes (a lock file in the logging directory), requests keep a gap, a 429
// or a 5xx is tried again after its Retry-After (at least 5 s) with backoff a bounded number
// of times, and then reported as "busy". A refused key is its own outcome, which stops a run.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/ApiPacing.h"
#include "retrieval/OdpAnswer.h"
#include "retrieval/OdpMapping.h"

namespace larkspire {

class CRun;
class CEntry;

// The rules keys of the odp section that tune the pacing, with their defaults.
inline constexpr std::int64_t kOdpDefaultGapMs = 250;
inline constexpr int kOdpDefaultTries = 4;
// The shortest wait after a 429 or 5xx, doubled for each further try.
inline constexpr std::int64_t kOdpRetryWaitMs = 5000;
// A longer Retry-After is not waited for within a run: the entry is "busy" at once.
inline constexpr std::int64_t kOdpLongestRetryWaitMs = 60000;

enum class EOdpOutcome {
  kAnswered,    // 200: body holds the JSON
  kNotFound,    // 404 "No matching records"
  kBusy,        // 429 or 5xx on every try
  kKeyRefused,  // 401 or 403: no request of the run can succeed
  kTlsRefused,  // the service's certificate (or the CA file) refused: neither can any
  kFailed,      // anything else: message says what
};

// Whether every later request of the run would meet the same: the run stops at the first.
inline bool StopsRun(EOdpOutcome outcome) {
  return outcome == EOdpOutcome::kKeyRefused || outcome == EOdpOutcome::kTlsRefused;
}

struct COdpReply {
  EOdpOutcome outcome = EOdpOutcome::kFailed;
  int status = 0;       // the last answer's HTTP status; 0 when none came
  std::string message;  // for every outcome but kAnswered and kNotFound
  std::string body;
};

// The lock file of a key in the logging directory: named by a keyed digest of the key under the
// directory's salt (net/PacingLockName.h), so processes sharing a key share the file, the key
// itself is nowhere on disk, and its name cannot be matched against guesses of the key without
// the salt.
std::string OdpLockPath(const std::string& log_dir, const std::string& key);

// The wait a Retry-After header asks for (whole seconds); -1 when there is none to read.
std::int64_t RetryAfterMs(std::string_view header);

// What a refused key means for the user: what the service said and what to do, which for a
// key taken from the environment (a scheduled run's) is to check that variable.
std::string KeyRefusedMessage(int status, std::string_view service_message,
                              bool key_from_environment);

// The service's own explanation in an error answer (detailedMessage, else message), as
// Windows-1252 text; "" when the body has none.
std::string ServiceMessage(std::string_view body);

class COdpClient {
 public:
  // Reads the key from the settings and the mapping from the run's rules; key "" takes the
  // settings' key. SetupError says when no request can be made.
  explicit COdpClient(CRun& app, std::string key = "");
  ~COdpClient();
  COdpClient(const COdpClient&) = delete;
  COdpClient& operator=(const COdpClient&) = delete;

  // "" or why the service cannot be used: no key, or an odp section that cannot be read.
  const std::string& SetupError() const { return setup_error_; }

  const COdpMapping& Mapping() const { return mapping_; }
  COdpAnswerReader& Reader() { return *reader_; }

  // A request address of the odp section, the entry (when given) the current one for its
  // variables, with the OdpServer setting applied.
  std::string Address(std::string_view key, const CEntry* entry = nullptr);
  // The section's other values (search-fields, query[...], range, ...), read the same way.
  std::string Rule(std::string_view key, const CEntry* entry = nullptr);
  // A whole number of the section (gap, tries, search-page, ...) kept within minimum and
  // highest; the fallback when the section has none, or no number.
  std::int64_t RuleNumber(std::string_view key, std::int64_t fallback, std::int64_t minimum,
                          std::int64_t highest);

  COdpReply Get(const std::string& url);
  COdpReply Post(const std::string& url, const std::string& json);

  // How often a request the service answers with 429 or 5xx is sent in all (at least once).
  void SetTries(int tries) { tries_ = std::max(tries, 1); }

 private:
  COdpReply Send(const std::string& method, const std::string& url, const std::string& json);

  CRun& app_;
  std::string key_;
  bool key_from_environment_ = false;
  std::string setup_error_;
  COdpMapping mapping_;
  std::unique_ptr<COdpAnswerReader> reader_;
  CApiPacing pacing_;
  std::int64_t gap_ms_ = kOdpDefaultGapMs;
  int tries_ = kOdpDefaultTries;
};

}  // namespace larkspire
