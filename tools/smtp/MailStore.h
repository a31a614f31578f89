// Where the benchmark sink keeps the mail: each message a numbered file (0001.eml, 0002.eml, ...
// in arrival order) holding the envelope sender, the recipients, a blank line, then the data
// as received, the way tools/smtp/smtp_sink.py stores it.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace larkspire::bench_sink {

class CMailStore {
 public:
  explicit CMailStore(std::string directory) : directory_(std::move(directory)) {}

  // Writes the next file and closes it; false when it could not be written whole. Sessions on
  // other threads may store at the same time: each message takes a number of its own.
  bool Store(std::string_view sender, std::string_view recipients, std::string_view data);

 private:
  std::string directory_;
  std::atomic<unsigned> count_{0};
};

}  // namespace larkspire::bench_sink
