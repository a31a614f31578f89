// The docket's own file in the logging directory, beside patent.dat: a version line, then one
// line per deadline of TAB-separated fields, each escaped so that no value can break a line.
#pragma once

#include <string>
#include <string_view>

#include "docket/Docket.h"

namespace larkspire {

inline constexpr const char* kDocketFileName = "docket.dat";
inline constexpr std::string_view kDocketFileHeader = "Larkspire docket 1";
// The same with a fifteenth field, a deadline's UID where it is not the one its fields make
// (its entry was keyed anew since): written only when a deadline has such a UID, so that a
// docket without one keeps the first format, which earlier versions read.
inline constexpr std::string_view kDocketFileHeaderWithUids = "Larkspire docket 2";

// Reads the file into the docket. "" when it was read, or when there is no file (the docket is
// then empty); otherwise a message naming the file and what is wrong with it, and the docket is
// left as it was.
std::string LoadDocket(const std::string& path, CDocket& docket);
// The file's bytes, and reading them back ("" or what is wrong, without the file's name).
std::string FormatDocket(const CDocket& docket);
std::string ParseDocket(std::string_view bytes, CDocket& docket);
// Replaces the file atomically (temporary, fsync, rename). "" when saved, else a message naming
// the file and the reason; the file then keeps what it held.
std::string SaveDocket(const std::string& path, const CDocket& docket);

}  // namespace larkspire
