#include "OdpQuery.h"

#include <cctype>

namespace larkspire::sim {
namespace {

using CNodePtr = std::shared_ptr<const COdpQuery::CNode>;

// The letters (upper-cased) and digits of a text, and any "*" when it is a pattern.
std::string MatchKey(std::string_view text, bool pattern) {
  std::string key;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte)) key += static_cast<char>(std::toupper(byte));
    if (pattern && c == '*') key += c;
  }
  return key;
}

bool Wildcard(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Compares a value with a range bound: whole numbers as numbers, anything else as text, with
// `prefix` comparing only as much of the value as the bound has (a date takes in its day).
int CompareToBound(std::string_view value, std::string_view bound, bool prefix) {
  if (AllDigits(value) && AllDigits(bound)) {
    while (value.size() > 1 && value.front() == '0') value.remove_prefix(1);
    while (bound.size() > 1 && bound.front() == '0') bound.remove_prefix(1);
    if (value.size() != bound.size()) return value.size() < bound.size() ? -1 : 1;
  } else if (prefix) {
    value = value.substr(0, bound.size());
  }
  return value.compare(bound);
}

}  // namespace

struct COdpQuery::CNode {
  enum class EKind { kAll, kTerm, kRange, kAnd, kOr, kNot };
  EKind kind = EKind::kAll;
  std::string field;
  COdpPatterns patterns;           // kTerm
  std::string from, to;            // kRange
  std::vector<CNodePtr> children;  // kAnd, kOr, kNot
};

namespace {

using CNode = COdpQuery::CNode;

class CQueryParser {
 public:
  explicit CQueryParser(std::string_view text) : text_(text) {}

  CNodePtr Parse(std::string& error) {
    SkipBlanks();
    CNodePtr root = AtEnd() ? std::make_shared<CNode>() : ParseOr();
    SkipBlanks();
    if (error_.empty() && !AtEnd()) Fail("unexpected '" + std::string(1, text_[pos_]) + "'");
    error = error_;
    return error_.empty() ? root : nullptr;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  bool At(char c) const { return !AtEnd() && text_[pos_] == c; }
  void SkipBlanks() {
    while (!AtEnd() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  CNodePtr Fail(std::string message) {
    if (error_.empty()) error_ = message + " at offset " + std::to_string(pos_);
    pos_ = text_.size();
    return std::make_shared<CNode>();
  }

  static bool Delimits(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')' || c == ']';
  }

  // The keyword (AND, OR, NOT, TO) standing whole at the position, consumed when `take`.
  bool Keyword(std::string_view word, bool take = true) {
    SkipBlanks();
    if (text_.substr(pos_, word.size()) != word) return false;
    const size_t end = pos_ + word.size();
    if (end < text_.size() && !Delimits(text_[end])) return false;
    if (take) pos_ = end;
    return true;
  }

  CNodePtr Join(CNode::EKind kind, std::vector<CNodePtr> children) {
    if (children.size() == 1) return children.front();
    auto node = std::make_shared<CNode>();
    node->kind = kind;
    node->children = std::move(children);
    return node;
  }

  CNodePtr ParseOr() {
    std::vector<CNodePtr> children{ParseAnd()};
    while (true) {
      SkipBlanks();
      if (AtEnd() || At(')')) break;
      Keyword("OR");  // juxtaposition means OR as well
      children.push_back(ParseAnd());
    }
    return Join(CNode::EKind::kOr, std::move(children));
  }

  CNodePtr ParseAnd() {
    std::vector<CNodePtr> children{ParseUnary()};
    while (Keyword("AND")) children.push_back(ParseUnary());
    return Join(CNode::EKind::kAnd, std::move(children));
  }

  CNodePtr ParseUnary() {
    if (!Keyword("NOT")) return ParsePrimary();
    auto node = std::make_shared<CNode>();
    node->kind = CNode::EKind::kNot;
    node->children.push_back(ParseUnary());
    return node;
  }

  CNodePtr ParsePrimary() {
    SkipBlanks();
    if (AtEnd()) return Fail("a search term is missing");
    if (At('(')) {
      ++pos_;
      CNodePtr inner = ParseOr();
      SkipBlanks();
      if (!At(')')) return Fail("')' expected");
      ++pos_;
      return inner;
    }
    if (Keyword("*") || Keyword("*:*")) return std::make_shared<CNode>();
    const size_t start = pos_;
    while (!AtEnd() && text_[pos_] != ':' && !Delimits(text_[pos_]) && !At('(')) ++pos_;
    const std::string field(text_.substr(start, pos_ - start));
    if (field.empty() || !At(':')) {
      return Fail("a search term names its field (field:value); free text is not simulated");
    }
    ++pos_;
    auto node = std::make_shared<CNode>();
    node->field = field;
    node->kind = CNode::EKind::kTerm;
    if (At('(')) {
      ++pos_;
      while (true) {
        SkipBlanks();
        if (At(')')) break;
        if (AtEnd()) return Fail("')' expected");
        if (Keyword("OR")) continue;
        if (Keyword("AND", false)) return Fail("only OR joins the values of one field");
        std::string value = ReadValue();
        if (value.empty()) return Fail("a value is missing in the parentheses");
        node->patterns.Add(value);
      }
      ++pos_;
      if (node->patterns.Empty()) return Fail("no value in the parentheses");
      return node;
    }
    if (At('[')) {
      ++pos_;
      node->kind = CNode::EKind::kRange;
      SkipBlanks();
      node->from = ReadValue();
      if (!Keyword("TO")) return Fail("TO expected in the range");
      SkipBlanks();
      node->to = ReadValue();
      SkipBlanks();
      if (!At(']')) return Fail("']' expected");
      ++pos_;
      return node;
    }
    const std::string value = ReadValue();
    if (value.empty()) return Fail("a value is missing after " + field + ":");
    node->patterns.Add(value);
    return node;
  }

  // A quoted phrase or a word up to a blank or a bracket; a backslash escapes the next byte.
  std::string ReadValue() {
    std::string value;
    const bool quoted = At('"');
    if (quoted) ++pos_;
    while (!AtEnd()) {
      const char c = text_[pos_];
      if (quoted ? c == '"' : Delimits(c)) break;
      if (c == '\\' && pos_ + 1 < text_.size()) ++pos_;
      value += text_[pos_++];
    }
    if (quoted && !At('"')) {
      Fail("unterminated quotation");
      return "";
    }
    if (quoted) ++pos_;
    return value;
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string error_;
};

bool NodeMatches(const CNode& node, const CJson& record) {
  switch (node.kind) {
    case CNode::EKind::kAll:
      return true;
    case CNode::EKind::kTerm:
      for (const CJson* value : FieldValues(record, node.field)) {
        if (node.patterns.Matches(*value)) return true;
      }
      return false;
    case CNode::EKind::kRange:
      for (const CJson* value : FieldValues(record, node.field)) {
        if (InRange(*value, node.from, node.to)) return true;
      }
      return false;
    case CNode::EKind::kAnd:
      for (const CNodePtr& child : node.children) {
        if (!NodeMatches(*child, record)) return false;
      }
      return true;
    case CNode::EKind::kOr:
      for (const CNodePtr& child : node.children) {
        if (NodeMatches(*child, record)) return true;
      }
      return false;
    case CNode::EKind::kNot:
      return !NodeMatches(*node.children.front(), record);
  }
  return false;
}

}  // namespace

std::vector<const CJson*> FieldValues(const CJson& record, const std::string& field) {
  std::vector<const CJson*> values;
  CollectPath(record, field, values);
  if (values.empty() && field.find('.') == std::string::npos) {
    CollectPath(record, "applicationMetaData." + field, values);
  }
  return values;
}

void COdpPatterns::Add(std::string_view pattern) {
  std::string key = MatchKey(pattern, true);
  if (key.find('*') == std::string::npos) {
    exact_.insert(std::move(key));
  } else {
    wildcards_.push_back(std::move(key));
  }
}

bool COdpPatterns::Matches(const CJson& value) const {
  const std::string key = MatchKey(value.Scalar(), false);
  if (exact_.count(key)) return true;
  for (const std::string& wildcard : wildcards_) {
    if (Wildcard(key, wildcard)) return true;
  }
  return false;
}

bool InRange(const CJson& value, const std::string& from, const std::string& to) {
  const std::string text = value.Scalar();
  if (text.empty()) return false;
  if (!from.empty() && from != "*" && CompareToBound(text, from, false) < 0) return false;
  if (!to.empty() && to != "*" && CompareToBound(text, to, true) > 0) return false;
  return true;
}

std::optional<COdpQuery> COdpQuery::Parse(std::string_view text, std::string& error) {
  COdpQuery query;
  query.root_ = CQueryParser(text).Parse(error);
  if (!query.root_) return std::nullopt;
  return query;
}

bool COdpQuery::Matches(const CJson& record) const { return NodeMatches(*root_, record); }

}  // namespace larkspire::sim
