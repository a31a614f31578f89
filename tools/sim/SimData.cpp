#include "SimData.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "SimDate.h"

namespace larkspire::sim {
namespace {

const std::set<std::string, std::less<>> kApplicationKeys = {
    "customer", "filed",    "confirmation", "docket",   "title",       "class",
    "examiner", "art-unit", "status",       "location", "publication", "patent",
    "pta",      "pte",      "event",        "foreign",  "parent"};

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return "";
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

bool IsApplicationNumber(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[6] != ',') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 2 && i != 6 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

// A value "yyyy-mm-dd rest" (or the date alone) becomes a dated line.
CDatedLine SplitDate(const std::string& value) {
  if (value.size() >= 10 && (value.size() == 10 || value[10] == ' ')) {
    if (auto day = ParseIsoDate(std::string_view(value).substr(0, 10))) {
      return {*day, value.size() > 10 ? Trim(std::string_view(value).substr(11)) : ""};
    }
  }
  return {kAlways, value};
}

class CParser {
 public:
  explicit CParser(CSimData& data) : data_(data) {}

  std::string Parse(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string raw;
    while (std::getline(in, raw)) {
      ++line_;
      const std::string line = Trim(raw);
      if (line.empty() || line[0] == '#') continue;
      std::string error = line[0] == '[' ? ReadHeader(line) : ReadFact(line);
      if (!error.empty()) return "line " + std::to_string(line_) + ": " + error;
    }
    return Check();
  }

 private:
  enum class Block { kNone, kSite, kCustomer, kApplication };

  std::string ReadHeader(const std::string& line) {
    if (line.back() != ']') return "a block header ends with ']'";
    const std::string inner = Trim(std::string_view(line).substr(1, line.size() - 2));
    const auto space = inner.find(' ');
    const std::string kind = inner.substr(0, space);
    const std::string name = space == std::string::npos ? "" : Trim(inner.substr(space + 1));
    if (kind == "site" && name.empty()) {
      block_ = Block::kSite;
      return "";
    }
    if (kind == "customer" && !name.empty()) {
      if (data_.FindCustomer(name)) return "customer number " + name + " appears twice";
      data_.customers.push_back({name, "", {}});
      block_ = Block::kCustomer;
      return "";
    }
    if (kind == "application" && IsApplicationNumber(name)) {
      if (data_.FindApplication(NumberKey(name))) return "application " + name + " appears twice";
      CSimApplication app;
      app.app_num = name;
      app.digits = NumberKey(name);
      data_.by_digits[app.digits] = data_.applications.size();
      data_.applications.push_back(app);
      app_lines_.push_back(line_);
      block_ = Block::kApplication;
      return "";
    }
    return "unknown block header " + line +
           " (expected [site], [customer NUMBER] or [application nn/nnn,nnn])";
  }

  std::string ReadFact(const std::string& line) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) return "expected 'key: value'";
    const std::string key = Trim(line.substr(0, colon));
    const std::string value = Trim(line.substr(colon + 1));
    switch (block_) {
      case Block::kNone:
        return "a fact before the first block";
      case Block::kSite:
        return ReadSiteFact(key, value);
      case Block::kCustomer:
        if (key == "name") {
          data_.customers.back().name = value;
        } else if (key == "address") {
          data_.customers.back().address.push_back(value);
        } else {
          return "unknown customer key '" + key + "'";
        }
        return "";
      case Block::kApplication:
        return ReadApplicationFact(key, value);
    }
    return "";
  }

  std::string ReadSiteFact(const std::string& key, const std::string& value) {
    if (key == "date") {
      auto day = ParseIsoDate(value);
      if (!day) return "date must be yyyy-mm-dd";
      data_.default_date = *day;
    } else if (key == "page-size") {
      const int size = std::atoi(value.c_str());
      if (size < 1) return "page-size must be a positive number";
      data_.page_size = size;
    } else {
      return "unknown site key '" + key + "'";
    }
    return "";
  }

  std::string ReadApplicationFact(const std::string& key, const std::string& value) {
    if (!kApplicationKeys.count(key)) return "unknown application key '" + key + "'";
    CSimApplication& app = data_.applications.back();
    CDatedLine dated = SplitDate(value);
    if (key == "filed") {
      if (dated.from == kAlways || !dated.value.empty()) return "filed must be yyyy-mm-dd";
      app.filed = dated.from;
      return "";
    }
    if (key == "pte" && !dated.value.empty()) {
      return "pte takes only the date from which the site shows it";
    }
    if (key == "pta" &&
        (dated.value.find_first_not_of("0123456789") != std::string::npos || value.empty())) {
      return "pta: DATE [DAYS] (the date from which the site shows it, the days adjusted)";
    }
    if (key == "parent") {
      const size_t cells = std::count(value.begin(), value.end(), '|') + 1;
      if (cells != 2 && cells != 4 && cells != 5) {
        return "parent: RELATION | NUMBER [| FILED | STATUS [| PATENT]]";
      }
    }
    app.facts[key].push_back(std::move(dated));
    return "";
  }

  std::string Check() {
    for (size_t i = 0; i < data_.applications.size(); ++i) {
      const CSimApplication& app = data_.applications[i];
      const std::string where =
          "application " + app.app_num + " (line " + std::to_string(app_lines_[i]) + "): ";
      if (app.filed == 0) return where + "no 'filed' date";
      const auto customer = app.facts.find("customer");
      if (customer == app.facts.end()) return where + "no 'customer'";
      for (const CDatedLine& line : customer->second) {
        if (!data_.FindCustomer(line.value)) return where + "unknown customer " + line.value;
      }
    }
    IndexChildren();
    return "";
  }

  void IndexChildren() {
    for (size_t i = 0; i < data_.applications.size(); ++i) {
      const auto parents = data_.applications[i].facts.find("parent");
      if (parents == data_.applications[i].facts.end()) continue;
      for (const CDatedLine& line : parents->second) {
        const std::vector<std::string> cells = SplitCells(line.value);
        if (cells.size() != 2) continue;
        std::vector<size_t>& children = data_.children_of[NumberKey(cells[1])];
        if (children.empty() || children.back() != i) children.push_back(i);
      }
    }
  }

  CSimData& data_;
  Block block_ = Block::kNone;
  int line_ = 0;
  std::vector<int> app_lines_;
};

}  // namespace

const CDatedLine* CSimApplication::Latest(std::string_view key, int day) const {
  const auto found = facts.find(key);
  if (found == facts.end()) return nullptr;
  const CDatedLine* best = nullptr;
  for (const CDatedLine& line : found->second) {
    if (line.from <= day && (!best || line.from >= best->from)) best = &line;
  }
  return best;
}

std::vector<CDatedLine> CSimApplication::UpTo(std::string_view key, int day) const {
  std::vector<CDatedLine> lines;
  const auto found = facts.find(key);
  if (found == facts.end()) return lines;
  for (const CDatedLine& line : found->second) {
    if (line.from <= day) lines.push_back(line);
  }
  return lines;
}

const CSimCustomer* CSimData::FindCustomer(std::string_view number) const {
  for (const CSimCustomer& customer : customers) {
    if (customer.number == number) return &customer;
  }
  return nullptr;
}

const CSimApplication* CSimData::FindApplication(std::string_view digits) const {
  const auto found = by_digits.find(digits);
  return found == by_digits.end() ? nullptr : &applications[found->second];
}

std::vector<const CSimApplication*> CSimData::ChildrenOf(std::string_view digits) const {
  std::vector<const CSimApplication*> children;
  const auto found = children_of.find(digits);
  if (found == children_of.end()) return children;
  for (size_t index : found->second) children.push_back(&applications[index]);
  return children;
}

std::vector<std::string> SplitCells(std::string_view text) {
  std::vector<std::string> cells;
  while (true) {
    const size_t bar = text.find('|');
    std::string_view cell = text.substr(0, bar);
    const size_t first = cell.find_first_not_of(' ');
    const size_t last = cell.find_last_not_of(' ');
    cells.emplace_back(first == std::string_view::npos ? "" : cell.substr(first, last - first + 1));
    if (bar == std::string_view::npos) return cells;
    text.remove_prefix(bar + 1);
  }
}

std::string NumberKey(std::string_view text) {
  std::string key;
  for (char c : text) {
    if (c >= '0' && c <= '9') key += c;
    if (c >= 'a' && c <= 'z') key += static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') key += c;
  }
  return key;
}

std::string ParseSimData(std::string_view text, CSimData& data) {
  return CParser(data).Parse(text);
}

std::string LoadSimData(const std::string& path, CSimData& data) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return path + ": cannot read the file";
  std::ostringstream text;
  text << file.rdbuf();
  const std::string error = ParseSimData(text.str(), data);
  return error.empty() ? "" : path + ": " + error;
}

}  // namespace larkspire::sim
