#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "http/http_client.h"
#include "http/tls_connection.h"

namespace {

// One direction of an in-memory link.
struct TPipe {
  std::deque<char> bytes;
  bool ended = false;
};

// The client's end of the link: it takes and hands out at most a few bytes
// a call, and every other send finds no room, as a busy socket would.
class TStingyConnection : public IConnection {
 public:
  TStingyConnection(TPipe& in, TPipe& out) : in_(in), out_(out) {}
  int32_t Send(const void* data, uint32_t length) override {
    if ((refuse_ = !refuse_)) return 0;
    const uint32_t count = std::min<uint32_t>(length, kPiece);
    out_.bytes.insert(out_.bytes.end(), static_cast<const char*>(data), static_cast<const char*>(data) + count);
    return static_cast<int32_t>(count);
  }
  int32_t Receive(void* buffer, uint32_t size) override {
    if (in_.bytes.empty()) return in_.ended ? -2 : 0;
    const uint32_t count = std::min<uint32_t>({size, kPiece, static_cast<uint32_t>(in_.bytes.size())});
    std::copy_n(in_.bytes.begin(), count, static_cast<char*>(buffer));
    in_.bytes.erase(in_.bytes.begin(), in_.bytes.begin() + count);
    return static_cast<int32_t>(count);
  }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }

 private:
  static constexpr uint32_t kPiece = 700;
  TPipe& in_;
  TPipe& out_;
  bool refuse_ = false;
};

// A server for "localhost" with a self-signed certificate, which the client
// is given as its only trusted root; OpenSSL on memory BIOs.
class TlsConnectionTest : public testing::Test {
 protected:
  void SetUp() override {
    key_ = EVP_EC_gen("P-256");
    certificate_ = X509_new();
    ASSERT_TRUE(key_ && certificate_);
    X509_set_version(certificate_, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate_), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate_), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate_), 86400);
    X509_NAME* name = X509_get_subject_name(certificate_);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(certificate_, name);
    X509_set_pubkey(certificate_, key_);
    X509_EXTENSION* names = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, "DNS:localhost");
    X509_add_ext(certificate_, names, -1);
    X509_EXTENSION_free(names);
    ASSERT_GT(X509_sign(certificate_, key_, EVP_sha256()), 0);

    caFile_ = testing::TempDir() + "tls_connection_test_ca.pem";
    FILE* file = std::fopen(caFile_.c_str(), "w");
    ASSERT_TRUE(file);
    PEM_write_X509(file, certificate_);
    std::fclose(file);

    context_ = SSL_CTX_new(TLS_server_method());
    ASSERT_EQ(SSL_CTX_use_certificate(context_, certificate_), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey(context_, key_), 1);
  }

  void TearDown() override {
    SSL_free(server_);
    SSL_CTX_free(context_);
    X509_free(certificate_);
    EVP_PKEY_free(key_);
    std::remove(caFile_.c_str());
  }

  // The server's turn: what came from the client in, what it wrote out.
  void Serve() {
    while (!toServer_.bytes.empty()) {
      const std::string piece(toServer_.bytes.begin(), toServer_.bytes.end());
      toServer_.bytes.clear();
      BIO_write(SSL_get_rbio(server_), piece.data(), static_cast<int>(piece.size()));
    }
    if (!SSL_is_init_finished(server_)) SSL_do_handshake(server_);
    char buffer[16384];
    int count = 0;
    while (SSL_is_init_finished(server_) && (count = SSL_read(server_, buffer, sizeof buffer)) > 0) {
      received_.append(buffer, static_cast<size_t>(count));
    }
    while ((count = BIO_read(SSL_get_wbio(server_), buffer, sizeof buffer)) > 0) {
      toClient_.bytes.insert(toClient_.bytes.end(), buffer, buffer + count);
    }
  }

  // A client for `host` whose handshake has ended, or its code.
  TResult Connect(const std::string& host) {
    SSL_free(server_);
    server_ = SSL_new(context_);
    SSL_set_bio(server_, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(server_);
    toServer_ = TPipe();
    toClient_ = TPipe();
    TResult result;
    std::string reason;
    client_ = NewTlsConnection(std::make_unique<TStingyConnection>(toClient_, toServer_), TTlsSettings{host, caFile_},
                               &result, &reason);
    if (!client_) return result;
    for (int turn = 0; turn < 1000; ++turn) {
      result = client_->Handshake();
      if (result.GetCode() != RESULT_HTTP_PENDING) break;
      Serve();
    }
    // The server's side ends with the client's last flight.
    Serve();
    return result;
  }

  // Everything the client receives until it answers a negative count; that
  // count.
  int32_t ReceiveToEnd(std::string* text) {
    char buffer[100];
    for (int turn = 0; turn < 100000; ++turn) {
      const int32_t count = client_->Receive(buffer, sizeof buffer);
      if (count < 0) return count;
      text->append(buffer, static_cast<size_t>(count));
      if (count == 0) Serve();
    }
    return 0;
  }

  EVP_PKEY* key_ = nullptr;
  X509* certificate_ = nullptr;
  std::string caFile_;
  SSL_CTX* context_ = nullptr;
  SSL* server_ = nullptr;
  TPipe toServer_;
  TPipe toClient_;
  std::string received_;
  std::unique_ptr<TTlsConnection> client_;
};

// Bytes that differ from their neighbours, so that a lost or repeated piece
// shows.
std::string Stream(size_t length, char first) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(first + i * 7 % 251);
  return bytes;
}

TEST_F(TlsConnectionTest, CarriesBothWaysOverAStingyLinkAndEndsOnlyWithCloseNotify) {
  ASSERT_TRUE(Connect("localhost").Succeeded());

  const std::string request = Stream(100000, 'a');
  size_t sent = 0;
  for (int turn = 0; turn < 100000 && sent < request.size(); ++turn) {
    const int32_t count = client_->Send(request.data() + sent, static_cast<uint32_t>(request.size() - sent));
    ASSERT_GE(count, 0);
    sent += static_cast<size_t>(count);
    Serve();
  }
  Serve();
  EXPECT_TRUE(received_ == request) << "the server got " << received_.size() << " bytes of " << request.size();

  // Cut off without close_notify: a failure, never the stream's end.
  const std::string answer = Stream(50000, 'b');
  ASSERT_EQ(SSL_write(server_, answer.data(), static_cast<int>(answer.size())), static_cast<int>(answer.size()));
  Serve();
  toClient_.ended = true;
  std::string got;
  EXPECT_EQ(ReceiveToEnd(&got), -3);
  EXPECT_TRUE(got == answer) << got.size() << " bytes of " << answer.size();
  EXPECT_EQ(client_->GetState(), CONNECTION_CLOSED);
  EXPECT_NE(client_->GetLastResult().GetCode(), RESULT_SOCKET_CLOSED_BY_PEER);

  // With close_notify the stream ends cleanly, even with the link left open.
  ASSERT_TRUE(Connect("localhost").Succeeded());
  ASSERT_EQ(SSL_write(server_, answer.data(), static_cast<int>(answer.size())), static_cast<int>(answer.size()));
  SSL_shutdown(server_);
  Serve();
  got.clear();
  EXPECT_EQ(ReceiveToEnd(&got), -2);
  EXPECT_TRUE(got == answer) << got.size() << " bytes of " << answer.size();
  EXPECT_EQ(client_->GetLastResult().GetCode(), RESULT_SOCKET_CLOSED_BY_PEER);

  // The same trusted certificate for another name.
  EXPECT_EQ(Connect("127.0.0.1").GetCode(), RESULT_TLS_NAME_MISMATCH);
  EXPECT_EQ(client_->GetFailureReason(), "IP address mismatch");

  // A pipe named as the CA file would keep the call waiting for a writer.
  const std::string pipe = testing::TempDir() + "tls_connection_test_ca.pipe";
  std::remove(pipe.c_str());
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  TResult result;
  std::string reason;
  EXPECT_FALSE(NewTlsConnection(std::make_unique<TStingyConnection>(toClient_, toServer_),
                                TTlsSettings{"localhost", pipe}, &result, &reason));
  EXPECT_EQ(result.GetCode(), RESULT_TLS_UNAVAILABLE);
  EXPECT_EQ(reason, "the CA file cannot be read (" + pipe + ")");
  std::remove(pipe.c_str());
}

}  // namespace
