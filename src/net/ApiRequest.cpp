#include "net/ApiRequest.h"

#include <arpa/inet.h>

#include <charconv>
#include <vector>

#include "net/AppError.h"
#include "net/Connection.h"
#include "net/FlowText.h"
#include "net/NetworkWait.h"
#include "net/TextChecks.h"

namespace larkspire {
namespace {

constexpr std::string_view kScheme = "https://";
constexpr const char* kBadAddressMessage = "The web service's address is not an https:// address.";
constexpr const char* kBadKeyMessage = "The API key holds a line break.";
constexpr const char* kUnreadableMessage = "The web service's answer cannot be read";

std::string Unreadable(std::string_view why) {
  return std::string(kUnreadableMessage) + " (" + std::string(why) + ").";
}

// A header's value when the line names it (ASCII case ignored), blanks around it trimmed.
bool HeaderValue(std::string_view line, std::string_view name, std::string& value) {
  if (line.size() <= name.size() || line[name.size()] != ':' ||
      !StartsWithIgnoringCase(line, name)) {
    return false;
  }
  std::string_view rest = line.substr(name.size() + 1);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
  value.assign(rest);
  return true;
}

bool ReadNumber(std::string_view text, int base, std::size_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// An application's whole record is a few hundred kilobytes; a service (or something posing as
// one) that streams without end costs a failed request, never the program's memory.
constexpr CReceiveCap kAnswerCap{16u << 20, "Open Data Portal: The answer is larger than 16 MB."};

// A chunk size larger than a whole answer may be.
constexpr std::string_view kChunkOutOfRange = "a chunk's size is out of range";

// Undoes "Transfer-Encoding: chunked"; trailers after the last chunk are passed over.
std::string Unchunk(std::string_view coded, std::string& body) {
  body.clear();
  for (;;) {
    const std::size_t line_end = coded.find("\r\n");
    if (line_end == std::string_view::npos) return Unreadable("a chunk is cut short");
    std::string_view size_text = coded.substr(0, line_end);
    size_text = size_text.substr(0, size_text.find(';'));
    while (!size_text.empty() && size_text.back() == ' ') size_text.remove_suffix(1);
    std::size_t size = 0;
    if (!ReadNumber(size_text, 16, size)) {
      const bool digits =
          !size_text.empty() &&
          size_text.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos;
      return Unreadable(digits ? kChunkOutOfRange : "a chunk has no size");
    }
    coded.remove_prefix(line_end + 2);
    if (size == 0) return "";
    // Sizes are compared, never added to: near the top of the range, size + 2 wraps round.
    if (size > kAnswerCap.bytes) return Unreadable(kChunkOutOfRange);
    if (size > coded.size() || coded.size() - size < 2 || coded.substr(size, 2) != "\r\n") {
      return Unreadable("a chunk is cut short");
    }
    body.append(coded.substr(0, size));
    coded.remove_prefix(size + 2);
  }
}

// The host as an address writes it: an IPv6 address in brackets.
std::string BracketedHost(const CApiAddress& address) {
  return address.host.find(':') == std::string::npos ? address.host : "[" + address.host + "]";
}

}  // namespace

bool ReadApiAddress(std::string_view url, CApiAddress& address) {
  if (!StartsWithIgnoringCase(url, kScheme) || HasLineBreakOrNul(url)) return false;
  url.remove_prefix(kScheme.size());
  const std::size_t slash = url.find_first_of("/?");
  std::string_view authority = url.substr(0, slash);
  address.target = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  if (address.target.front() == '?') address.target.insert(0, "/");
  if (address.target.find(' ') != std::string::npos) return false;
  address.port = 443;
  // An IPv6 address is bracketed, its colons apart from the port's.
  const bool bracketed = authority.starts_with('[');
  const std::size_t close = bracketed ? authority.find(']') : 0;
  if (close == std::string_view::npos) return false;
  std::string_view host = bracketed ? authority.substr(1, close - 1) : authority;
  if (const std::size_t colon = authority.find(':', close); colon != std::string_view::npos) {
    std::size_t port = 0;
    if ((bracketed && colon != close + 1) || !ReadNumber(authority.substr(colon + 1), 10, port) ||
        port == 0 || port > 65535) {
      return false;
    }
    address.port = static_cast<int>(port);
    if (!bracketed) host = authority.substr(0, colon);
  } else if (bracketed && close + 1 != authority.size()) {
    return false;
  }
  if (host.empty() || host.find_first_of("@[]") != std::string_view::npos) return false;
  in6_addr ip6{};
  if (bracketed && ::inet_pton(AF_INET6, std::string(host).c_str(), &ip6) != 1) return false;
  address.host.assign(host);
  return true;
}

std::string BuildApiRequest(const CApiRequest& request, const CApiAddress& address, bool hide_key) {
  std::string text =
      request.method + " " + address.target + " HTTP/1.1\r\nHost: " + BracketedHost(address);
  if (address.port != 443) text += ":" + std::to_string(address.port);
  text += "\r\nUser-Agent: " + request.user_agent;
  text += "\r\nAccept: application/json\r\nConnection: close\r\n";
  text += request.key_header + ": " + (hide_key ? std::string(kApiHiddenKey) : request.key);
  text += "\r\n";
  if (request.method == "POST") {
    text +=
        "Content-Type: application/json\r\nContent-Length: " + std::to_string(request.body.size()) +
        "\r\n\r\n" + request.body;
  } else {
    text += "\r\n";
  }
  return text;
}

std::string ReadApiResponse(std::string_view response, CApiAnswer& answer) {
  answer = CApiAnswer();
  const std::size_t head_end = response.find("\r\n\r\n");
  if (head_end == std::string_view::npos) {
    return response.empty() ? Unreadable("it is empty") : Unreadable("its headers are cut short");
  }
  std::string_view head = response.substr(0, head_end);
  const std::string_view rest = response.substr(head_end + 4);

  const std::string_view status_line = head.substr(0, head.find("\r\n"));
  std::size_t code = 0;
  if (!StartsWithIgnoringCase(status_line, "HTTP/") || status_line.size() < 12 ||
      status_line[8] != ' ' || !ReadNumber(status_line.substr(9, 3), 10, code) ||
      (status_line.size() > 12 && status_line[12] != ' ')) {
    return Unreadable("it has no status line");
  }
  answer.status = static_cast<int>(code);
  if (status_line.size() > 13) answer.reason.assign(status_line.substr(13));

  bool chunked = false;
  std::string length_text;
  for (std::size_t at = status_line.size(); at < head.size();) {
    at += 2;
    const std::size_t end = std::min(head.find("\r\n", at), head.size());
    const std::string_view line = head.substr(at, end - at);
    std::string value;
    if (HeaderValue(line, "Retry-After", value)) answer.retry_after = value;
    if (HeaderValue(line, "Content-Length", value)) length_text = value;
    if (HeaderValue(line, "Transfer-Encoding", value)) {
      chunked = StartsWithIgnoringCase(value, "chunked");
    }
    at = end;
  }

  if (chunked) return Unchunk(rest, answer.body);
  if (!length_text.empty()) {
    std::size_t length = 0;
    if (!ReadNumber(length_text, 10, length)) return Unreadable("its length is not a number");
    if (rest.size() < length) return Unreadable("it is shorter than its length");
    answer.body.assign(rest.substr(0, length));
    return "";
  }
  answer.body.assign(rest);
  return "";
}

CApiAnswer RunTask(CApiRequestTask& task) {
  CFlowLog* flow_log = task.flow_log.get();
  CApiAddress address;
  if (!ReadApiAddress(task.request.url, address)) {
    RaiseLogged(flow_log, task.label, kBadAddressMessage);
  }
  // A line break would end the header early and let the rest be read as headers of its own.
  if (HasLineBreakOrNul(task.request.key) || HasLineBreakOrNul(task.request.user_agent)) {
    RaiseLogged(flow_log, task.label, kBadKeyMessage);
  }
  CConnection connection(&task.cancel, flow_log, task.label);
  CLiveConnection::Registration registration(task.live, connection);
  connection.Connect(BracketedHost(address) + ":" + std::to_string(address.port), 443);
  connection.StartTls(address.host, task.request.ca_file);
  const std::string shown =
      "'" + EscapeFlowText(BuildApiRequest(task.request, address, true)) + "' ...";
  connection.Send(BuildApiRequest(task.request, address, false), shown.c_str());
  const std::string response = connection.ReceiveAll(false, kAnswerCap);

  CApiAnswer answer;
  const std::string error = ReadApiResponse(response, answer);
  if (!error.empty()) RaiseLogged(flow_log, task.label, error);
  return answer;
}

std::string SendApiRequest(INetWaiter& waiter, const CApiRequest& request, CApiAnswer& answer) {
  std::vector<CApiRequestTask> tasks(1);
  tasks[0].request = request;
  tasks[0].flow_log = waiter.SharedFlowLog();
  std::vector<CApiAnswer> answers;
  const std::string error =
      WaitForGroup(waiter, GroupKind::kHttp, tasks, waiter.TimeoutMs(),
                   static_cast<int>(waiter.TimeoutMs() / 1000), kApiTimedOutMessage, answers);
  if (error.empty()) answer = std::move(answers[0]);
  return error;
}

}  // namespace larkspire
