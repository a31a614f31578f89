#include "retrieval/PublisherManifest.h"

#include <algorithm>
#include <map>

#include "net/Base64.h"
#include "net/Signature.h"
#include "platform/Clock.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFormatLine = "larkspire-manifest: 1";
constexpr std::string_view kSignatureMarker = "signature: ";
constexpr std::string_view kKeySeparator = ": ";
constexpr std::size_t kSha256HexDigits = 64;
constexpr std::size_t kEd25519SignatureBytes = 64;
// Enough digits for any file, few enough that the size fits in 64 bits.
constexpr std::size_t kMostSizeDigits = 18;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

// The next point-separated group at pos, moving pos past it and its point; "" at the end.
std::string_view NextGroup(std::string_view version, std::size_t& pos) {
  if (pos >= version.size()) return {};
  const std::size_t point = version.find('.', pos);
  const std::size_t end = point == std::string_view::npos ? version.size() : point;
  const std::string_view group = version.substr(pos, end - pos);
  pos = end + 1;
  return group;
}

// Two digit groups as numbers of any length: without leading zeros, the longer is larger.
int CompareGroups(std::string_view a, std::string_view b) {
  a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
  b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// yyyy-mm-dd naming a day of the calendar, written the one way.
bool IsCalendarDate(std::string_view text) {
  const int32_t day = ParseDayNumber(text);
  return day != 0 && day != kUnknownDayNumber && FormatDayNumber(day) == text;
}

// The fields of the signed lines; "" or why they cannot be read.
std::string ReadFields(std::string_view body, std::map<std::string, std::string>& fields) {
  std::size_t number = 0;
  for (std::size_t pos = 0; pos < body.size();) {
    const std::size_t end = body.find(kLineEnd, pos);
    const std::string_view line = body.substr(pos, end - pos);
    pos = end + kLineEnd.size();
    ++number;
    if (number == 1 && line != kFormatLine) return "the manifest is not in the known format";
    const std::size_t separator = line.find(kKeySeparator);
    if (separator == 0 || separator == std::string_view::npos || HasControlCharacter(line)) {
      return "line " + std::to_string(number) + " of the manifest is malformed";
    }
    const std::string key(line.substr(0, separator));
    if (!fields.emplace(key, line.substr(separator + kKeySeparator.size())).second) {
      return "the manifest names " + Quoted(key) + " more than once";
    }
  }
  return "";
}

std::string CheckFields(std::map<std::string, std::string>& fields, std::string_view kind,
                        PublisherManifest& manifest) {
  for (const char* key : {"kind", "version", "file", "size", "sha256"}) {
    if (fields.count(key) == 0) return "the manifest names no " + std::string(key);
  }
  manifest.kind = fields["kind"];
  manifest.version = fields["version"];
  manifest.file = fields["file"];
  manifest.sha256 = fields["sha256"];
  const std::string& size = fields["size"];
  if (manifest.kind != kind) {
    return "the manifest is for a file of kind " + Quoted(manifest.kind) + ", not " + Quoted(kind);
  }
  if (!IsNumericVersion(manifest.version)) {
    return "the manifest's version " + Quoted(manifest.version) + " is not a number";
  }
  if (manifest.file.empty() || manifest.file == "." || manifest.file == ".." ||
      manifest.file.find_first_of("/\\") != std::string::npos) {
    return "the manifest's file name " + Quoted(manifest.file) + " is not a plain name";
  }
  if (!IsDigits(size) || size.size() > kMostSizeDigits) {
    return "the manifest's size " + Quoted(size) + " is not a number of bytes";
  }
  manifest.size = std::stoull(size);
  bool hex = manifest.sha256.size() == kSha256HexDigits;
  for (char& c : manifest.sha256) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    hex = hex && (IsDigit(c) || (c >= 'a' && c <= 'f'));
  }
  if (!hex) {
    return "the manifest's SHA-256 " + Quoted(fields["sha256"]) + " is not 64 hexadecimal digits";
  }
  if (const auto expires = fields.find("expires"); expires != fields.end()) {
    manifest.expires = expires->second;
    if (!IsCalendarDate(manifest.expires)) {
      return "the manifest's expiry date " + Quoted(manifest.expires) +
             " is not a date (yyyy-mm-dd)";
    }
  }
  return "";
}

}  // namespace

std::string ManifestAddress(std::string_view file_address) {
  return std::string(file_address) + std::string(kManifestSuffix);
}

std::string VerifyManifest(std::string_view text, std::string_view public_key,
                           std::string_view kind, PublisherManifest& manifest) {
  // The signature line is the last; it signs every byte before it.
  const bool ended =
      text.size() >= kLineEnd.size() && text.substr(text.size() - kLineEnd.size()) == kLineEnd;
  const std::string_view lines = ended ? text.substr(0, text.size() - kLineEnd.size()) : "";
  const std::size_t previous_end = lines.rfind(kLineEnd);
  const std::size_t last_start =
      previous_end == std::string_view::npos ? 0 : previous_end + kLineEnd.size();
  const std::string_view last_line = lines.substr(last_start);
  if (last_start == 0 || last_line.substr(0, kSignatureMarker.size()) != kSignatureMarker) {
    return "the manifest has no signature line at its end";
  }
  const std::string_view encoded = last_line.substr(kSignatureMarker.size());
  const std::string signature = Base64Decode(encoded);
  if (signature.size() != kEd25519SignatureBytes || Base64Encode(signature) != encoded) {
    return "the manifest's signature line is malformed";
  }
  const std::string_view body = text.substr(0, last_start);
  switch (VerifyEd25519(body, signature, public_key)) {
    case SignatureCheck::kValid:
      break;
    case SignatureCheck::kInvalid:
      return "the manifest's signature is not the publisher's (the manifest was altered or "
             "signed with another key)";
    case SignatureCheck::kBadKey:
      return "the publisher's key cannot be read";
  }

  std::map<std::string, std::string> fields;
  std::string why = ReadFields(body, fields);
  PublisherManifest read;
  if (why.empty()) why = CheckFields(fields, kind, read);
  if (why.empty()) manifest = read;
  return why;
}

std::string CheckFileAgainstManifest(const PublisherManifest& manifest, std::string_view bytes) {
  if (bytes.size() != manifest.size) {
    return "the file has " + std::to_string(bytes.size()) + " bytes, its manifest says " +
           std::to_string(manifest.size);
  }
  if (Sha256Hex(bytes) != manifest.sha256) return "the file's SHA-256 differs from its manifest's";
  if (manifest.kind == kManifestKindRules) {
    const std::string own = ValueAfterMarker(bytes, kVersionMarker);
    if (own != manifest.version) {
      return "the rules file names version " + Quoted(own) + ", its manifest " +
             Quoted(manifest.version);
    }
  }
  return "";
}

std::string CheckServedName(const PublisherManifest& manifest, std::string_view file_address) {
  std::string_view name = file_address.substr(0, file_address.find_first_of("?#"));
  const std::size_t slash = name.rfind('/');
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (name == manifest.file) return "";
  return "the manifest is for the file " + Quoted(manifest.file) + ", not for " + Quoted(name) +
         " that the address names";
}

int32_t TodayUtcDayNumber() {
  const CalendarTime today = UtcCalendar(NowUnixMillis() / 1000);
  return DayNumberFromCalendar(today.year, today.month, today.day).value_or(0);
}

bool ManifestExpired(const PublisherManifest& manifest, int32_t today) {
  return !manifest.expires.empty() && ParseDayNumber(manifest.expires) < today;
}

std::string CheckNotExpired(const PublisherManifest& manifest, int32_t today) {
  return ManifestExpired(manifest, today) ? "the manifest expired on " + manifest.expires : "";
}

bool IsNumericVersion(std::string_view version) {
  std::size_t pos = 0;
  do {
    if (!IsDigits(NextGroup(version, pos))) return false;
  } while (pos <= version.size());
  return true;
}

int CompareVersions(std::string_view a, std::string_view b) {
  const bool a_numeric = IsNumericVersion(a);
  const bool b_numeric = IsNumericVersion(b);
  if (!a_numeric || !b_numeric) return static_cast<int>(a_numeric) - static_cast<int>(b_numeric);
  std::size_t a_pos = 0;
  std::size_t b_pos = 0;
  while (a_pos < a.size() || b_pos < b.size()) {
    const int order = CompareGroups(NextGroup(a, a_pos), NextGroup(b, b_pos));
    if (order != 0) return order;
  }
  return 0;
}

std::string CheckNewerVersion(std::string_view offered, std::string_view in_use) {
  if (!IsNumericVersion(offered)) return "version " + Quoted(offered) + " is not a number";
  const int order = CompareVersions(offered, in_use);
  if (order < 0) {
    return "version " + std::string(offered) + " is older than " + std::string(in_use) + " in use";
  }
  if (order == 0) return "version " + std::string(offered) + " is the one in use";
  return "";
}

}  // namespace larkspire
