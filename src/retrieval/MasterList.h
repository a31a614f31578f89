// The pages of the master-list import: the customer-number search page, the first result page
// of each customer number (how many result sets it has) and each result set's table.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace larkspire {

class CRun;
class CEntry;

// Far more result sets than any customer number has (each holds dozens of applications). A
// larger count cannot be real: the page is taken as damaged rather than read as that many.
inline constexpr int kMaxResultSets = 10000;
inline constexpr const char* kDamagedCountMessage =
    "The master list page is damaged: it counts more than 10,000 result sets.";

// -1 the customer-number page, 0 the first result page, any other value a later result set.
// MasterListCookie and MasterListIndex must be set on the CRun before the lookup.
std::string MasterListUrl(CRun& app, int page_index);
std::string ReadCustomerNumbers(CRun& app, const std::string& page,
                                std::vector<std::string>& numbers);
// A count above kMaxResultSets gives kDamagedCountMessage.
std::string ReadMasterListCount(CRun& app, const std::string& page,
                                const std::string& customer_number, int& count);
// Each row that names a valid application number is handed to add_entry (with the add flags
// the caller chose); a non-empty error text from it stops the page.
using AddEntryFunction = std::function<std::string(CEntry entry)>;
std::string ReadMasterListTable(CRun& app, const std::string& page,
                                const AddEntryFunction& add_entry);

}  // namespace larkspire
