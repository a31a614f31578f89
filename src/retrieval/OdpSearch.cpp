#include "retrieval/OdpSearch.h"

#include <algorithm>
#include <cstdio>

namespace larkspire {

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x80) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::vector<std::string> SplitFields(std::string_view list) {
  std::vector<std::string> fields;
  while (!list.empty()) {
    const std::size_t comma = std::min(list.find(','), list.size());
    std::string_view field = list.substr(0, comma);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    if (!field.empty()) fields.emplace_back(field);
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
  return fields;
}

std::string OdpSearchBody(const COdpQuery& query, std::uint64_t offset, std::uint64_t limit) {
  std::string body = "{\"q\":" + JsonQuoted(query.q);
  if (!query.fields.empty()) {
    body += ",\"fields\":[";
    for (std::size_t i = 0; i < query.fields.size(); ++i) {
      body += (i > 0 ? "," : "") + JsonQuoted(query.fields[i]);
    }
    body += "]";
  }
  if (!query.range_field.empty()) {
    // The far end stays open in effect: a bound from the program's clock would miss changes
    // whenever that clock is behind the service's.
    body += ",\"rangeFilters\":[{\"field\":" + JsonQuoted(query.range_field) +
            ",\"valueFrom\":" + JsonQuoted(query.range_from) +
            ",\"valueTo\":\"9999-12-31T23:59:59\"}]";
  }
  body += ",\"pagination\":{\"offset\":" + std::to_string(offset) +
          ",\"limit\":" + std::to_string(limit) + "}}";
  return body;
}

COdpReply RunOdpSearch(COdpClient& client, const std::string& url, const COdpQuery& query,
                       std::uint64_t page_size, const OdpHitFunction& on_hit, std::uint64_t& total,
                       std::uint64_t max_hits) {
  total = 0;
  max_hits = std::min(max_hits, kOdpSearchCap);
  page_size = std::clamp<std::uint64_t>(page_size, 1, kOdpSearchCap);
  for (std::uint64_t offset = 0; offset < max_hits;) {
    const std::uint64_t limit = std::min(page_size, max_hits - offset);
    COdpReply reply = client.Post(url, OdpSearchBody(query, offset, limit));
    if (reply.outcome == EOdpOutcome::kNotFound) {
      reply.outcome = EOdpOutcome::kAnswered;
      return reply;
    }
    if (reply.outcome != EOdpOutcome::kAnswered) return reply;
    const COdpSearchPage page = client.Reader().ReadSearchPage(reply.body);
    if (!page.error.empty()) {
      reply.outcome = EOdpOutcome::kFailed;
      reply.message = page.error;
      return reply;
    }
    total = page.total;
    for (const COdpSearchHit& hit : page.hits) on_hit(hit);
    offset += page.hits.size();
    if (page.hits.empty() || offset >= page.total) {
      reply.body.clear();
      return reply;
    }
  }
  return {EOdpOutcome::kAnswered, 200, "", ""};
}

}  // namespace larkspire
