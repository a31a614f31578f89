// A fresh directory for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace larkspire {

class CTempDir {
 public:
  CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "larkspire-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    path_ = made ? made : "";
  }
  ~CTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace larkspire
