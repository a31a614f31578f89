#include "OdpService.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "OdpAnswers.h"

namespace larkspire::sim {
namespace {

constexpr std::string_view kPrefix = "/api/v1/patent/applications/";

// Every kind of request, in the order the counts are listed.
const char* const kKinds[] = {"application", "meta-data",        "transactions",
                              "continuity",  "foreign-priority", "adjustment",
                              "attorney",    "search",           "other"};

struct CRoute {
  std::string kind = "other";
  std::string number;  // the application number of the path, as given
};

CRoute Classify(const std::string& path) {
  CRoute route;
  if (path.rfind(kPrefix, 0) != 0) return route;
  const std::string rest = path.substr(kPrefix.size());
  if (rest == "search") {
    route.kind = "search";
    return route;
  }
  const size_t slash = rest.find('/');
  const std::string number = rest.substr(0, slash);
  const std::string narrower = slash == std::string::npos ? "" : rest.substr(slash + 1);
  if (number.empty()) return route;
  if (narrower.empty()) {
    route.kind = "application";
  } else if (IsNarrowKind(narrower)) {
    route.kind = narrower;
  } else {
    return route;
  }
  route.number = number;
  return route;
}

// A control setting's whole number (below a billion), or nothing.
std::optional<int> ReadSetting(const std::string& value) {
  if (value.empty() || value.size() > 9 ||
      value.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::atoi(value.c_str());
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

COdpService::COdpService(CSite& site, COdpSettings settings)
    : site_(site), catalog_(site.Data()), settings_(std::move(settings)) {}

COdpAnswer COdpService::Answer(const CRequest& request) {
  const CRoute route = Classify(request.path);
  {
    std::lock_guard lock(mutex_);
    ++requests_[route.kind];
  }
  const std::string key = QueryValue(request.headers, "X-API-KEY");
  if (key.empty()) {
    return {Refuse(401, "No API key was sent: send it in the X-API-KEY header", -1), std::nullopt};
  }
  if (Contains(settings_.inactive_keys, key)) {
    return {Refuse(403, "The API key is not yet active", -1), std::nullopt};
  }
  if (!settings_.keys.empty() && !Contains(settings_.keys, key)) {
    return {Refuse(403, "", -1), std::nullopt};
  }
  if (auto refusal = Admit(key)) return {std::move(*refusal), std::nullopt};
  COdpAnswer answer = AnswerAdmitted(request, route.kind, route.number);
  Leave(key);
  return answer;
}

COdpAnswer COdpService::AnswerAdmitted(const CRequest& request, const std::string& kind,
                                       const std::string& number) {
  COdpAnswer answer;
  WaitWhileHeld();
  const std::string request_id = NextRequestId();
  auto fault = site_.Faults().Take("odp-" + kind, NumberKey(number));
  if (fault && fault->mode == EFaultMode::kHttpError) {
    answer.response = Refuse(fault->status, "", fault->retry_after);
    answer.response.note += " [fault " + DescribeFault(*fault) + "]";
    return answer;
  }
  answer.fault = std::move(fault);
  const bool search = kind == "search";
  if (kind == "other" || (request.method != "GET" && !(search && request.method == "POST"))) {
    const int status = kind == "other" ? 404 : 400;
    COdpBody body = OdpErrorBody(status, "", request_id);
    answer.response = Finish(status, std::move(body.json), request.method + " " + request.path);
    return answer;
  }
  size_t search_cap = 0;
  {
    std::lock_guard lock(mutex_);
    search_cap = settings_.search_cap;
  }
  const auto day = catalog_.On(site_.Day());
  COdpBody body = search ? SearchBody(*day, request, search_cap, request_id)
                         : ApplicationBody(*day, kind, number, request_id);
  answer.response = Finish(body.status, std::move(body.json), body.note);
  return answer;
}

std::optional<CResponse> COdpService::Admit(const std::string& key) {
  const char* refusal = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (in_flight_.count(key)) {
      ++overlaps_;
      refusal = "Another request with this API key is in progress";
    } else if (settings_.rate > 0) {
      std::deque<CClock::time_point>& recent = recent_[key];
      const auto now = CClock::now();
      while (!recent.empty() && now - recent.front() >= std::chrono::seconds(1)) {
        recent.pop_front();
      }
      if (recent.size() >= static_cast<size_t>(settings_.rate)) {
        ++rate_limited_;
        refusal = "Too many requests in a second";
      } else {
        recent.push_back(now);
      }
    }
    if (!refusal) in_flight_.insert(key);
  }
  if (refusal) return Refuse(429, refusal, -1);
  return std::nullopt;
}

void COdpService::Leave(const std::string& key) {
  std::lock_guard lock(mutex_);
  in_flight_.erase(key);
}

void COdpService::WaitWhileHeld() {
  std::unique_lock lock(mutex_);
  if (hold_ <= 0) return;
  --hold_;
  ++held_;
  const long generation = release_generation_;
  released_.wait(lock, [&] { return stopping_ || release_generation_ != generation; });
  --held_;
}

void COdpService::Stop() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  released_.notify_all();
}

CResponse COdpService::Finish(int status, CJson json, const std::string& note) {
  bool old_names = false;
  {
    std::lock_guard lock(mutex_);
    ++answers_[status];
    old_names = settings_.old_names;
  }
  if (old_names) {
    json.RenameKey("patentFileWrapperDataBag", "patentBag");
    json.RenameKey("eventDataBag", "transactionContentBag");
  }
  CResponse response;
  response.status = status;
  response.protocol = "HTTP/1.1";
  response.server = "";
  response.content_type = "application/json";
  response.body = json.Dump();
  response.note = note;
  return response;
}

CResponse COdpService::Refuse(int status, const std::string& detail, int retry_after) {
  COdpBody body = OdpErrorBody(status, detail, NextRequestId());
  CResponse response = Finish(status, std::move(body.json), detail);
  if (retry_after >= 0) response.headers.emplace_back("Retry-After", std::to_string(retry_after));
  return response;
}

std::string COdpService::NextRequestId() {
  long id = 0;
  {
    std::lock_guard lock(mutex_);
    id = ++request_ids_;
  }
  char text[48];
  std::snprintf(text, sizeof text, "5e1f0d2c-0000-4000-8000-%012ld", id);
  return text;
}

CResponse COdpService::Control(const CRequest& request) {
  CResponse response;
  response.content_type = "text/plain";
  {
    std::lock_guard lock(mutex_);
    for (const auto& [name, value] : request.params) {
      if (name == "names" && (value == "old" || value == "current")) {
        settings_.old_names = value == "old";
      } else if (const auto number = ReadSetting(value); name == "rate" && number) {
        settings_.rate = *number;
        recent_.clear();
      } else if (name == "search-cap" && number > 0) {
        settings_.search_cap = static_cast<size_t>(*number);
      } else if (name == "hold" && number) {
        hold_ = *number;
      } else if (name == "release") {
        hold_ = 0;
        ++release_generation_;
        released_.notify_all();
      } else if (name == "reset") {
        requests_.clear();
        answers_.clear();
        overlaps_ = 0;
        rate_limited_ = 0;
      } else {
        response.status = 400;
        response.body = "unknown setting " + name + "=" + value +
                        " (names=old|current, rate=N, search-cap=N, hold=N, release, reset)\n";
        response.note = response.body.substr(0, response.body.size() - 1);
        return response;
      }
    }
  }
  response.body = StateText();
  response.note = "odp state";
  return response;
}

std::string COdpService::StateText() {
  std::lock_guard lock(mutex_);
  std::string text = "names " + std::string(settings_.old_names ? "old" : "current") + "\n";
  text += "rate " + std::to_string(settings_.rate) + "\n";
  text += "search-cap " + std::to_string(settings_.search_cap) + "\n";
  text += "in-flight " + std::to_string(in_flight_.size()) + "\n";
  text += "held " + std::to_string(held_) + "\n";
  text += "hold " + std::to_string(hold_) + "\n";
  text += "overlaps " + std::to_string(overlaps_) + "\n";
  text += "rate-limited " + std::to_string(rate_limited_) + "\n";
  long total = 0;
  for (const auto& [kind, count] : requests_) total += count;
  text += "requests " + std::to_string(total) + "\n";
  for (const char* kind : kKinds) {
    const auto found = requests_.find(kind);
    text += std::string("requests-") + kind + " " +
            std::to_string(found == requests_.end() ? 0 : found->second) + "\n";
  }
  for (const auto& [status, count] : answers_) {
    text += "answers-" + std::to_string(status) + " " + std::to_string(count) + "\n";
  }
  return text;
}

}  // namespace larkspire::sim
