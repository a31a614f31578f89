// One benchmark sink session on its accepted socket, served to its end on the calling thread
// with blocking I/O, plain or after STARTTLS over OpenSSL.
#pragma once

#include <openssl/ssl.h>

namespace larkspire::bench_sink {

class CMailStore;

// Greets, then hands every complete line read to the session and writes all the replies to
// what was read in one go once no whole line is left (a pipelining client sends a
// transaction's commands together and then waits for all their replies). `tls` is null when
// the sink offers no STARTTLS. Returns when the session ends or the socket is shut down; the
// caller closes fd.
void ServeConnection(int fd, SSL_CTX* tls, CMailStore& store);

}  // namespace larkspire::bench_sink
