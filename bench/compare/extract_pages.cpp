// Our side of the comparison with an lxml scraper: reads the page files named on the command
// line, then N times normalises each page and reads every field of its kind (status,
// foreign-priority or continuity page, told by the file name) with the built-in rules, and
// prints the pages per second. --dump prints the values read once instead.
//
//   larkspire_extract_pages [--dump] N page.html...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "platform/SettingsBackend.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

struct PageKind {
  const char* prefix;
  const char* section;
  std::vector<const char*> keys;
};

const PageKind kKinds[] = {
    {"status-",
     "fetch1",
     {"[AppNum]", "[FilingDate]", "[IssueDate]", "[DocketNumber]", "[Examiner]", "[ArtUnit]",
      "[PubNum]", "[PubDate]", "[ConfirmNum]", "[PatNum]", "[Class]", "[Location]", "[Status]",
      "[CustNum]", "[LastHistory]"}},
    {"foreign-", "fetch2", {"[Foreign]"}},
    {"continuity-", "fetch3", {"[ParentContinuity]", "[ChildContinuity]"}},
};

struct Page {
  std::string name;
  std::string bytes;
  const PageKind* kind;
};

const PageKind* KindOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (const PageKind& kind : kKinds) {
    if (name.starts_with(kind.prefix)) return &kind;
  }
  return nullptr;
}

int Run(int argc, char** argv) {
  int arg = 1;
  const bool dump = arg < argc && std::string(argv[arg]) == "--dump";
  if (dump) ++arg;
  if (arg + 1 >= argc) {
    std::fprintf(stderr, "usage: %s [--dump] N page.html...\n", argv[0]);
    return 2;
  }
  const int rounds = std::atoi(argv[arg++]);
  std::vector<Page> pages;
  for (; arg < argc; ++arg) {
    Page page{argv[arg], "", KindOf(argv[arg])};
    if (page.kind == nullptr) continue;
    if (!ReadWholeFile(page.name, page.bytes)) {
      std::fprintf(stderr, "cannot read %s\n", page.name.c_str());
      return 1;
    }
    pages.push_back(std::move(page));
  }

  CMemorySettingsBackend backend;
  AppCore app(backend, "", "");
  LoadRules(app);

  if (dump) {
    for (const Page& page : pages) {
      const std::string text = NormalizePage(page.bytes);
      for (const char* key : page.kind->keys) {
        std::printf("%s\t%s\t%s\n", page.name.c_str(), key,
                    ExtractField(app, text, page.kind->section, key).c_str());
      }
    }
    return 0;
  }

  std::size_t values = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < rounds; ++round) {
    for (const Page& page : pages) {
      const std::string text = NormalizePage(page.bytes);
      for (const char* key : page.kind->keys) {
        values += ExtractField(app, text, page.kind->section, key).empty() ? 0 : 1;
      }
    }
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const double count = static_cast<double>(pages.size()) * rounds;
  std::printf("pages: %zu, rounds: %d, non-empty values: %zu, seconds: %.3f, pages/s: %.0f\n",
              pages.size(), rounds, values, seconds.count(), count / seconds.count());
  return 0;
}

}  // namespace
}  // namespace larkspire

int main(int argc, char** argv) { return larkspire::Run(argc, argv); }
