// Reading the Open Data Portal's answers must cost little beside the request itself: one
// application's JSON is parsed once (simdjson) and every field taken through the rules
// file's mapping. Measured in bytes of JSON per second, for the whole mapping and for the
// parse alone, so the mapping's own share shows.
//
// LARKSPIRE_ODP_DOCS names a directory of answers (*.json) to read; bench/compare/odp_python.py
// writes answers of a realistic size there and reads the same files with Python's json module.
// Without it the committed fixtures tests/data/odp/application-*.json are read.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "notify/Templates.h"
#include "platform/Files.h"
#include "retrieval/OdpAnswer.h"
#include "retrieval/OdpMapping.h"

namespace larkspire {
namespace {

std::vector<std::string> LoadDocuments() {
  const char* directory = std::getenv("LARKSPIRE_ODP_DOCS");
  const std::filesystem::path root =
      directory ? std::filesystem::path(directory)
                : std::filesystem::path(LARKSPIRE_SOURCE_DIR) / "tests" / "data" / "odp";
  std::vector<std::filesystem::path> paths;
  std::error_code ignored;
  for (const auto& item : std::filesystem::directory_iterator(root, ignored)) {
    const std::string name = item.path().filename().string();
    if (item.path().extension() == ".json" && (directory || name.starts_with("application-"))) {
      paths.push_back(item.path());
    }
  }
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> documents;
  for (const auto& path : paths) {
    std::string bytes;
    if (ReadWholeFile(path.string(), bytes)) documents.push_back(std::move(bytes));
  }
  return documents;
}

std::size_t TotalBytes(const std::vector<std::string>& documents) {
  std::size_t bytes = 0;
  for (const std::string& document : documents) bytes += document.size();
  return bytes;
}

// Every document mapped field by field with the built-in rules.
void BM_OdpMapApplication(benchmark::State& state) {
  COdpMapping mapping;
  const std::string error = ReadOdpMapping(LoadTemplate(kTemplateRules).value_or(""), mapping);
  if (!error.empty()) state.SkipWithError(error.c_str());
  const std::vector<std::string> documents = LoadDocuments();
  if (documents.empty()) state.SkipWithError("no answers to read");
  COdpAnswerReader reader(std::move(mapping));

  std::size_t values = 0;
  for (auto _ : state) {
    values = 0;
    for (const std::string& document : documents) {
      const COdpApplication answer = reader.ReadApplication(document);
      if (answer.result != EOdpResult::kMapped) {
        state.SkipWithError(answer.error.c_str());
        break;
      }
      for (const COdpField& field : answer.fields) values += field.text.empty() ? 0 : 1;
      benchmark::DoNotOptimize(answer.fields.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(documents)));
  state.counters["documents"] = static_cast<double>(documents.size());
  state.counters["values"] = static_cast<double>(values);  // non-empty fields per round
}
BENCHMARK(BM_OdpMapApplication);

// The parse alone, with the parser's buffers kept between documents as the reader keeps them.
void BM_OdpParseOnly(benchmark::State& state) {
  const std::vector<std::string> documents = LoadDocuments();
  if (documents.empty()) state.SkipWithError("no answers to read");
  simdjson::dom::parser parser;
  for (auto _ : state) {
    for (const std::string& document : documents) {
      simdjson::dom::element top;
      if (parser.parse(document.data(), document.size(), true).get(top) != simdjson::SUCCESS) {
        state.SkipWithError("not JSON");
        break;
      }
      benchmark::DoNotOptimize(top);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(documents)));
}
BENCHMARK(BM_OdpParseOnly);

}  // namespace
}  // namespace larkspire
