#include "docket/DocketFile.h"

namespace larkspire {

std::string LoadDocket(const std::string&, CDocket&) { return {}; }
std::string FormatDocket(const CDocket&) { return {}; }
std::string ParseDocket(std::string_view, CDocket&) { return {}; }
std::string SaveDocket(const std::string&, const CDocket&) { return {}; }

}  // namespace larkspire
