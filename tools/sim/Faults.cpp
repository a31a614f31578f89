#include "Faults.h"

#include <cctype>
#include <cstdlib>

#include "Query.h"
#include "SimData.h"

namespace larkspire::sim {

std::optional<CFault> ParseFault(std::string_view settings, std::string& error) {
  error.clear();
  CQuery query;
  // A bare word is the mode alone: "--fault stall".
  ParseQuery(settings.find('=') == std::string_view::npos ? "mode=" + std::string(settings)
                                                          : std::string(settings),
             query);
  for (const auto& [key, value] : query) {
    if (key != "mode" && key != "app" && key != "page" && key != "count" && key != "every" &&
        key != "retry-after") {
      error = "unknown fault setting '" + key + "'";
      return std::nullopt;
    }
  }
  const std::string mode = QueryValue(query, "mode");
  CFault fault;
  if (mode == "none") return std::nullopt;
  if (mode == "stall") {
    fault.mode = EFaultMode::kStall;
  } else if (mode == "close") {
    fault.mode = EFaultMode::kClose;
  } else if (mode == "429" || mode == "500" || mode == "502" || mode == "503" || mode == "504") {
    fault.mode = EFaultMode::kHttpError;
    fault.status = std::atoi(mode.c_str());
  } else if (mode == "truncate") {
    fault.mode = EFaultMode::kTruncate;
  } else if (mode == "trickle") {
    fault.mode = EFaultMode::kTrickle;
  } else if (mode.size() == 6 && mode.rfind("error", 0) == 0 && mode[5] >= '1' && mode[5] <= '4') {
    fault.mode = EFaultMode::kErrorPage;
    fault.error_page = mode[5] - '0';
  } else {
    error = "unknown fault mode '" + mode +
            "' (none, stall, close, 429, 500, 502, 503, 504, truncate, trickle, error1 .. error4)";
    return std::nullopt;
  }
  fault.app = NumberKey(QueryValue(query, "app"));
  fault.page = QueryValue(query, "page");
  if (!fault.page.empty()) {
    bool known = false;
    for (const char* kind : kPageKinds) known = known || fault.page == kind;
    if (!known) {
      error = "unknown page kind '" + fault.page + "'";
      return std::nullopt;
    }
  }
  if (HasQueryValue(query, "count")) {
    fault.remaining = std::atoi(QueryValue(query, "count").c_str());
    if (fault.remaining < 1) {
      error = "count must be a positive number";
      return std::nullopt;
    }
  }
  if (HasQueryValue(query, "every")) {
    fault.every = std::atoi(QueryValue(query, "every").c_str());
    if (fault.every < 1) {
      error = "every must be a positive number";
      return std::nullopt;
    }
  }
  if (HasQueryValue(query, "retry-after")) {
    const std::string seconds = QueryValue(query, "retry-after");
    if (seconds == "none") {
      fault.retry_after = -1;
    } else if (!seconds.empty() && seconds.find_first_not_of("0123456789") == std::string::npos) {
      fault.retry_after = std::atoi(seconds.c_str());
    } else {
      error = "retry-after takes whole seconds or none";
      return std::nullopt;
    }
  }
  return fault;
}

std::string DescribeFault(const CFault& fault) {
  static const char* const kNames[] = {"stall", "close", "", "truncate", "trickle", "error"};
  std::string text = "mode=" + std::string(kNames[static_cast<int>(fault.mode)]);
  if (fault.mode == EFaultMode::kErrorPage) text += std::to_string(fault.error_page);
  if (fault.mode == EFaultMode::kHttpError) text += std::to_string(fault.status);
  if (!fault.app.empty()) text += "&app=" + fault.app;
  if (!fault.page.empty()) text += "&page=" + fault.page;
  if (fault.remaining >= 0) text += "&count=" + std::to_string(fault.remaining);
  if (fault.every > 1) text += "&every=" + std::to_string(fault.every);
  if (fault.mode == EFaultMode::kHttpError && (fault.status == 429 || fault.status == 503)) {
    text += "&retry-after=" + (fault.retry_after < 0 ? "none" : std::to_string(fault.retry_after));
  }
  return text;
}

bool IsOdpKind(std::string_view page) { return page.rfind("odp", 0) == 0; }

std::string TruncatePage(const std::string& body, const std::string& required) {
  auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
  };
  const size_t found = required.empty() ? std::string::npos : upper(body).find(upper(required));
  return body.substr(0, found == std::string::npos ? body.size() / 2 : found);
}

void CFaultTable::Add(const CFault& fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(fault);
}

void CFaultTable::Clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::optional<CFault> CFaultTable::Take(std::string_view page, std::string_view app) {
  std::lock_guard lock(mutex_);
  for (auto it = faults_.rbegin(); it != faults_.rend(); ++it) {
    const bool page_matches = it->page.empty()
                                  ? !IsOdpKind(page)
                                  : it->page == page || (it->page == "odp" && IsOdpKind(page));
    if ((!it->app.empty() && it->app != app) || !page_matches) continue;
    if (++it->seen % it->every != 0) continue;
    CFault taken = *it;
    if (it->remaining > 0 && --it->remaining == 0) faults_.erase(std::next(it).base());
    return taken;
  }
  return std::nullopt;
}

std::vector<CFault> CFaultTable::List() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

}  // namespace larkspire::sim
