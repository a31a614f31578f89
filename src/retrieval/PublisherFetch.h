// Fetching the publisher's files (the rules, the program): the way that worked last first, then
// the other way when there is a proxy; the way that works is remembered for the run.
#pragma once

#include <string>
#include <string_view>

#include "net/HttpGet.h"
#include "retrieval/PublisherManifest.h"

namespace larkspire {

class CRun;

std::string FetchFromPublisher(CRun& app, const std::string& url, bool size_only, std::string& body,
                               const CReceiveCap& cap = kPageCap);

// A file of the publisher with the manifest that vouches for it.
struct CSignedFile {
  std::string bytes;
  std::string manifest_text;
  PublisherManifest manifest;
};

enum class SignedFetch {
  kTaken,    // the file is the publisher's and newer than the one in use
  kFailed,   // a transfer failed; the reason is its error text
  kCurrent,  // the publisher offers the version in use; the file was not fetched
  kRefused,  // the manifest or the file did not pass; the reason says why (a phrase)
};

// The manifest first (url + ".manifest"), checked and compared with the version in use, then,
// only when it offers a newer version, is made for url's file name and has not expired, the
// file itself (within cap), checked against it. Each
// transfer goes the way FetchFromPublisher goes. file is filled only when the result is kTaken.
SignedFetch FetchSignedFromPublisher(CRun& app, const std::string& url, std::string_view kind,
                                     std::string_view version_in_use, bool size_only,
                                     CSignedFile& file, std::string& reason,
                                     const CReceiveCap& cap = kPageCap);

// "from " and the host of an http:// or https:// address, for the busy display.
std::string PublisherCaption(const std::string& url);

}  // namespace larkspire
