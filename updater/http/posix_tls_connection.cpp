#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "http/buffered_connection.h"
#include "http/ca_file_text.h"
#include "http/http_client.h"
#include "http/tls_connection.h"
#include "updater_context.h"
#include "updater_system.h"

namespace {

// What OpenSSL's queue says about the last failure, in its words.
std::string OpenSslReason(const char* fallback) {
  const unsigned long error = ERR_peek_last_error();
  const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
  ERR_clear_error();
  return reason ? reason : fallback;
}

// A host written as an IPv4 address: only digits and dots, four numbers.
bool AsAddress(const std::string& host, unsigned char bytes[4]) {
  if (host.find_first_not_of("0123456789.") != std::string::npos) return false;
  const IpAddress address = ParseIpAddress(host.c_str());
  if (address == 0) return false;
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(address >> (24 - 8 * i));
  return true;
}

int32_t VerifyFailureCode(long verify) {
  switch (verify) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return RESULT_TLS_NOT_IN_TIME;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return RESULT_TLS_NAME_MISMATCH;
    default:
      return RESULT_TLS_NOT_TRUSTED;
  }
}

// Every certificate of a PEM file, as the only trusted roots. Null with
// *reason set when the file cannot be read or holds none.
X509_STORE* LoadCaFile(const std::string& path, std::string* reason) {
  std::string text;
  if (!ReadCaFileText(path, &text, reason)) return nullptr;
  BIO* memory = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
  X509_STORE* store = memory ? X509_STORE_new() : nullptr;
  int certificates = 0;
  while (store) {
    X509* certificate = PEM_read_bio_X509(memory, nullptr, nullptr, nullptr);
    if (!certificate) break;
    if (X509_STORE_add_cert(store, certificate) == 1) ++certificates;
    X509_free(certificate);
  }
  BIO_free(memory);
  ERR_clear_error();
  if (certificates == 0) {
    X509_STORE_free(store);
    *reason = "the CA file holds no certificate (" + path + ")";
    return nullptr;
  }
  return store;
}

class TPosixTlsConnection final : public TTlsConnection {
 public:
  explicit TPosixTlsConnection(std::unique_ptr<IConnection> inner) : inner_(std::move(inner)) {}

  ~TPosixTlsConnection() override {
    // One try at a close_notify, without waiting for the peer's.
    if (ssl_ && established_ && !failed_) SSL_shutdown(ssl_);
    SSL_free(ssl_);
    SSL_CTX_free(context_);
  }

  bool Setup(const TTlsSettings& settings, std::string* reason);

  TResult Handshake() override;
  std::string GetFailureReason() const override { return reason_; }

  int32_t Send(const void* data, uint32_t length) override;
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return inner_->GetPeerAddress(); }
  int32_t GetState() override { return failed_ || closed_ ? CONNECTION_CLOSED : inner_->GetState(); }
  TResult GetLastResult() override { return failed_ || closed_ ? failure_ : inner_->GetLastResult(); }
  bool WaitUntilReady(TConnectionWait what, uint32_t milliseconds) override;

 private:
  static BIO_METHOD* InnerMethod();
  static int BioWrite(BIO* bio, const char* data, int length);
  static int BioRead(BIO* bio, char* buffer, int size);
  static long BioControl(BIO* bio, int command, long number, void* pointer);

  // What an operation that did not complete waits for; false when it failed.
  bool NoteWait(int returned, TConnectionWait* need);
  // The reason of a failure that no certificate check gave.
  std::string TransportReason(const char* fallback);
  void Fail(const TResult& result, std::string reason);

  std::unique_ptr<IConnection> inner_;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  bool established_ = false;
  bool closed_ = false;  // the peer's close_notify came
  bool failed_ = false;
  bool innerEnded_ = false;   // the connection inside ended without close_notify
  bool innerFailed_ = false;  // the connection inside failed
  // Whether the last receive found nothing: until then bytes that OpenSSL
  // read ahead may hold a whole record, which no wait on the socket sees.
  bool receiveStarved_ = false;
  TConnectionWait readNeeds_ = TConnectionWait::Receive;
  TConnectionWait writeNeeds_ = TConnectionWait::Send;
  TResult failure_;
  std::string reason_;
};

BIO_METHOD* TPosixTlsConnection::InnerMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tavo connection");
    if (made) {
      BIO_meth_set_write(made, BioWrite);
      BIO_meth_set_read(made, BioRead);
      BIO_meth_set_ctrl(made, BioControl);
    }
    return made;
  }();
  return method;
}

int TPosixTlsConnection::BioWrite(BIO* bio, const char* data, int length) {
  auto* self = static_cast<TPosixTlsConnection*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  const int32_t sent = self->inner_->Send(data, static_cast<uint32_t>(length));
  if (sent > 0) return sent;
  if (sent == 0) {
    BIO_set_retry_write(bio);
  } else {
    self->innerFailed_ = true;
  }
  return -1;
}

int TPosixTlsConnection::BioRead(BIO* bio, char* buffer, int size) {
  auto* self = static_cast<TPosixTlsConnection*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  const int32_t received = self->inner_->Receive(buffer, static_cast<uint32_t>(size));
  if (received > 0) return received;
  if (received == 0) {
    BIO_set_retry_read(bio);
    return -1;
  }
  if (received == -2) {
    self->innerEnded_ = true;
    return 0;
  }
  self->innerFailed_ = true;
  return -1;
}

long TPosixTlsConnection::BioControl(BIO*, int command, long, void*) {
  // Records go out as they are written: there is nothing to flush.
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

bool TPosixTlsConnection::Setup(const TTlsSettings& settings, std::string* reason) {
  if (settings.serverName.empty()) {
    *reason = "no server name to check the certificate against";
    return false;
  }
  context_ = SSL_CTX_new(TLS_client_method());
  if (!context_) {
    *reason = OpenSslReason("no TLS context");
    return false;
  }
  SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  SSL_CTX_set_mode(context_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // Whole records and more per read: one socket call instead of two each.
  SSL_CTX_set_read_ahead(context_, 1);
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  if (settings.caFile.empty()) {
    if (SSL_CTX_set_default_verify_paths(context_) != 1) {
      *reason = OpenSslReason("the system's trusted roots cannot be read");
      return false;
    }
  } else {
    X509_STORE* store = LoadCaFile(settings.caFile, reason);
    if (!store) return false;
    SSL_CTX_set_cert_store(context_, store);
  }

  ssl_ = SSL_new(context_);
  BIO_METHOD* method = InnerMethod();
  BIO* bio = ssl_ && method ? BIO_new(method) : nullptr;
  if (!bio) {
    *reason = OpenSslReason("no TLS session");
    return false;
  }
  BIO_set_data(bio, this);
  BIO_set_init(bio, 1);
  SSL_set_bio(ssl_, bio, bio);

  unsigned char address[4];
  bool named;
  if (AsAddress(settings.serverName, address)) {
    named = X509_VERIFY_PARAM_set1_ip(SSL_get0_param(ssl_), address, sizeof address) == 1;
  } else {
    SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    named = SSL_set_tlsext_host_name(ssl_, settings.serverName.c_str()) == 1 &&
            SSL_set1_host(ssl_, settings.serverName.c_str()) == 1;
  }
  if (!named) {
    *reason = OpenSslReason("the server name cannot be checked");
    return false;
  }
  SSL_set_connect_state(ssl_);
  return true;
}

TResult TPosixTlsConnection::Handshake() {
  if (established_) return TResult();
  if (failed_) return failure_;
  ERR_clear_error();
  const int returned = SSL_do_handshake(ssl_);
  if (returned == 1) {
    established_ = true;
    return TResult();
  }
  TConnectionWait need = TConnectionWait::Receive;
  if (NoteWait(returned, &need)) {
    readNeeds_ = writeNeeds_ = need;
    return TResult(RESULT_HTTP_PENDING);
  }
  const long verify = SSL_get_verify_result(ssl_);
  if (verify != X509_V_OK) {
    ERR_clear_error();
    Fail(TResult(VerifyFailureCode(verify)), X509_verify_cert_error_string(verify));
  } else {
    Fail(TResult(RESULT_TLS_HANDSHAKE_FAILED), TransportReason("the handshake failed"));
  }
  return failure_;
}

bool TPosixTlsConnection::NoteWait(int returned, TConnectionWait* need) {
  switch (SSL_get_error(ssl_, returned)) {
    case SSL_ERROR_WANT_READ:
      *need = TConnectionWait::Receive;
      return true;
    case SSL_ERROR_WANT_WRITE:
      *need = TConnectionWait::Send;
      return true;
    default:
      return false;
  }
}

std::string TPosixTlsConnection::TransportReason(const char* fallback) {
  if (innerFailed_) {
    ERR_clear_error();
    return "the connection failed";
  }
  if (innerEnded_) {
    ERR_clear_error();
    return "the server closed the connection without close_notify";
  }
  return OpenSslReason(fallback);
}

void TPosixTlsConnection::Fail(const TResult& result, std::string reason) {
  failed_ = true;
  failure_ = result;
  reason_ = std::move(reason);
}

int32_t TPosixTlsConnection::Send(const void* data, uint32_t length) {
  if (failed_ || closed_) return -1;
  if (!established_) {
    const TResult handshake = Handshake();
    if (!handshake.Succeeded()) return handshake.GetCode() == RESULT_HTTP_PENDING ? 0 : -1;
  }
  if (length == 0) return 0;
  ERR_clear_error();
  size_t written = 0;
  const int returned = SSL_write_ex(ssl_, data, length, &written);
  if (returned == 1) return static_cast<int32_t>(written);
  if (NoteWait(returned, &writeNeeds_)) return 0;
  Fail(innerFailed_ ? inner_->GetLastResult() : TResult(RESULT_SOCKET_IO_ERROR), TransportReason("sending failed"));
  return -1;
}

int32_t TPosixTlsConnection::Receive(void* buffer, uint32_t size) {
  if (closed_) return -2;
  if (failed_) return -3;
  if (!established_) {
    const TResult handshake = Handshake();
    if (!handshake.Succeeded()) return handshake.GetCode() == RESULT_HTTP_PENDING ? 0 : -3;
  }
  if (size == 0) return 0;
  ERR_clear_error();
  size_t read = 0;
  const int returned = SSL_read_ex(ssl_, buffer, size, &read);
  receiveStarved_ = returned != 1;
  if (returned == 1) return static_cast<int32_t>(read);
  if (SSL_get_error(ssl_, returned) == SSL_ERROR_ZERO_RETURN) {
    ERR_clear_error();
    closed_ = true;
    failure_ = TResult(RESULT_SOCKET_CLOSED_BY_PEER);
    return -2;
  }
  if (NoteWait(returned, &readNeeds_)) return 0;
  Fail(innerFailed_ ? inner_->GetLastResult() : TResult(RESULT_SOCKET_IO_ERROR), TransportReason("receiving failed"));
  return -3;
}

bool TPosixTlsConnection::WaitUntilReady(TConnectionWait what, uint32_t milliseconds) {
  if (failed_ || closed_) return true;
  TConnectionWait need = what == TConnectionWait::Send ? writeNeeds_ : readNeeds_;
  if (established_ && what == TConnectionWait::Receive && (!receiveStarved_ || SSL_pending(ssl_) > 0)) return true;
  if (!established_) need = readNeeds_;
  return AwaitConnection(*ProcessUpdaterContext().system, *inner_, need, milliseconds);
}

}  // namespace

std::unique_ptr<TTlsConnection> NewTlsConnection(std::unique_ptr<IConnection> inner, const TTlsSettings& settings,
                                                 TResult* result, std::string* reason) {
  auto connection = std::make_unique<TPosixTlsConnection>(std::move(inner));
  if (!connection->Setup(settings, reason)) {
    *result = TResult(RESULT_TLS_UNAVAILABLE);
    return nullptr;
  }
  *result = TResult();
  return connection;
}
