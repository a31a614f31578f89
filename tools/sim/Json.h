// The JSON the simulated Open Data Portal answers with. Only built and written here; request
// bodies are read with simdjson. Objects keep their keys in the order they were set, as the
// service's answers do, and strings hold the data file's Windows-1252 bytes until written.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace larkspire::sim {

class CJson {
 public:
  enum class EKind { kNull, kInteger, kString, kArray, kObject };

  CJson() = default;  // null
  static CJson Integer(long long value);
  static CJson String(std::string value);
  static CJson Array();
  static CJson Object();

  EKind Kind() const { return kind_; }
  bool IsEmpty() const;  // an empty array or object
  // The text of a string, or the decimal digits of an integer; "" for anything else.
  std::string Scalar() const;

  // Objects: Set replaces the value of a key already present (keeping its place) or appends.
  CJson& Set(std::string_view key, CJson value);
  const CJson* Find(std::string_view key) const;
  const std::vector<std::pair<std::string, CJson>>& Members() const { return members_; }
  // Renames the key wherever it occurs, at any depth.
  void RenameKey(std::string_view from, std::string_view to);

  // Arrays.
  void Push(CJson value);
  const std::vector<CJson>& Items() const { return items_; }

  // Written with two-blank indentation, strings as UTF-8.
  std::string Dump() const;

 private:
  void DumpTo(std::string& out, int depth) const;

  EKind kind_ = EKind::kNull;
  long long integer_ = 0;
  std::string text_;
  std::vector<CJson> items_;
  std::vector<std::pair<std::string, CJson>> members_;
};

// Every value a dotted path ("applicationMetaData.customerNumber", "eventDataBag.eventDate")
// reaches from `root`; an array on the way stands for each of its elements.
void CollectPath(const CJson& root, std::string_view path, std::vector<const CJson*>& values);

// The parts of an object the dotted paths name, in the object's own order; a path that names a
// whole member keeps all of it. An array on the way is narrowed element by element.
CJson SelectPaths(const CJson& value, const std::vector<std::string>& paths);

}  // namespace larkspire::sim
