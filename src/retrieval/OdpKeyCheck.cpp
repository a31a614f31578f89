#include "retrieval/OdpKeyCheck.h"

#include "retrieval/OdpClient.h"
#include "run/Run.h"

namespace larkspire {

std::string CheckOdpKey(CRun& app, const std::string& key) {
  COdpClient client(app, key);
  // One request, as asked: a busy service is reported, not waited for.
  client.SetTries(1);
  const std::string url = client.Address("search");
  app.BeginBusy("Check Open Data Portal Key", 1);
  app.Log().Write("Check Open Data Portal Key '%s'\n", url.c_str());
  const COdpReply reply = client.Get(url + "?limit=1&fields=applicationNumberText");
  app.EndBusy();
  std::string text;
  switch (reply.outcome) {
    case EOdpOutcome::kAnswered: {
      const COdpSearchPage page = client.Reader().ReadSearchPage(reply.body);
      text = "The Open Data Portal accepted the key: it answered 200 OK";
      if (page.error.empty()) text += " and serves " + std::to_string(page.total) + " applications";
      text += ".";
      break;
    }
    case EOdpOutcome::kNotFound:
      text = "The Open Data Portal accepted the key: it answered 404 No matching records.";
      break;
    case EOdpOutcome::kKeyRefused:
    case EOdpOutcome::kBusy:
      text = reply.message;
      break;
    case EOdpOutcome::kTlsRefused:
    case EOdpOutcome::kFailed:
      text = "The key could not be checked: " + reply.message;
      break;
  }
  app.Log().Write("Check Open Data Portal Key: %s\n", text.c_str());
  return text;
}

}  // namespace larkspire
