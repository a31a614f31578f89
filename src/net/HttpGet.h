// Fetching web pages: one HTTP/1.0 request per URL, all URLs of a call in parallel, normally
// through the USPTO/Direct client's local proxy. The entry points run on the user-interface
// thread and return an error text (empty on success); they never throw.
//
// An https:// address (default port 443) is fetched over TLS: straight to its host, or through
// the proxy by asking it for a tunnel ("CONNECT host:443"), so that the certificate is checked
// end to end and the proxy passes only ciphertext. The certificate must name the host and
// chain to the system's trust store or to the route's CA file. Everything else (the request,
// the bounds, cancellation, time-out, the flow log's dialogue) is as for http://, which is sent
// exactly as it always was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/CancelFlag.h"
#include "net/Connection.h"
#include "net/FlowLog.h"
#include "net/LiveConnection.h"

namespace larkspire {

class INetWaiter;
template <typename Task, typename Result>
class CAsyncGroup;

inline constexpr const char* kBadUrlMessage = "HttpGet: Bad URL.";
inline constexpr const char* kGetFailedMessage = "HttpGet: HTTP Get Failed.";
// Followed by "host:port (the proxy's status)."
inline constexpr const char* kNoTunnelMessage = "HttpGet: The proxy opened no tunnel to ";

// The largest body a request keeps: far beyond any status page (tens of kilobytes) or program
// (a few megabytes), and small enough that a server streaming without end cannot exhaust
// memory. Past it the request fails with the cap's message.
inline constexpr CReceiveCap kPageCap{16u << 20, "HttpGet: The page is larger than 16 MB."};
inline constexpr CReceiveCap kDownloadCap{64u << 20, "HttpGet: The download is larger than 64 MB."};

// One request, copied into its worker.
struct CHttpGetTask {
  CCancelFlag cancel;
  std::string user_agent = "HttpGet";
  std::string url;
  std::string credentials;   // "user:password" for basic authentication; empty for none
  std::string tunnel_proxy;  // "host:port" asked for a tunnel to an https:// address; "" direct
  std::string ca_file;       // see CHttpRoute
  bool size_only = false;    // the flow log shows received lengths instead of the text
  CReceiveCap cap = kPageCap;
  // Shared, so the sink outlives a worker that is abandoned after a time-out.
  std::shared_ptr<CFlowLog> flow_log;
  std::string label;
  CLiveConnection live;
};

// A whole response as it arrived (status line, headers, body up to the close): returns the
// error text, empty when the status line says 200 and the header block ends, and only then
// cuts the response down to its body (in place: a large body is not copied).
std::string ReadHttpResponse(std::string& response);

// The path and query as sent on the request line: every byte at or below the blank, and DEL,
// percent-encoded ("%20", "%09", "%7F"), so no control byte reaches the request line.
std::string EncodeRequestPath(std::string_view path);

// The task run on the worker thread: the body of the page, or a CAppError.
std::string RunTask(CHttpGetTask& task);

// Where the requests go: plain values the caller reads from its settings.
struct CHttpRoute {
  std::string proxy;  // "host:port"; empty sends every request direct
  std::string user_agent = "Larkspire";
  CReceiveCap cap = kPageCap;
  // A PEM file of certificates trusted for https:// beside the system's (an office's own CA);
  // "" for the system's alone.
  std::string ca_file;
};

// Bit i of direct_mask sends URL i direct instead of through the route's proxy; bit i of
// size_only_mask logs only the lengths of what URL i receives. pages is cleared, and on
// success holds one body per URL in URL order. The wait's deadline is the waiter's time-out.
std::string HttpGet(INetWaiter& waiter, const CHttpRoute& route,
                    const std::vector<std::string>& urls, uint32_t direct_mask,
                    uint32_t size_only_mask, std::vector<std::string>& pages);

// The same requests put on their workers at once and waited for later, so that the caller can
// work meanwhile. Let go of without Finish, they are cancelled and their workers abandoned.
class CStartedHttpGet {
 public:
  CStartedHttpGet(INetWaiter& waiter, const CHttpRoute& route, const std::vector<std::string>& urls,
                  uint32_t direct_mask, uint32_t size_only_mask);
  ~CStartedHttpGet();
  CStartedHttpGet(const CStartedHttpGet&) = delete;
  CStartedHttpGet& operator=(const CStartedHttpGet&) = delete;

  // What HttpGet returns for the requests; the time-out counts from here. Once only.
  std::string Finish(std::vector<std::string>& pages);

 private:
  INetWaiter& waiter_;
  std::string first_url_;
  std::string start_error_;
  std::unique_ptr<CAsyncGroup<CHttpGetTask, std::string>> group_;  // null without URLs
};
// One URL; page is assigned only on success.
std::string HttpGet(INetWaiter& waiter, const CHttpRoute& route, const std::string& url,
                    bool direct, bool size_only, std::string& page);

}  // namespace larkspire
