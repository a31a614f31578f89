#include "net/HostPort.h"

#include "net/TextChecks.h"

namespace larkspire {
namespace {

long PortAfterColon(std::string_view text) {
  const long port = LeadingDecimal(text);
  return port < 0 || port > 65535 ? 0 : port;
}

}  // namespace

CHostPort SplitHostPort(std::string_view text, int default_port) {
  CHostPort split{std::string(text), default_port};
  const std::size_t close = text.starts_with('[') ? text.find(']') : std::string_view::npos;
  if (close != std::string_view::npos) {
    split.host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (rest.starts_with(':')) split.port = PortAfterColon(rest.substr(1));
    return split;
  }
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    split.host = text.substr(0, colon);
    split.port = PortAfterColon(text.substr(colon + 1));
  }
  return split;
}

}  // namespace larkspire
