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
};

// Returns "" or the reason the command line is wrong.
std::string ParseOptions(int argc, char** argv, CSimOptions& options);
std::string HelpText();

}  // namespace larkspire::sim
