#include "PageWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "AppState.h"
#include "Faults.h"
#include "Pages.h"

namespace larkspire::sim {
namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

std::string WritePages(const CSimData& data, int day, const std::string& dir) {
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    return dir + ": " + std::strerror(errno);
  }
  std::vector<std::pair<std::string, std::string>> files;
  bool truncated_written = false;
  for (const CSimApplication& app : data.applications) {
    const auto state = StateOnDay(data, app, day);
    if (!state) continue;
    const std::string status = StatusPage(data, *state);
    files.emplace_back("status-" + app.digits + ".html", status);
    files.emplace_back("foreign-" + app.digits + ".html", ForeignPriorityPage(*state));
    files.emplace_back("continuity-" + app.digits + ".html", ContinuityPage(*state));
    if (!truncated_written) {
      files.emplace_back("truncated-status-" + app.digits + ".html",
                         TruncatePage(status, kStatusRequired));
      truncated_written = true;
    }
  }
  files.emplace_back("search.html", SearchPage(data));
  for (const CSimCustomer& customer : data.customers) {
    const int count = std::max(1, ResultSetCount(data, customer.number, day));
    for (int set = 1; set <= count; ++set) {
      files.emplace_back("results-" + customer.number + "-" + std::to_string(set) + ".html",
                         ResultPage(data, customer.number, set, day));
    }
  }
  files.emplace_back("notfound-application.html",
                     NotFoundPage(ESearch::kApplication, kUnknownApplication));
  files.emplace_back("notfound-patent.html", NotFoundPage(ESearch::kPatent, kUnknownPatent));
  files.emplace_back("notfound-publication.html",
                     NotFoundPage(ESearch::kPublication, kUnknownPublication));
  for (int n = 1; n <= 4; ++n) {
    files.emplace_back("error" + std::to_string(n) + ".html", ErrorPage(n, data));
  }
  files.emplace_back("expected.txt", ExpectedValues(data, day));
  for (const auto& [name, bytes] : files) {
    if (!WriteFile(dir + "/" + name, bytes)) return dir + "/" + name + ": cannot write";
  }
  return "";
}

}  // namespace larkspire::sim
