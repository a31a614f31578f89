// The web sites the program links to: the publisher's product page and the maker's home page
// (About box, Help menu, the Internet shortcuts of the installation).
#pragma once

#include "notify/Variables.h"

namespace larkspire {

inline constexpr const char* kPublisherSiteName = "Larkspire Web Site";
inline constexpr const char* kPublisherSiteAddress = kProductPageAddress;
inline constexpr const char* kMakerSiteName = "Calverin Web Site";
inline constexpr const char* kMakerSiteAddress = "http://www.calverin.example/";

}  // namespace larkspire
