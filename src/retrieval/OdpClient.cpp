#include "retrieval/OdpClient.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>

#include "net/ApiRequest.h"
#include "net/AppError.h"
#include "net/PacingLockName.h"
#include "net/TlsChannel.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/OdpFormats.h"
#include "retrieval/OdpSettings.h"
#include "rules/PageText.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr std::string_view kNoMatch = "No matching records";

std::string StatusText(int status, const std::string& reason) {
  return std::to_string(status) + (reason.empty() ? "" : " " + reason);
}

bool ContainsNoMatch(std::string_view body) { return FindText(body, kNoMatch).has_value(); }

}  // namespace

std::string OdpLockPath(const std::string& log_dir, const std::string& key) {
  return PacingLockPath(log_dir, "Larkspire_odp_", key);
}

std::int64_t RetryAfterMs(std::string_view header) {
  std::int64_t seconds = 0;
  const auto [end, error] = std::from_chars(header.data(), header.data() + header.size(), seconds);
  if (header.empty() || error != std::errc() || end != header.data() + header.size() ||
      seconds < 0) {
    return -1;
  }
  return std::min<std::int64_t>(seconds, 24 * 3600) * 1000;
}

std::string ServiceMessage(std::string_view body) {
  simdjson::dom::parser parser;
  simdjson::dom::element top;
  if (parser.parse(body.data(), body.size(), true).get(top) != simdjson::SUCCESS) return "";
  for (const char* name : {"detailedMessage", "message", "errorDetails"}) {
    std::string_view text;
    if (top[name].get_string().get(text) == simdjson::SUCCESS && !text.empty()) {
      return Utf8ToWindows1252(text);
    }
  }
  return "";
}

std::string KeyRefusedMessage(int status, std::string_view service_message,
                              bool key_from_environment) {
  std::string answer = std::to_string(status) + (status == 401 ? " Unauthorized" : " Forbidden");
  if (!service_message.empty()) answer += ": " + std::string(service_message);
  const std::string variable = kOdpKeyVariable;
  if (status == 401) {
    return "The Open Data Portal wants an API key (it answered " + answer + "). " +
           (key_from_environment
                ? "Check the key in " + variable +
                      ", the environment variable this run took it from, or enter one in "
                      "Options > Configure."
                : "Enter your key in Options > Configure, or set " + variable +
                      " for the program.");
  }
  return "The Open Data Portal refused the API key (it answered " + answer + "). " +
         (key_from_environment
              ? "Check the key in " + variable + ", the environment variable this run took it from"
              : std::string("Check the key in Options > Configure")) +
         ": a new key takes a while to become active, and an unused one lapses after a year. A "
         "key comes with an account at data.uspto.gov.";
}

COdpClient::COdpClient(CRun& app, std::string key)
    : app_(app),
      key_(TrimKey(key).empty() ? OdpKeyOf(app.Settings()) : TrimKey(key)),
      key_from_environment_(TrimKey(key).empty() && OdpKeyFromEnvironment(app.Settings())),
      pacing_(OdpLockPath(app.Settings().LogDir.Text(), key_)) {
  setup_error_ = ReadOdpMapping(app.Rules().text, mapping_);
  reader_ = std::make_unique<COdpAnswerReader>(mapping_);
  if (setup_error_.empty() && key_.empty()) {
    setup_error_ = std::string(
                       "The Open Data Portal needs an API key. Enter it in Options > "
                       "Configure, or set ") +
                   kOdpKeyVariable +
                   " for the program. A key comes with an account at "
                   "data.uspto.gov.";
  }
  gap_ms_ = RuleNumber("gap", kOdpDefaultGapMs, 0, 10000);
  tries_ = static_cast<int>(RuleNumber("tries", kOdpDefaultTries, 1, 10));
}

COdpClient::~COdpClient() = default;

std::string COdpClient::Rule(std::string_view key, const CEntry* entry) {
  CExpansionScope scope(app_, entry);
  return LookupRule(app_, kOdpSection, key);
}

std::int64_t COdpClient::RuleNumber(std::string_view key, std::int64_t fallback,
                                    std::int64_t minimum, std::int64_t highest) {
  const std::string text = Rule(key);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return fallback;
  return std::clamp(value, minimum, highest);
}

std::string COdpClient::Address(std::string_view key, const CEntry* entry) {
  return WithOdpServer(Rule(key, entry), app_.Settings().OdpServer.Text());
}

COdpReply COdpClient::Get(const std::string& url) { return Send("GET", url, ""); }

COdpReply COdpClient::Post(const std::string& url, const std::string& json) {
  return Send("POST", url, json);
}

COdpReply COdpClient::Send(const std::string& method, const std::string& url,
                           const std::string& json) {
  COdpReply reply;
  if (!setup_error_.empty()) {
    reply.outcome = EOdpOutcome::kKeyRefused;
    reply.message = setup_error_;
    return reply;
  }
  CApiRequest request;
  request.method = method;
  request.url = url;
  request.key = key_;
  request.body = json;
  request.ca_file = app_.Settings().CaFile.Text();
  request.user_agent = kAppName;
  app_.ReloadTimeoutUnlessFixed();

  for (int attempt = 1;; ++attempt) {
    if (!pacing_.BeginTurn(app_)) {
      reply.message = CCanceledError().what();
      return reply;
    }
    ++app_.Status().odp_requests;
    // As the status site's fetches are logged: the address without its query (the key goes in
    // a header, never into the log).
    app_.LogRecord("Update '" + url.substr(0, url.find('?')) + "'\n");
    CApiAnswer answer;
    const std::string error = SendApiRequest(app_, request, answer);
    std::int64_t wait = gap_ms_;
    const bool retry = error.empty() && (answer.status == 429 || answer.status >= 500);
    if (retry) {
      wait = std::max(RetryAfterMs(answer.retry_after), kOdpRetryWaitMs << (attempt - 1));
    }
    pacing_.EndTurn(std::max(wait, gap_ms_));

    if (!error.empty()) {
      reply.message = error;
      if (IsLastingTlsFailure(error)) reply.outcome = EOdpOutcome::kTlsRefused;
      return reply;
    }
    reply.status = answer.status;
    const std::string status = StatusText(answer.status, answer.reason);
    if (retry) {
      if (attempt < tries_ && wait <= kOdpLongestRetryWaitMs) {
        app_.Log().Write("Open Data Portal answered %s; trying again in %d s\n", status.c_str(),
                         static_cast<int>(wait / 1000));
        continue;
      }
      reply.outcome = EOdpOutcome::kBusy;
      reply.message = "The Open Data Portal is busy (it answered " + status +
                      (attempt > 1 ? " " + std::to_string(attempt) + " times" : "") +
                      "). Try again later.";
      return reply;
    }
    if (answer.status == 200) {
      reply.outcome = EOdpOutcome::kAnswered;
      reply.body = std::move(answer.body);
    } else if (answer.status == 404 && ContainsNoMatch(answer.body)) {
      reply.outcome = EOdpOutcome::kNotFound;
    } else if (answer.status == 401 || answer.status == 403) {
      reply.outcome = EOdpOutcome::kKeyRefused;
      reply.message =
          KeyRefusedMessage(answer.status, ServiceMessage(answer.body), key_from_environment_);
    } else {
      const std::string said = ServiceMessage(answer.body);
      reply.message = "The Open Data Portal answered " + status +
                      (said.empty() ? "" : ": " + said) + " for " + url.substr(0, url.find('?')) +
                      (answer.status == 404 ? "; the rules file may need an update." : ".");
    }
    return reply;
  }
}

}  // namespace larkspire
