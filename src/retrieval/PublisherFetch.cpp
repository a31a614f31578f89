#include "retrieval/PublisherFetch.h"

#include "app/AppCore.h"
#include "net/HttpGet.h"

namespace larkspire {

std::string FetchFromPublisher(AppCore& app, const std::string& url, bool size_only,
                               std::string& body) {
  const bool can_retry = !app.Settings().ProxyServer.Text().empty();
  std::string error = HttpGet(app, url, app.publisher_direct, size_only, body);
  if (!error.empty() && can_retry) {
    if (app.Ui()) app.Ui()->SetProgress(1);
    error = HttpGet(app, url, !app.publisher_direct, size_only, body);
    if (error.empty()) app.publisher_direct = !app.publisher_direct;
  }
  return error;
}

std::string PublisherCaption(const std::string& url) {
  if (url.size() <= 7) return "from ";
  const std::size_t slash = url.find('/', 7);
  return "from " + url.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
}

}  // namespace larkspire
