#include "Json.h"

#include <cstdio>

namespace larkspire::sim {
namespace {

// Windows-1252's 0x80..0x9F as Unicode code points; 0 where the code page leaves a hole.
constexpr unsigned kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else if (byte >= 0x80 && byte < 0xA0) {
      // A hole in the code page has no character; the replacement character says so.
      AppendUtf8(out, kCp1252High[byte - 0x80] ? kCp1252High[byte - 0x80] : 0xFFFD);
    } else {
      AppendUtf8(out, byte);
    }
  }
  out += '"';
}

void Indent(std::string& out, int depth) {
  out += '\n';
  out.append(static_cast<size_t>(depth) * 2, ' ');
}

std::pair<std::string_view, std::string_view> SplitFirst(std::string_view path) {
  const size_t dot = path.find('.');
  if (dot == std::string_view::npos) return {path, {}};
  return {path.substr(0, dot), path.substr(dot + 1)};
}

}  // namespace

CJson CJson::Integer(long long value) {
  CJson json;
  json.kind_ = EKind::kInteger;
  json.integer_ = value;
  return json;
}

CJson CJson::String(std::string value) {
  CJson json;
  json.kind_ = EKind::kString;
  json.text_ = std::move(value);
  return json;
}

CJson CJson::Array() {
  CJson json;
  json.kind_ = EKind::kArray;
  return json;
}

CJson CJson::Object() {
  CJson json;
  json.kind_ = EKind::kObject;
  return json;
}

bool CJson::IsEmpty() const {
  return (kind_ == EKind::kArray && items_.empty()) ||
         (kind_ == EKind::kObject && members_.empty());
}

std::string CJson::Scalar() const {
  if (kind_ == EKind::kString) return text_;
  if (kind_ == EKind::kInteger) return std::to_string(integer_);
  return "";
}

CJson& CJson::Set(std::string_view key, CJson value) {
  for (auto& [name, member] : members_) {
    if (name == key) return member = std::move(value);
  }
  members_.emplace_back(std::string(key), std::move(value));
  return members_.back().second;
}

const CJson* CJson::Find(std::string_view key) const {
  for (const auto& [name, member] : members_) {
    if (name == key) return &member;
  }
  return nullptr;
}

void CJson::RenameKey(std::string_view from, std::string_view to) {
  for (auto& [name, member] : members_) {
    if (name == from) name = std::string(to);
    member.RenameKey(from, to);
  }
  for (CJson& item : items_) item.RenameKey(from, to);
}

void CJson::Push(CJson value) { items_.push_back(std::move(value)); }

std::string CJson::Dump() const {
  std::string out;
  DumpTo(out, 0);
  out += '\n';
  return out;
}

void CJson::DumpTo(std::string& out, int depth) const {
  switch (kind_) {
    case EKind::kNull:
      out += "null";
      return;
    case EKind::kInteger:
      out += std::to_string(integer_);
      return;
    case EKind::kString:
      AppendQuoted(out, text_);
      return;
    case EKind::kArray:
      if (items_.empty()) {
        out += "[]";
        return;
      }
      out += '[';
      for (size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ',';
        Indent(out, depth + 1);
        items_[i].DumpTo(out, depth + 1);
      }
      Indent(out, depth);
      out += ']';
      return;
    case EKind::kObject:
      if (members_.empty()) {
        out += "{}";
        return;
      }
      out += '{';
      for (size_t i = 0; i < members_.size(); ++i) {
        if (i) out += ',';
        Indent(out, depth + 1);
        AppendQuoted(out, members_[i].first);
        out += ": ";
        members_[i].second.DumpTo(out, depth + 1);
      }
      Indent(out, depth);
      out += '}';
      return;
  }
}

void CollectPath(const CJson& root, std::string_view path, std::vector<const CJson*>& values) {
  if (root.Kind() == CJson::EKind::kArray) {
    for (const CJson& item : root.Items()) CollectPath(item, path, values);
    return;
  }
  if (path.empty()) {
    values.push_back(&root);
    return;
  }
  if (root.Kind() != CJson::EKind::kObject) return;
  const auto [head, rest] = SplitFirst(path);
  if (const CJson* member = root.Find(head)) CollectPath(*member, rest, values);
}

CJson SelectPaths(const CJson& value, const std::vector<std::string>& paths) {
  if (value.Kind() == CJson::EKind::kArray) {
    CJson narrowed = CJson::Array();
    for (const CJson& item : value.Items()) {
      CJson part = SelectPaths(item, paths);
      if (!part.IsEmpty()) narrowed.Push(std::move(part));
    }
    return narrowed;
  }
  CJson selected = CJson::Object();
  if (value.Kind() != CJson::EKind::kObject) return selected;
  for (const auto& [name, member] : value.Members()) {
    bool whole = false;
    std::vector<std::string> inner;
    for (const std::string& path : paths) {
      const auto [head, rest] = SplitFirst(path);
      if (head != name) continue;
      if (rest.empty()) whole = true;
      inner.emplace_back(rest);
    }
    if (whole) {
      selected.Set(name, member);
    } else if (!inner.empty()) {
      CJson part = SelectPaths(member, inner);
      if (!part.IsEmpty()) selected.Set(name, std::move(part));
    }
  }
  return selected;
}

}  // namespace larkspire::sim
