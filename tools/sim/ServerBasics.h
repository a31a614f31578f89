// What the loopback test servers (the simulator and the benchmarks' SMTP sink) share: a
// listening socket on 127.0.0.1 and a stop on SIGTERM or SIGINT that a poll loop can wait for.
#pragma once

#include <string>

namespace larkspire::sim {

// A socket listening on 127.0.0.1:port (0 for a free one), with SOCK_CLOEXEC and the extra
// socket() flags (SOCK_NONBLOCK, say); bound_port is where it listens. -1 with error set when
// it cannot be had.
int ListenOnLoopback(int port, int extra_flags, int& bound_port, std::string& error);

// Makes SIGTERM and SIGINT readable on the returned descriptor (-1 when no pipe could be made)
// and ignores SIGPIPE, so a peer that went away is an error on the write, not the end.
int OpenStopSignal();
void CloseStopSignal();

}  // namespace larkspire::sim
