#include "retrieval/OdpMapping.h"

#include <algorithm>
#include <optional>
#include <set>

#include "retrieval/RulesSection.h"
#include "rules/PageText.h"

namespace larkspire {
namespace {

struct CFormatName {
  std::string_view name;
  EOdpFormat format;
};

constexpr CFormatName kFormatNames[] = {
    {"text", EOdpFormat::kText},
    {"number", EOdpFormat::kNumber},
    {"code", EOdpFormat::kCode},
    {"yyyy-mm-dd", EOdpFormat::kIsoDate},
    {"mm-dd-yyyy", EOdpFormat::kTableDate},
    {"patent", EOdpFormat::kPatent},
    {"publication", EOdpFormat::kPublication},
    {"application", EOdpFormat::kApplication},
    {"uspc", EOdpFormat::kUspc},
    {"present", EOdpFormat::kPresent},
};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The name inside "prefix[NAME]", or nothing when key has another shape.
std::optional<std::string_view> BracketedName(std::string_view key, std::string_view prefix) {
  if (key.size() < prefix.size() + 2 || !key.starts_with(prefix) || key[prefix.size()] != '[' ||
      key.back() != ']') {
    return std::nullopt;
  }
  return key.substr(prefix.size() + 1, key.size() - prefix.size() - 2);
}

// A JSON Pointer token with "~1" as "/" and "~0" as "~".
std::optional<std::string> UnescapeToken(std::string_view token) {
  std::string out;
  for (std::size_t i = 0; i < token.size(); ++i) {
    if (token[i] != '~') {
      out += token[i];
    } else if (i + 1 < token.size() && (token[i + 1] == '0' || token[i + 1] == '1')) {
      out += token[++i] == '0' ? '~' : '/';
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::string ReadPointer(std::string_view text, std::vector<COdpStep>& steps) {
  if (!text.starts_with('/')) return Quoted(text) + " does not begin with /";
  std::string rest(text.substr(1));
  while (true) {
    const bool last = rest.find('/') == std::string::npos;
    const std::string token = SplitHead(rest, "/");
    COdpStep step;
    if (token == "*") {
      step.kind = COdpStep::EKind::kEvery;
    } else if (token.starts_with("newest(")) {
      if (!token.ends_with(")") || token.size() == 8) {
        return Quoted(token) + " is not newest(MEMBER)";
      }
      step.kind = COdpStep::EKind::kNewest;
      step.name = token.substr(7, token.size() - 8);
    } else if (auto name = UnescapeToken(token)) {
      step.name = std::move(*name);
    } else {
      return Quoted(token) + " has a ~ that is neither ~0 nor ~1";
    }
    steps.push_back(std::move(step));
    if (last) return "";
  }
}

std::string ReadPath(std::string_view text, COdpPath& path) {
  path.text = text;
  std::string rest(text);
  while (true) {
    const bool last = rest.find('|') == std::string::npos;
    std::vector<COdpStep> steps;
    std::string error = ReadPointer(SplitHead(rest, "|"), steps);
    if (!error.empty()) return error;
    path.alternatives.push_back(std::move(steps));
    if (last) return "";
  }
}

std::string ReadReference(std::string_view text, COdpReference& reference) {
  std::vector<std::string> words;
  std::string rest(text);
  while (!rest.empty()) {
    std::string word = SplitHead(rest, " ");
    if (!word.empty()) words.push_back(std::move(word));
  }
  if (words.empty()) return "{} names no value";
  std::string error = ReadPath(words[0], reference.path);
  if (!error.empty()) return error;

  bool has_format = false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const auto named = std::find_if(std::begin(kFormatNames), std::end(kFormatNames),
                                    [&](const CFormatName& f) { return f.name == word; });
    const bool is_format = named != std::end(kFormatNames) || word.starts_with("rows=");
    if (is_format && has_format) return "{" + std::string(text) + "} has two formats";
    if (named != std::end(kFormatNames)) {
      reference.format = named->format;
    } else if (word.starts_with("rows=")) {
      reference.format = EOdpFormat::kRows;
      reference.rows = word.substr(5);
    } else if (word.starts_with("map=")) {
      reference.map = word.substr(4);
    } else if (word == "required") {
      reference.required = true;
    } else {
      return Quoted(word) + " is neither a format nor map=, rows= or required";
    }
    has_format = has_format || is_format;
  }
  return "";
}

// "{reference}" parts between literal text; "{{" and "}}" stand for literal braces.
std::string ReadTemplate(std::string_view text, COdpTemplate& parts) {
  std::string literal;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
      literal += c;
      ++i;
    } else if (c == '}') {
      return "a } without its {";
    } else if (c == '{') {
      const std::size_t close = text.find('}', i + 1);
      if (close == std::string_view::npos) return "a { without its }";
      if (!literal.empty()) parts.emplace_back(std::exchange(literal, std::string()));
      COdpReference reference;
      std::string error = ReadReference(text.substr(i + 1, close - i - 1), reference);
      if (!error.empty()) return error;
      parts.emplace_back(std::move(reference));
      i = close;
    } else {
      literal += c;
    }
  }
  if (!literal.empty()) parts.emplace_back(std::move(literal));
  return "";
}

std::string ReadValueMap(std::string_view text, COdpValueMap& map) {
  std::string rest(text);
  while (!rest.empty()) {
    const std::string piece = SplitHead(rest, "#");
    const std::size_t equals = piece.find('=');
    if (equals == std::string::npos) return Quoted(piece) + " has no =";
    map.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
  }
  return "";
}

int FetchedFieldByKey(std::string_view key) {
  for (int id : kOdpFetchedFields) {
    if (key == kFields[id].key) return id;
  }
  return -1;
}

// The names every reference of a template uses must be defined; rows do not nest.
std::string CheckNames(const COdpTemplate& parts, const COdpMapping& mapping, bool in_row) {
  for (const auto& part : parts) {
    const auto* reference = std::get_if<COdpReference>(&part);
    if (reference == nullptr) continue;
    if (reference->format == EOdpFormat::kRows) {
      if (in_row) return "a row template cannot hold rows=" + reference->rows;
      if (!mapping.rows.contains(reference->rows)) return "row[" + reference->rows + "] is missing";
    }
    if (!reference->map.empty() && !mapping.maps.contains(reference->map)) {
      return "map[" + reference->map + "] is missing";
    }
  }
  return "";
}

std::string ReadEntry(const CRulesEntry& entry, COdpMapping& mapping) {
  const std::string_view key = entry.key;
  if (key == "bag") return ReadPath(entry.value, mapping.bag);
  if (key == "count") return ReadPath(entry.value, mapping.count);
  if (key == "search-number") return ReadPath(entry.value, mapping.search_number);
  if (key == "search-time") return ReadPath(entry.value, mapping.search_time);
  if (key == "search-reference") return ReadPath(entry.value, mapping.search_reference);
  if (key == "events") return ReadPath(entry.value, mapping.events);
  if (key == "event-date") return ReadTemplate(entry.value, mapping.event_date);
  if (key == "event-code") return ReadTemplate(entry.value, mapping.event_code);
  if (key == "event-text") return ReadTemplate(entry.value, mapping.event_text);
  if (key == "limit") {
    const std::string& value = entry.value;
    if (value.empty() || value.size() > 12 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      return "limit " + Quoted(value) + " is not a number of bytes";
    }
    mapping.limit = std::stoull(value);
    return "";
  }
  if (auto name = BracketedName(key, "row")) {
    return ReadTemplate(entry.value, mapping.rows[std::string(*name)]);
  }
  if (auto name = BracketedName(key, "map")) {
    return ReadValueMap(entry.value, mapping.maps[std::string(*name)]);
  }
  if (auto name = BracketedName(key, "")) {
    const int id = FetchedFieldByKey(*name);
    if (id < 0) return std::string(key) + " is not a field the service can fill";
    mapping.fields.emplace_back(id, COdpTemplate());
    return ReadTemplate(entry.value, mapping.fields.back().second);
  }
  return "";  // request addresses and keys of later program versions
}

}  // namespace

std::string ReadOdpMapping(std::string_view rules_text, COdpMapping& mapping) {
  mapping = COdpMapping();
  const std::string prefix = "The rules file's " + std::string(kOdpSection) + " section ";
  const std::vector<CRulesEntry> entries = ReadRulesSection(rules_text, kOdpSection);
  if (entries.empty()) return prefix + "is missing.";

  std::set<std::string, std::less<>> seen;
  for (const CRulesEntry& entry : entries) {
    if (!seen.insert(entry.key).second) continue;
    const std::string error = ReadEntry(entry, mapping);
    if (!error.empty()) return prefix + "cannot be used: " + entry.key + ": " + error + ".";
  }
  if (mapping.bag.alternatives.empty()) return prefix + "cannot be used: it has no bag.";
  for (const auto& [id, parts] : mapping.fields) {
    const std::string error = CheckNames(parts, mapping, false);
    if (!error.empty()) {
      return prefix + "cannot be used: [" + kFields[id].key + "]: " + error + ".";
    }
  }
  for (const auto& [name, parts] : mapping.rows) {
    const std::string error = CheckNames(parts, mapping, true);
    if (!error.empty()) return prefix + "cannot be used: row[" + name + "]: " + error + ".";
  }
  const std::pair<const char*, const COdpTemplate*> event_parts[] = {
      {"event-date", &mapping.event_date},
      {"event-code", &mapping.event_code},
      {"event-text", &mapping.event_text}};
  for (const auto& [key, parts] : event_parts) {
    if (!mapping.events.alternatives.empty() && parts->empty()) {
      return prefix + "cannot be used: events needs " + key + ".";
    }
    const std::string error = CheckNames(*parts, mapping, true);
    if (!error.empty()) return prefix + "cannot be used: " + key + ": " + error + ".";
  }
  return "";
}

}  // namespace larkspire
