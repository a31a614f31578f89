// The simulator's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace larkspire::sim {

struct CSimOptions {
  int port = 8080;
  std::string data_path;  // empty: the demo data beside the sources
  std::optional<std::string> date;
  std::string rules_path;
  std::string program_path;
  std::string program_compressed_path;
  std::vector<std::string> faults;
  std::string write_pages_dir;
  bool help = false;
  // The Open Data Portal, served over TLS when a port is given.
  std::optional<int> odp_port;
  std::string tls_cert_path;
  std::string tls_key_path;
  std::vector<std::string> odp_keys;
  std::vector<std::string> odp_inactive_keys;
  int odp_rate = 0;
  bool odp_old_names = false;
  int odp_search_cap = 10000;
};

// Returns "" or the reason the command line is wrong.
std::string ParseOptions(int argc, char** argv, CSimOptions& options);
std::string HelpText();

}  // namespace larkspire::sim
