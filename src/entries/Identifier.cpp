#include "entries/Identifier.h"

#include "entries/Entry.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const char* const kInvalidIdentifierMessage =
    "Invalid Patent/Application/Publication Number.\n"
    "Patent numbers must be of the form: nnnnnnn or n,nnn,nnn\n"
    "Application numbers must be of the form: nn/nnn,nnn\n"
    "Publication numbers must be of the form: nnnn/nnnnnnn xn or nnnn-nnnnnnn xn";

std::optional<std::string> SetIdentifier(CEntry& entry, std::string_view text) {
  if (text.empty()) return kInvalidIdentifierMessage;
  std::string number(text);
  if (MatchMask(number, "#######")) {
    number.insert(4, 1, ',');
    number.insert(1, 1, ',');
  }
  if (MatchMask(number, "??#####")) {
    number.insert(4, 1, ',');
  } else {
    static constexpr const char* kMasks[] = {
        "#,###,###",       "##/###,###",      "####/#######x#",     "####-#######x#",
        "####/####### x#", "####-####### x#", "US ####-####### x#", "us ####-####### x#"};
    bool matched = false;
    for (const char* mask : kMasks) {
      if (MatchMask(number, mask)) {
        matched = true;
        break;
      }
    }
    if (!matched) return kInvalidIdentifierMessage;
  }

  int keep = kPatNum;
  if (number.size() == 10) {
    keep = kAppNum;
  } else if (number.size() > 10) {
    keep = kPubNum;
    for (char& c : number) {
      if (c == '/') c = '-';
    }
    // "2007-0123456A1" gains the blank before its kind code; one already there stays single.
    if (number[number.size() - 3] != ' ') number.insert(number.size() - 2, 1, ' ');
  }
  for (int id : {kAppNum, kPatNum, kPubNum}) entry.Text(id).clear();
  entry.Text(keep) = std::move(number);
  return std::nullopt;
}

std::string FileSafeIdentifier(const CEntry& entry) {
  const std::string* source = &entry.Text(kPatNum);
  if (source->empty()) source = &entry.Text(kAppNum);
  if (source->empty()) source = &entry.Text(kPubNum);
  std::string safe;
  for (char c : *source) {
    if (c == '/') c = '_';
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '_') {
      safe += c;
    }
  }
  return safe;
}

}  // namespace larkspire
