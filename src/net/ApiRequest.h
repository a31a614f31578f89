// One request to a JSON web service that wants an API key in a header (the patent office's
// Open Data Portal): HTTPS only, so the key never travels in clear text; GET, or POST with a
// JSON body; the answer's status, Retry-After and body whatever the status, so the caller can
// tell a refused key from a busy service from a missing record. The key is shown as hidden in
// the TCP/IP flow log, and nothing here writes it to the program's log.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "net/CancelFlag.h"
#include "net/FlowLog.h"
#include "net/LiveConnection.h"

namespace larkspire {

class INetWaiter;

inline constexpr const char* kApiTimedOutMessage = "The web service did not answer in time.";
inline constexpr const char* kApiHiddenKey = "(hidden)";

struct CApiRequest {
  std::string method = "GET";  // GET, or POST with body
  std::string url;             // https://host[:port]/path?query, an IPv6 host in brackets
  std::string key_header = "X-API-KEY";
  std::string key;
  std::string body;     // JSON, sent with POST
  std::string ca_file;  // PEM certificates trusted beside the system's; "" for none
  std::string user_agent = "Larkspire";
};

struct CApiAnswer {
  int status = 0;           // the HTTP status code
  std::string reason;       // the status line's text after the code
  std::string retry_after;  // the Retry-After header as sent; "" without one
  std::string body;         // decoded (chunked transfer undone)
};

// The parts of an https:// address; false for any other scheme or a malformed address.
struct CApiAddress {
  std::string host;  // the name or address the certificate must carry; IPv6 without brackets
  int port = 443;
  std::string target;  // path and query, "/" at least
};
bool ReadApiAddress(std::string_view url, CApiAddress& address);

// The request as sent, and as the flow log shows it (the key replaced by kApiHiddenKey).
std::string BuildApiRequest(const CApiRequest& request, const CApiAddress& address, bool hide_key);

// A whole HTTP/1.x response as it arrived (up to the server's close): "" and the answer, or
// the error text of a response that cannot be read (no status line, headers cut short, a body
// shorter than its Content-Length, broken chunked coding).
std::string ReadApiResponse(std::string_view response, CApiAnswer& answer);

// One request, copied into its worker.
struct CApiRequestTask {
  CCancelFlag cancel;
  CApiRequest request;
  std::shared_ptr<CFlowLog> flow_log;
  std::string label = "ApiRequest: ";
  CLiveConnection live;
};

// The task run on the worker thread: the answer, or a CAppError.
CApiAnswer RunTask(CApiRequestTask& task);

// Sends the request and waits for the whole answer on the user-interface thread, the window
// kept alive as for every other network wait. Returns "" with the answer (of any status), or
// the error text of a request that got no readable answer (an address that is not https://,
// connection and TLS failures, a time-out, a cancel).
std::string SendApiRequest(INetWaiter& waiter, const CApiRequest& request, CApiAnswer& answer);

}  // namespace larkspire
