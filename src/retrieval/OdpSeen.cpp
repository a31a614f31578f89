#include "retrieval/OdpSeen.h"

#include <cctype>

#include "platform/Files.h"

namespace larkspire {
namespace {

// Ingestion times are ISO 8601 texts of one layout, so their text order is their time order.
bool IsLater(const std::string& a, const std::string& b) { return a > b; }

bool IsStoredTime(std::string_view text) {
  return !text.empty() && text.size() <= 40 &&
         text.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace

std::string OdpNumber(std::string_view app_num) {
  std::string number;
  for (char c : app_num) {
    if (std::isalnum(static_cast<unsigned char>(c))) number += c;
  }
  return number;
}

void COdpSeen::Load(const std::string& path) {
  records_.clear();
  confirmed_.clear();
  watermark_.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return;
  const std::string text = FromTextMode(bytes);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string number(line.substr(0, first));
    COdpSeenRecord record{std::string(line.substr(first + 1, second - first - 1)),
                          std::string(line.substr(second + 1))};
    if (number.empty() || OdpNumber(number) != number || !IsStoredTime(record.as_of) ||
        record.ingested.size() > 40) {
      continue;
    }
    Observe(record.as_of);
    records_[number] = std::move(record);
  }
}

const COdpSeenRecord* COdpSeen::Find(std::string_view number) const {
  const auto found = records_.find(number);
  return found == records_.end() ? nullptr : &found->second;
}

void COdpSeen::Confirm(const std::string& number, const std::string& ingested) {
  COdpSeenRecord& record = records_[number];
  if (!ingested.empty()) record.ingested = ingested;
  Observe(ingested);
  confirmed_.insert(number);
}

void COdpSeen::Observe(const std::string& ingested) {
  if (IsStoredTime(ingested) && IsLater(ingested, watermark_)) watermark_ = ingested;
}

bool COdpSeen::Write(const std::string& path,
                     const std::map<std::string, COdpSeenRecord, std::less<>>& records) {
  std::string text;
  for (const auto& [number, record] : records) {
    text += number + "\t" + record.ingested + "\t" + record.as_of + "\n";
  }
  return SaveFileAtomically(path, ToTextMode(text));
}

}  // namespace larkspire
