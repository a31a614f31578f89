// The SMTP client's address lists: splitting a list at its commas (skipping parenthesised
// names) and bracketing each address for MAIL and RCPT.
#include <algorithm>
#include <cstdlib>

#include "FuzzInput.h"
#include "net/MailFormat.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view list = fuzz::AsText(data, size);
  const std::vector<std::string> addresses = SplitAddressList(list);
  const std::size_t commas = static_cast<std::size_t>(std::count(list.begin(), list.end(), ','));
  if (addresses.size() > commas + 1 || (list.empty() && !addresses.empty())) std::abort();
  for (const std::string& address : addresses) {
    // Each address is a piece of the list that runs to the next ',' or '(' without the blanks
    // and tabs before it.
    if (address.find_first_of(",(") != std::string::npos) std::abort();
    if (!address.empty() && (address.back() == ' ' || address.back() == '\t')) std::abort();
    if (list.find(address) == std::string_view::npos) std::abort();
    const std::string bracketed = BracketAddress(address);
    if (address.find('<') == std::string::npos) {
      if (bracketed != "<" + address + ">") std::abort();
    } else if (!bracketed.starts_with('<') || address.find(bracketed) == std::string::npos) {
      std::abort();
    }
  }
  BracketAddress(list);
  return 0;
}
