// larkspire-bench-sink: the benchmarks' SMTP server on 127.0.0.1. It must cost far less per
// message than the program a benchmark measures, so it does nothing a sink does not need: a
// thread per session, blocking I/O, no logging per command. Each message is stored as
// tools/smtp/smtp_sink.py (the tests' server) stores it.
//
//   larkspire-bench-sink --out DIR [--port N] [--tls-cert FILE --tls-key FILE]
//
// Prints "listening on 127.0.0.1:PORT" as its first line; runs until SIGTERM or SIGINT.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "MailStore.h"
#include "SinkServer.h"
#include "sim/ServerBasics.h"
#include "sim/TlsContext.h"

namespace {

constexpr const char* kUsage =
    "usage: larkspire-bench-sink --out DIR [--port N] [--tls-cert FILE --tls-key FILE]\n"
    "  --out DIR        where each message goes as a numbered file (created if missing)\n"
    "  --port N         the port on 127.0.0.1 (0, the default, picks a free one)\n"
    "  --tls-cert FILE  PEM certificate (chain) for STARTTLS, with --tls-key\n"
    "  --tls-key FILE   PEM private key of --tls-cert\n";

struct COptions {
  std::string out;
  int port = 0;
  std::string tls_cert;
  std::string tls_key;
  bool help = false;
};

// Returns "" or what is wrong with the command line.
std::string ParseOptions(int argc, char** argv, COptions& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return "";
    }
    std::string value;
    if (const size_t equals = name.find('='); equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      return std::string(name) + " needs a value";
    }
    if (name == "--out") {
      options.out = value;
    } else if (name == "--tls-cert") {
      options.tls_cert = value;
    } else if (name == "--tls-key") {
      options.tls_key = value;
    } else if (name == "--port") {
      char* end = nullptr;
      const long port = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end || port < 0 || port > 65535) return "bad --port " + value;
      options.port = static_cast<int>(port);
    } else {
      return "unknown option " + std::string(name);
    }
  }
  if (options.out.empty()) return "--out is required";
  if (options.tls_cert.empty() != options.tls_key.empty()) {
    return "--tls-cert and --tls-key go together";
  }
  return "";
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "larkspire-bench-sink: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace larkspire::bench_sink;
  COptions options;
  if (const std::string error = ParseOptions(argc, argv, options); !error.empty()) {
    std::fputs(kUsage, stderr);
    return Fail(error);
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (error) return Fail("cannot create " + options.out + ": " + error.message());

  larkspire::sim::CTlsContext tls;
  if (!options.tls_cert.empty()) {
    if (const std::string problem = tls.Load(options.tls_cert, options.tls_key); !problem.empty()) {
      return Fail(problem);
    }
  }

  const int stop_fd = larkspire::sim::OpenStopSignal();
  if (stop_fd < 0) return Fail("cannot create a pipe");

  CMailStore store(options.out);
  CSinkServer server(store, tls.Get());
  if (const std::string problem = server.Listen(options.port); !problem.empty()) {
    return Fail(problem);
  }
  std::printf("listening on 127.0.0.1:%d\n", server.Port());
  std::fflush(stdout);
  server.Serve(stop_fd);
  larkspire::sim::CloseStopSignal();
  return 0;
}
