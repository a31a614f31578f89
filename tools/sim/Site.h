// The simulated sites behind the proxy: PAIR's pages for the simulated day, the publisher's
// downloads, and the control requests that move the day and set faults.
#pragma once

#include <atomic>
#include <string>

#include "Faults.h"
#include "Query.h"
#include "SimData.h"

namespace larkspire::sim {

struct CRequest {
  std::string method;  // GET or POST
  std::string host;    // from a proxy request's "//host/path", else the Host header
  std::string path;    // without the query
  CQuery params;       // the query string and the form body together (a JSON body stays out)
  CQuery headers;      // names as sent; QueryValue finds them without regard to case
  std::string body;
};

struct CResponse {
  int status = 200;
  std::string protocol = "HTTP/1.0";
  std::string server = "Apache/1.3.33 (Unix)";  // the Server header; "" sends none
  std::string content_type = "text/html";
  CQuery headers;  // any further header lines (Retry-After)
  std::string body;
  std::string kind;      // page kind faults are matched against; "" for control answers
  std::string app;       // digits of the application the page belongs to
  std::string required;  // text a truncated page is cut at
  std::string note;      // what the log line says about the answer
};

struct CSiteFiles {
  std::string rules;               // served as /support/larkspire.txt
  std::string program;             // /support/larkspire.exe
  std::string program_compressed;  // /support/larkspire.ex_
};

class CSite {
 public:
  CSite(const CSimData& data, int day, CSiteFiles files);

  CResponse Answer(const CRequest& request);
  CFaultTable& Faults() { return faults_; }
  const CSimData& Data() const { return data_; }
  int Day() const { return day_; }

 private:
  CResponse Control(const CRequest& request);
  CResponse Pair(const CRequest& request, int day);
  CResponse StatusSearch(const CRequest& request, int day);
  CResponse ApplicationPage(const std::string& kind, const std::string& number, int day);
  CResponse Download(const std::string& path, const std::string& content_type,
                     const std::string& kind) const;

  const CSimData& data_;
  std::atomic<int> day_;
  CFaultTable faults_;
  CSiteFiles files_;
};

CResponse NotFoundResponse(const std::string& path);
// "Not Found" for 404 and so on; "Error" for a status without a phrase here.
const char* ReasonPhrase(int status);

}  // namespace larkspire::sim
