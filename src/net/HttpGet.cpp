#include "net/HttpGet.h"

#include "net/Base64.h"
#include "net/Connection.h"
#include "net/HostPort.h"
#include "net/NetworkWait.h"
#include "net/TextChecks.h"

namespace larkspire {
namespace {

constexpr const char* kRefusedHint = " You may need to start USPTO/Direct.";
constexpr std::size_t kStatusExamined = 255;
constexpr std::size_t kDetailMessageMax = 254;
constexpr std::string_view kHttpsScheme = "https://";
constexpr int kHttpsPort = 443;
// A proxy's answer to CONNECT is a status line and a few headers.
constexpr std::size_t kMostProxyReplyBytes = 16384;

bool IsBitSet(uint32_t mask, std::size_t bit) { return bit < 32 && ((mask >> bit) & 1u) != 0; }

// What a response may carry before its body, beyond the body's own cap.
constexpr std::size_t kHeaderAllowanceBytes = 64 * 1024;
// The URL as RunTask reads it: one quote character around it is dropped there.
bool IsHttpsUrl(std::string_view url) {
  if (!url.empty() && (url[0] == '"' || url[0] == '\'')) url.remove_prefix(1);
  return StartsWithIgnoringCase(url, kHttpsScheme);
}

// Opens the TLS session for an https:// address: to the host itself, or through a tunnel the
// proxy opens to it, the certificate being checked against the host's name either way.
void OpenTlsSession(CConnection& connection, const CHttpGetTask& task, const std::string& host) {
  // An IPv6 literal is bracketed ("[::1]:8443"): its port's colon is the one after the ']'.
  const std::size_t port_colon = host.find(':', host.starts_with('[') ? host.find(']') : 0);
  const std::string authority = port_colon == std::string::npos ? host + ":443" : host;
  if (task.tunnel_proxy.empty()) {
    connection.Connect(host, kHttpsPort);
  } else {
    connection.Connect(task.tunnel_proxy, 80);
    connection.Send("CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority +
                    "\r\nUser-Agent: " + task.user_agent + "\r\n\r\n");
    // Cut down to what follows the header block when the proxy agreed.
    std::string after_header = connection.ReceiveHeader(kMostProxyReplyBytes);
    std::string refusal = ReadHttpResponse(after_header);
    // TLS starts right after the empty line: the proxy has nothing more to say before it.
    if (refusal.empty() && !after_header.empty()) refusal = kGetFailedMessage;
    if (!refusal.empty()) {
      const std::size_t open = refusal.find(" (");
      const std::string status =
          open == std::string::npos ? "(no proper reply)" : refusal.substr(open + 1);
      connection.Raise(kNoTunnelMessage + authority + " " + status + ".");
    }
  }
  connection.StartTls(SplitHostPort(host, kHttpsPort).host, task.ca_file);
}

std::string BuildRequest(const CHttpGetTask& task, const std::string& host, const std::string& path,
                         const std::string& form_data) {
  std::string request = form_data.empty() ? "GET " : "POST ";
  request += path;
  request +=
      " HTTP/1.0\r\nAccept: */*\r\nAccept-Language: en-us\r\nCache-Control: no-cache\r\n"
      "Pragma: no-cache\r\nUser-Agent: ";
  request += task.user_agent;
  request += "\r\nHost: " + host + "\r\n";
  if (!task.credentials.empty()) {
    request += "Authorization: Basic " + Base64Encode(task.credentials) + "\r\n";
  }
  if (!form_data.empty()) {
    request += "Content-Type: application/x-www-form-urlencoded\r\n";
    request += "Content-Length: " + std::to_string(form_data.size()) + "\r\n";
  }
  request += "\r\n";
  request += form_data;
  return request;
}

}  // namespace

std::string RunTask(CHttpGetTask& task) {
  CFlowLog* flow_log = task.flow_log.get();
  auto fail = [&](const std::string& message) { RaiseLogged(flow_log, task.label, message); };

  std::string url = task.url;
  if (url.empty() || HasLineBreakOrNul(url) || HasLineBreakOrNul(task.tunnel_proxy)) {
    fail(kBadUrlMessage);
  }
  if (url[0] == '"' || url[0] == '\'') url = url.size() >= 2 ? url.substr(1, url.size() - 2) : "";
  const bool secure = StartsWithIgnoringCase(url, kHttpsScheme);
  if (secure) {
    url.erase(0, kHttpsScheme.size());
  } else if (StartsWithIgnoringCase(url, "http://")) {
    url.erase(0, 7);
  }
  if (url.find("://") != std::string::npos) fail(kBadUrlMessage);

  const std::size_t slash = url.find('/');
  const std::string host = url.substr(0, slash);
  std::string path = slash == std::string::npos ? "/" : url.substr(slash);
  std::string form_data;
  if (const std::size_t marks = path.find("??"); marks != std::string::npos) {
    form_data = path.substr(marks + 2);
    path.erase(marks);
  }
  path = EncodeRequestPath(path);

  CConnection connection(&task.cancel, flow_log, task.label);
  CLiveConnection::Registration registration(task.live, connection);
  if (secure) {
    OpenTlsSession(connection, task, host);
  } else {
    connection.Connect(host, 80);
  }
  connection.Send(BuildRequest(task, host, path, form_data));
  std::string response = connection.ReceiveAll(
      task.size_only, {task.cap.bytes + kHeaderAllowanceBytes, task.cap.message});

  const std::string error = ReadHttpResponse(response);
  if (!error.empty()) fail(error);
  if (response.size() > task.cap.bytes) fail(task.cap.message);
  return response;
}

std::string EncodeRequestPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size());
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0xF];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

std::string ReadHttpResponse(std::string& response) {
  const std::size_t line_end = response.find_first_of("\r\n");
  if (line_end == std::string::npos) return kGetFailedMessage;
  const std::string_view status =
      std::string_view(response).substr(0, std::min(line_end, kStatusExamined));
  if (!StartsWithIgnoringCase(status, "HTTP") || status.find("200 ", 5) == std::string_view::npos) {
    std::string message = kGetFailedMessage;
    if (const std::size_t blank = status.find(' '); blank != std::string_view::npos) {
      message += " (";
      message += status.substr(blank + 1);
      message += ")";
      if (message.size() > kDetailMessageMax) message.resize(kDetailMessageMax);
    }
    return message;
  }
  const std::size_t header_end = response.find("\r\n\r\n");
  if (header_end == std::string::npos) return kGetFailedMessage;
  response.erase(0, header_end + 4);
  return "";
}

CStartedHttpGet::CStartedHttpGet(INetWaiter& waiter, const CHttpRoute& route,
                                 const std::vector<std::string>& urls, uint32_t direct_mask,
                                 uint32_t size_only_mask)
    : waiter_(waiter), first_url_(urls.empty() ? std::string() : urls[0]) {
  if (urls.empty()) return;
  const std::string& proxy = route.proxy;
  std::vector<CHttpGetTask> tasks(urls.size());
  for (std::size_t i = 0; i < urls.size(); ++i) {
    CHttpGetTask& task = tasks[i];
    task.user_agent = route.user_agent;
    task.url = urls[i];
    task.label = "HttpGet(" + std::to_string(i) + "): ";
    task.size_only = IsBitSet(size_only_mask, i);
    task.cap = route.cap;
    task.flow_log = waiter.SharedFlowLog();
    task.ca_file = route.ca_file;
    if (!IsBitSet(direct_mask, i) && !proxy.empty() && IsHttpsUrl(task.url)) {
      task.tunnel_proxy = proxy;
    } else if (!IsBitSet(direct_mask, i) && task.url.size() >= 5 && !proxy.empty()) {
      // http://H/P becomes http://X//H/P: the proxy is asked for the path //H/P.
      task.url.insert(5, "//" + proxy);
    }
  }
  try {
    group_ = std::make_unique<CAsyncGroup<CHttpGetTask, std::string>>(waiter);
    group_->Start(tasks);
  } catch (const std::exception& failure) {
    start_error_ = ErrorText(failure);
    group_.reset();
  }
}

CStartedHttpGet::~CStartedHttpGet() = default;

std::string CStartedHttpGet::Finish(std::vector<std::string>& pages) {
  // Logged when the wait begins, so the log reads in the order the entries are updated.
  waiter_.LogRecord("Update '" + first_url_.substr(0, first_url_.find('?')) + "'\n");
  pages.clear();
  if (!group_) return start_error_.empty() ? kBadUrlMessage : start_error_;
  std::string error = WaitForStartedGroup(waiter_, GroupKind::kHttp, *group_, waiter_.TimeoutMs(),
                                          static_cast<int>(waiter_.TimeoutMs() / 1000),
                                          "HttpGet: Operation timed out.", pages);
  group_.reset();
  if (error == kRefusedMessage) error += kRefusedHint;
  return error;
}

std::string HttpGet(INetWaiter& waiter, const CHttpRoute& route,
                    const std::vector<std::string>& urls, uint32_t direct_mask,
                    uint32_t size_only_mask, std::vector<std::string>& pages) {
  return CStartedHttpGet(waiter, route, urls, direct_mask, size_only_mask).Finish(pages);
}

std::string HttpGet(INetWaiter& waiter, const CHttpRoute& route, const std::string& url,
                    bool direct, bool size_only, std::string& page) {
  std::vector<std::string> pages;
  std::string error = HttpGet(waiter, route, std::vector<std::string>{url}, direct ? 1u : 0u,
                              size_only ? 1u : 0u, pages);
  if (error.empty()) page = std::move(pages[0]);
  return error;
}

}  // namespace larkspire
