// Memory per loaded entry: a generated data file of 100,000 entries is loaded into a list, and
// the growth of the process's peak resident size over the size before loading, divided by the
// entries, is printed. The file is written by a child process so that building it leaves no
// trace in this process's peak.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "SampleEntries.h"
#include "entries/DataFile.h"
#include "entries/EntryList.h"

namespace {

// A "VmRSS:" or "VmHWM:" line of /proc/self/status, in kilobytes.
long StatusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  char dir_template[] = "/tmp/larkspire-memory-XXXXXX";
  if (::mkdtemp(dir_template) == nullptr) return 1;
  const std::string path = std::string(dir_template) + "/patent.dat";

  const pid_t child = ::fork();
  if (child == 0) {
    larkspire::CEntryList list;
    list.InsertAll(larkspire::MakeSampleEntries(count));
    ::_exit(larkspire::SaveDataFile(path, list) ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) return 1;

  const long baseline = StatusKilobytes("VmRSS:");
  larkspire::CEntryList list;
  std::string error;
  const bool loaded = larkspire::LoadDataFile(path, list, error);
  const long peak = StatusKilobytes("VmHWM:");
  const long resident = StatusKilobytes("VmRSS:");
  std::remove(path.c_str());
  ::rmdir(dir_template);
  if (!loaded || list.Size() != static_cast<std::size_t>(count)) {
    std::fprintf(stderr, "load failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("entries: %d\n", count);
  std::printf("peak RSS growth per entry: %.0f bytes\n",
              (peak - baseline) * 1024.0 / static_cast<double>(count));
  std::printf("resident growth per entry after loading: %.0f bytes\n",
              (resident - baseline) * 1024.0 / static_cast<double>(count));
  return 0;
}
