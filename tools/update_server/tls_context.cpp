#include "tls_context.h"
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace {

int ProtocolVersion(const std::string& text) {
  if (text == "1.0") return TLS1_VERSION;
  if (text == "1.1") return TLS1_1_VERSION;
  if (text == "1.2") return TLS1_2_VERSION;
  return TLS1_3_VERSION;
}

bool SetUp(SSL_CTX& context, const TServerOptions& options) {
  if (SSL_CTX_use_certificate_chain_file(&context, options.tlsCertificate.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(&context, options.tlsKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(&context) != 1) {
    return false;
  }
  SSL_CTX_set_min_proto_version(&context, TLS1_VERSION);
  int highest = options.tlsMaxVersion.empty() ? 0 : ProtocolVersion(options.tlsMaxVersion);
  if (!options.tlsCiphers.empty()) {
    if (SSL_CTX_set_cipher_list(&context, options.tlsCiphers.c_str()) != 1) return false;
    if (highest == 0 || highest > TLS1_2_VERSION) highest = TLS1_2_VERSION;
  }
  // OpenSSL 3 refuses versions below 1.2 above security level 0.
  if (highest != 0 && highest < TLS1_2_VERSION) {
    SSL_CTX_set_security_level(&context, 0);
    if (options.tlsCiphers.empty() && SSL_CTX_set_cipher_list(&context, "DEFAULT:@SECLEVEL=0") != 1) return false;
  }
  return SSL_CTX_set_max_proto_version(&context, highest) == 1;
}

}  // namespace

std::unique_ptr<httplib::Server> MakeHttpServer(const TServerOptions& options, std::string* error) {
  if (options.tlsCertificate.empty()) return std::make_unique<httplib::Server>();
  auto server = std::make_unique<httplib::SSLServer>([&options](SSL_CTX& context) { return SetUp(context, options); });
  if (!server->is_valid()) {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    *error = "cannot serve TLS with " + options.tlsCertificate + " and " + options.tlsKey +
             (reason ? std::string(": ") + reason : std::string());
    return nullptr;
  }
  // As TLS servers do: the session tickets sent after the handshake would
  // otherwise hold the answer back until the client's delayed ACK.
  server->set_tcp_nodelay(true);
  return server;
}
