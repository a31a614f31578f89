#include "TlsContext.h"

#include <openssl/err.h>

namespace larkspire::sim {
namespace {

std::string LastError(const std::string& what) {
  char text[256] = "unknown error";
  if (const unsigned long code = ERR_get_error()) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return what + ": " + text;
}

}  // namespace

CTlsContext::~CTlsContext() {
  if (context_) SSL_CTX_free(context_);
}

std::string CTlsContext::Load(const std::string& certificate_path, const std::string& key_path) {
  context_ = SSL_CTX_new(TLS_server_method());
  if (!context_) return LastError("cannot set up TLS");
  SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  SSL_CTX_set_mode(context_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (SSL_CTX_use_certificate_chain_file(context_, certificate_path.c_str()) != 1) {
    return LastError(certificate_path);
  }
  if (SSL_CTX_use_PrivateKey_file(context_, key_path.c_str(), SSL_FILETYPE_PEM) != 1) {
    return LastError(key_path);
  }
  if (SSL_CTX_check_private_key(context_) != 1) {
    return LastError(key_path + " does not belong to " + certificate_path);
  }
  return "";
}

}  // namespace larkspire::sim
