#include "Site.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "AppState.h"
#include "Pages.h"
#include "SimDate.h"

namespace larkspire::sim {
namespace {

CResponse TextResponse(int status, const std::string& text) {
  CResponse response;
  response.status = status;
  response.content_type = "text/plain";
  response.body = text + "\n";
  response.note = text;
  return response;
}

CResponse PageResponse(std::string body, std::string kind, std::string app, std::string required,
                       std::string note) {
  CResponse response;
  response.body = std::move(body);
  response.kind = std::move(kind);
  response.app = std::move(app);
  response.required = std::move(required);
  response.note = std::move(note);
  return response;
}

}  // namespace

CResponse NotFoundResponse(const std::string& path) {
  CResponse response;
  response.status = 404;
  response.body =
      "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY>\n<H1>Not Found</H1>\n"
      "The requested URL was not found on this server.<P>\n</BODY></HTML>\n";
  response.note = "no such page " + path;
  return response;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      return "Error";
  }
}

CSite::CSite(const CSimData& data, int day, CSiteFiles files)
    : data_(data), day_(day), files_(std::move(files)) {}

CResponse CSite::Answer(const CRequest& request) {
  if (request.path.rfind("/__sim/", 0) == 0) return Control(request);
  const int day = day_;
  if (request.path.rfind("/cgi-bin/final/", 0) == 0) return Pair(request, day);
  struct Served {
    const char* path;
    const std::string& file;
    const char* content_type;
    const char* kind;
  };
  const Served downloads[] = {
      {"/support/larkspire.txt", files_.rules, "text/plain", "rules"},
      {"/support/larkspire.exe", files_.program, "application/octet-stream", "program"},
      {"/support/larkspire.ex_", files_.program_compressed, "application/octet-stream", "program"},
  };
  // Each download's signed manifest is the file of the same name with ".manifest" added, as
  // the publisher's signing tool leaves it.
  const std::string manifest_suffix = ".manifest";
  for (const Served& served : downloads) {
    if (request.path == served.path) {
      return Download(served.file, served.content_type, served.kind);
    }
    if (request.path == served.path + manifest_suffix) {
      return Download(served.file.empty() ? "" : served.file + manifest_suffix, "text/plain",
                      served.kind);
    }
  }
  return NotFoundResponse(request.path);
}

CResponse CSite::Control(const CRequest& request) {
  if (request.path == "/__sim/date") {
    const std::string set = QueryValue(request.params, "set");
    const std::string add = QueryValue(request.params, "add");
    if (!set.empty()) {
      const auto day = ParseIsoDate(set);
      if (!day) return TextResponse(400, "bad date '" + set + "' (yyyy-mm-dd)");
      day_ = *day;
    } else if (!add.empty()) {
      day_ += std::atoi(add.c_str());
    }
    return TextResponse(200, "date " + FormatIsoDate(day_));
  }
  if (request.path == "/__sim/fault") {
    std::string error;
    std::string settings;
    for (const auto& [key, value] : request.params) {
      settings += (settings.empty() ? "" : "&") + key + "=" + value;
    }
    const auto fault = ParseFault(settings, error);
    if (!error.empty()) return TextResponse(400, error);
    if (!fault) {
      faults_.Clear();
      return TextResponse(200, "faults cleared");
    }
    faults_.Add(*fault);
    return TextResponse(200, "fault " + DescribeFault(*fault));
  }
  if (request.path == "/__sim/state") {
    std::string text = "date " + FormatIsoDate(day_);
    for (const CFault& fault : faults_.List()) text += "\nfault " + DescribeFault(fault);
    return TextResponse(200, text);
  }
  return TextResponse(404, "unknown control request " + request.path);
}

CResponse CSite::Pair(const CRequest& request, int day) {
  const std::string script = request.path.substr(std::string("/cgi-bin/final/").size());
  if (script == "cusnum.pl") {
    return ApplicationPage("status", QueryValue(request.params, "ApplicationNumber"), day);
  }
  if (script == "foreignpriority.pl") {
    return ApplicationPage("foreign", QueryValue(request.params, "ApplicationNumber"), day);
  }
  if (script == "continuity.pl") {
    return ApplicationPage("continuity", QueryValue(request.params, "ApplicationNumber"), day);
  }
  if (script == "home.pl") {
    return PageResponse(SearchPage(data_), "search", "", kSearchRequired, "search page");
  }
  if (script == "pairsearch.pl") {
    const std::string type = QueryValue(request.params, "searchtype");
    if (type == "customer") {
      const std::string customer = QueryValue(request.params, "customernumber");
      const std::string set_text = QueryValue(request.params, "ResultSet");
      const int set = set_text.empty() ? 1 : std::atoi(set_text.c_str());
      return PageResponse(ResultPage(data_, customer, set, day), "results", "", kResultRequired,
                          "customer " + customer + " result set " + std::to_string(set));
    }
    if (type == "patent" || type == "publication") return StatusSearch(request, day);
    // Without a search method the site shows the search page again.
    return PageResponse(SearchPage(data_), "search", "", kSearchRequired,
                        "search page (no search method)");
  }
  return NotFoundResponse(request.path);
}

CResponse CSite::StatusSearch(const CRequest& request, int day) {
  const bool patent = QueryValue(request.params, "searchtype") == "patent";
  const std::string number =
      QueryValue(request.params, patent ? "patentnumber" : "publicationnumber");
  const CSimApplication* app =
      patent ? FindByPatent(data_, number, day) : FindByPublication(data_, number, day);
  if (!app) {
    return PageResponse(NotFoundPage(patent ? ESearch::kPatent : ESearch::kPublication, number),
                        "status", "", kStatusRequired, "unknown number " + number);
  }
  return ApplicationPage("status", app->digits, day);
}

CResponse CSite::ApplicationPage(const std::string& kind, const std::string& number, int day) {
  const CSimApplication* app = data_.FindApplication(NumberKey(number));
  const auto state = app ? StateOnDay(data_, *app, day) : std::nullopt;
  if (!state) {
    return PageResponse(NotFoundPage(ESearch::kApplication, number), kind, NumberKey(number),
                        kStatusRequired, "unknown application " + number);
  }
  const std::string note = kind + " " + app->app_num;
  if (kind == "foreign") {
    return PageResponse(ForeignPriorityPage(*state), kind, app->digits, kForeignRequired, note);
  }
  if (kind == "continuity") {
    return PageResponse(ContinuityPage(*state), kind, app->digits, kContinuityRequired, note);
  }
  return PageResponse(StatusPage(data_, *state), kind, app->digits, kStatusRequired, note);
}

CResponse CSite::Download(const std::string& path, const std::string& content_type,
                          const std::string& kind) const {
  if (path.empty()) return NotFoundResponse("(no file given for " + kind + ")");
  std::ifstream file(path, std::ios::binary);
  if (!file) return NotFoundResponse(path);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  CResponse response;
  response.content_type = content_type;
  response.body = bytes.str();
  response.kind = kind;
  response.note = kind + " file " + path;
  return response;
}

}  // namespace larkspire::sim
