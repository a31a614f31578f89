#include "retrieval/PublisherFetch.h"

#include "net/HttpGet.h"
#include "net/TextChecks.h"
#include "retrieval/Fetch.h"
#include "retrieval/PublisherTrust.h"
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

SignedFetch FetchSignedFromPublisher(CRun& app, const std::string& url, std::string_view kind,
                                     std::string_view version_in_use, bool size_only,
                                     CSignedFile& file, std::string& reason,
                                     const CReceiveCap& cap) {
  // Rules that name no address for the file name none for its manifest either.
  std::string manifest_text;
  reason = url.empty() ? kBadUrlMessage
                       : FetchFromPublisher(app, ManifestAddress(url), false, manifest_text);
  if (!reason.empty()) return SignedFetch::kFailed;
  // The manifest alone decides whether the file is worth fetching: its signature, its kind and
  // its version are checked before the file is asked for.
  PublisherManifest manifest;
  reason = VerifyManifest(manifest_text, PublisherKeyInUse(app), kind, manifest);
  if (!reason.empty()) return SignedFetch::kRefused;
  if (CompareVersions(manifest.version, version_in_use) == 0) return SignedFetch::kCurrent;
  reason = CheckNewerVersion(manifest.version, version_in_use);
  // A genuine manifest served at another file's address, or one run out (an old release served
  // again), does not vouch for a download.
  if (reason.empty()) reason = CheckServedName(manifest, url);
  if (reason.empty()) reason = CheckNotExpired(manifest, TodayUtcDayNumber());
  if (!reason.empty()) return SignedFetch::kRefused;

  std::string bytes;
  reason = FetchFromPublisher(app, url, size_only, bytes, cap);
  if (!reason.empty()) return SignedFetch::kFailed;
  reason = CheckSignedFile(app, kind, manifest_text, bytes, manifest);
  if (!reason.empty()) return SignedFetch::kRefused;
  file = {std::move(bytes), std::move(manifest_text), std::move(manifest)};
  return SignedFetch::kTaken;
}

std::string PublisherCaption(const std::string& url) {
  const std::size_t start = StartsWithIgnoringCase(url, "https://") ? 8 : 7;
  if (url.size() <= start) return "from ";
  const std::size_t slash = url.find('/', start);
  return "from " +
         url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
}

}  // namespace larkspire
