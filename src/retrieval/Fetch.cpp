#include "retrieval/Fetch.h"

#include "net/HttpGet.h"
#include "run/Run.h"

namespace larkspire {
namespace {

CHttpRoute RouteOf(CRun& app, const CReceiveCap& cap = kPageCap) {
  app.ReloadTimeoutUnlessFixed();
  return {app.Settings().ProxyServer.Text(), kAppName, cap, app.Settings().CaFile.Text()};
}

}  // namespace

std::string FetchPages(CRun& app, const std::vector<std::string>& urls, uint32_t direct_mask,
                       uint32_t size_only_mask, std::vector<std::string>& pages) {
  return HttpGet(app, RouteOf(app), urls, direct_mask, size_only_mask, pages);
}

std::unique_ptr<CStartedHttpGet> StartFetchingPages(CRun& app,
                                                    const std::vector<std::string>& urls) {
  return std::make_unique<CStartedHttpGet>(app, RouteOf(app), urls, 0, 0);
}

std::string FetchPage(CRun& app, const std::string& url, bool direct, bool size_only,
                      std::string& page, const CReceiveCap& cap) {
  return HttpGet(app, RouteOf(app, cap), url, direct, size_only, page);
}

}  // namespace larkspire
