// The simulator's applications and customer numbers, read from its data file.
//
// The file is plain text in blocks; see README.md beside this file for the full format. Each
// fact of an application may carry a leading date (yyyy-mm-dd) from which it holds, so that the
// simulated date decides which examiner, status, patent number or history the site shows.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire::sim {

// A fact without a leading date holds from the beginning of time.
inline constexpr int kAlways = -1000000;

struct CDatedLine {
  int from = kAlways;
  std::string value;
};

struct CSimCustomer {
  std::string number;
  std::string name;
  std::vector<std::string> address;  // lines of the correspondence address
};

struct CSimApplication {
  std::string app_num;  // nn/nnn,nnn
  std::string digits;   // the eight digits alone, as the site's addresses carry them
  int filed = 0;        // day number of the filing or 371(c) date
  std::map<std::string, std::vector<CDatedLine>, std::less<>> facts;  // in file order per key

  // The last line of the key holding on the day (the one with the latest date; of equal dates
  // the later line), or nullptr.
  const CDatedLine* Latest(std::string_view key, int day) const;
  // Every line of the key holding on the day, in file order.
  std::vector<CDatedLine> UpTo(std::string_view key, int day) const;
};

struct CSimData {
  int default_date = 0;  // 0: none given
  int page_size = 20;    // applications per result set of the customer-number search
  std::vector<CSimCustomer> customers;
  std::vector<CSimApplication> applications;
  // Indexes into `applications`, so that a file of ten thousand applications does not make
  // every continuity table a scan of all of them: by digits, and by the digits of a parent
  // that "parent: RELATION | NUMBER" lines name (each child once, in file order).
  std::map<std::string, size_t, std::less<>> by_digits;
  std::map<std::string, std::vector<size_t>, std::less<>> children_of;

  const CSimCustomer* FindCustomer(std::string_view number) const;
  const CSimApplication* FindApplication(std::string_view digits) const;
  // The applications naming `digits` as their parent, in file order.
  std::vector<const CSimApplication*> ChildrenOf(std::string_view digits) const;
};

// The parts of a "a | b | c" value, each trimmed of blanks.
std::vector<std::string> SplitCells(std::string_view text);

// Reads the data file; returns "" or a message naming the file and line of the first problem.
std::string LoadSimData(const std::string& path, CSimData& data);
std::string ParseSimData(std::string_view text, CSimData& data);

// The digits and letters of a number, letters upper-cased: "10/123,456" -> "10123456",
// "US 2004-0234567 A1" -> "US20040234567A1".
std::string NumberKey(std::string_view text);

}  // namespace larkspire::sim
