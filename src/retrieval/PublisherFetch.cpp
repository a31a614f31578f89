#include "retrieval/PublisherFetch.h"

#include "retrieval/Fetch.h"
#include "run/Run.h"

namespace larkspire {

std::string FetchFromPublisher(CRun& app, const std::string& url, bool size_only, std::string& body,
                               const CReceiveCap& cap) {
  const bool can_retry = !app.Settings().ProxyServer.Text().empty();
  const bool direct_first = app.Rules().publisher_direct;
  std::string error = FetchPage(app, url, direct_first, size_only, body, cap);
  if (error.empty() || !can_retry) return error;
  if (app.Ui()) app.Ui()->SetProgress(1);
  std::string retry_error = FetchPage(app, url, !direct_first, size_only, body, cap);
  if (retry_error.empty()) {
    app.Rules().publisher_direct = !direct_first;
    return retry_error;
  }
  // Both ways failed: report what came through the proxy. An office that must use the proxy
  // never reaches the publisher directly, so that failure would hide the real answer (a
  // missing file, a server error).
  return direct_first ? retry_error : error;
}

std::string PublisherCaption(const std::string& url) {
  if (url.size() <= 7) return "from ";
  const std::size_t slash = url.find('/', 7);
  return "from " + url.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
}

}  // namespace larkspire
