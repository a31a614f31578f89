// HTTP for the retrieval commands: the run's proxy setting and its time-out (re-read from the
// setting unless a download fixed its own).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/HttpGet.h"

namespace larkspire {

class CRun;

std::string FetchPages(CRun& app, const std::vector<std::string>& urls, uint32_t direct_mask,
                       uint32_t size_only_mask, std::vector<std::string>& pages);
// The same requests, started now and waited for by the result's Finish.
std::unique_ptr<CStartedHttpGet> StartFetchingPages(CRun& app,
                                                    const std::vector<std::string>& urls);
// The cap is the most the body may hold: a page's unless a download says otherwise.
std::string FetchPage(CRun& app, const std::string& url, bool direct, bool size_only,
                      std::string& page, const CReceiveCap& cap = kPageCap);

}  // namespace larkspire
