// Fetching the publisher's files (the rules, the program): the way that worked last first, then
// the other way when there is a proxy; the way that works is remembered for the run.
#pragma once

#include <string>

#include "net/HttpGet.h"

namespace larkspire {

class CRun;

std::string FetchFromPublisher(CRun& app, const std::string& url, bool size_only, std::string& body,
                               const CReceiveCap& cap = kPageCap);
// "from " and the host of an http:// address, for the busy display.
std::string PublisherCaption(const std::string& url);

}  // namespace larkspire
