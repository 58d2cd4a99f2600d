// The updater's headers first: <windows.h> defines names they use.
#include "http/buffered_connection.h"
#include "http/http_client.h"
#include "http/tls_connection.h"
#include "http/tls_name_match.h"
#include "updater_context.h"
#include "updater_system.h"

#define SECURITY_WIN32
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <cstring>
#include <vector>

#include "http/win_certificate_check.h"

namespace {

// The largest TLS record (16 KiB of data and what protection adds) with
// room to spare; a handshake message larger than this is refused.
constexpr size_t kMaxIncoming = 64 * 1024;
// Handshake steps that take nothing in (a server's requests for a client
// certificate) before the handshake is given up.
constexpr int kMaxRepeatedSteps = 4;

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

// sspi.h's SecInvalidateHandle is two statements: not for an if.
void Invalidate(SecHandle* handle) { handle->dwLower = handle->dwUpper = static_cast<ULONG_PTR>(-1); }

std::string Hex(SECURITY_STATUS value) {
  char text[16];
  wsprintfA(text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

std::string HandshakeReason(SECURITY_STATUS status) {
  switch (status) {
    case SEC_E_ALGORITHM_MISMATCH:
      return "no protocol version or cipher in common with the server (" + Hex(status) + ")";
    case SEC_E_UNSUPPORTED_FUNCTION:
      return "the server's protocol version is not accepted (" + Hex(status) + ")";
    case SEC_E_ILLEGAL_MESSAGE:
      return "the server broke off the handshake (" + Hex(status) + ")";
    default:
      return "the handshake failed (" + Hex(status) + ")";
  }
}

// Bytes received and not yet taken by Schannel, in one buffer made once.
class TIncoming {
 public:
  TIncoming() : bytes_(kMaxIncoming) {}
  uint8_t* data() { return bytes_.data(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t Room() const { return bytes_.size() - size_; }
  uint8_t* End() { return bytes_.data() + size_; }
  void Grow(size_t count) { size_ += count; }
  void Clear() { size_ = 0; }
  // Keeps the last `count` bytes, which Schannel left over.
  void KeepLast(size_t count) {
    std::memmove(bytes_.data(), bytes_.data() + size_ - count, count);
    size_ = count;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t size_ = 0;
};

class TWinTlsConnection final : public TTlsConnection {
 public:
  explicit TWinTlsConnection(std::unique_ptr<IConnection> inner) : inner_(std::move(inner)) {
    Invalidate(&credentials_);
    Invalidate(&context_);
  }

  ~TWinTlsConnection() override {
    // One try at a close_notify, without waiting for the peer's.
    if (established_ && !failed_ && !closed_) SendCloseNotify();
    if (caRoots_) CertCloseStore(caRoots_, 0);
    if (SecIsValidHandle(&context_)) DeleteSecurityContext(&context_);
    if (SecIsValidHandle(&credentials_)) FreeCredentialsHandle(&credentials_);
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
  bool AcquireCredentials(DWORD protocols, SECURITY_STATUS* status);
  // One call of InitializeSecurityContext over what has come in; its status.
  SECURITY_STATUS Step();
  TResult FinishHandshake();
  // Sends what is queued; false when the connection inside failed.
  bool Flush();
  // Reads into the incoming bytes: count, 0 for nothing yet, negative when
  // the connection inside ended or failed.
  int32_t Fill();
  // Decrypts one record into the plaintext; false when the connection
  // failed or ended (closed_ tells which).
  bool DecryptRecord();
  // One step of post-handshake messages: true while the connection lasts.
  bool Renegotiate();
  void Fail(const TResult& result, std::string reason);
  void Close();
  void SendCloseNotify();

  std::unique_ptr<IConnection> inner_;
  std::string serverName_;
  std::wstring targetName_;  // empty for an address: no SNI
  HCERTSTORE caRoots_ = nullptr;
  CredHandle credentials_;
  CtxtHandle context_;
  bool contextStarted_ = false;
  bool tls13Offered_ = false;
  bool certificateChecked_ = false;
  bool established_ = false;
  bool renegotiating_ = false;  // post-handshake messages being taken in
  bool closed_ = false;         // the peer's close_notify came
  bool failed_ = false;
  bool needMore_ = true;  // the incoming bytes hold no whole record
  // The last record decrypted to no data (see DecryptRecord).
  bool emptyRecord_ = false;
  SecPkgContext_StreamSizes sizes_{};
  TIncoming incoming_;
  std::vector<uint8_t> outgoing_;
  std::vector<uint8_t> plain_;
  size_t plainPosition_ = 0;
  TResult failure_;
  std::string reason_;
};

bool TWinTlsConnection::AcquireCredentials(DWORD protocols, SECURITY_STATUS* status) {
  if (SecIsValidHandle(&credentials_)) FreeCredentialsHandle(&credentials_);
  Invalidate(&credentials_);
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = protocols;
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  *status = AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                      &cred, nullptr, nullptr, &credentials_, &expiry);
  if (*status != SEC_E_OK) Invalidate(&credentials_);
  return *status == SEC_E_OK;
}

bool TWinTlsConnection::Setup(const TTlsSettings& settings, std::string* reason) {
  if (settings.serverName.empty()) {
    *reason = "no server name to check the certificate against";
    return false;
  }
  serverName_ = settings.serverName;
  uint8_t address[4];
  if (!ParseDottedAddress(serverName_, address)) {
    for (char c : serverName_) targetName_ += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  if (!settings.caFile.empty()) {
    caRoots_ = LoadCaFile(settings.caFile, reason);
    if (!caRoots_) return false;
  }
  // Where Schannel refuses TLS 1.3 in these credentials: 1.2 alone.
  SECURITY_STATUS status;
  tls13Offered_ = AcquireCredentials(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT, &status);
  if (!tls13Offered_ && !AcquireCredentials(SP_PROT_TLS1_2_CLIENT, &status)) {
    *reason = "the system's TLS cannot be set up (" + Hex(status) + ")";
    return false;
  }
  return true;
}

void TWinTlsConnection::Fail(const TResult& result, std::string reason) {
  failed_ = true;
  failure_ = result;
  reason_ = std::move(reason);
}

void TWinTlsConnection::Close() {
  closed_ = true;
  failure_ = TResult(RESULT_SOCKET_CLOSED_BY_PEER);
}

void TWinTlsConnection::SendCloseNotify() {
  if (!Flush() || !outgoing_.empty()) return;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return;
  SecBuffer out[1] = {};
  out[0].BufferType = SECBUFFER_TOKEN;
  SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
  ULONG attributes = 0;
  TimeStamp expiry;
  SEC_WCHAR* target = targetName_.empty() ? nullptr : &targetName_[0];
  const SECURITY_STATUS status = InitializeSecurityContextW(&credentials_, &context_, target, kContextRequest, 0, 0,
                                                            nullptr, 0, &context_, &outDesc, &attributes, &expiry);
  if (out[0].pvBuffer) {
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) inner_->Send(out[0].pvBuffer, out[0].cbBuffer);
    FreeContextBuffer(out[0].pvBuffer);
  }
}

bool TWinTlsConnection::Flush() {
  while (!outgoing_.empty()) {
    const int32_t sent = inner_->Send(outgoing_.data(), static_cast<uint32_t>(outgoing_.size()));
    if (sent < 0) return false;
    if (sent == 0) return true;
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + sent);
  }
  return true;
}

int32_t TWinTlsConnection::Fill() {
  if (incoming_.Room() == 0) return -1;
  const int32_t received = inner_->Receive(incoming_.End(), static_cast<uint32_t>(incoming_.Room()));
  if (received > 0) {
    incoming_.Grow(static_cast<size_t>(received));
    needMore_ = false;
  }
  return received;
}

SECURITY_STATUS TWinTlsConnection::Step() {
  SecBuffer in[2] = {};
  in[0].BufferType = SECBUFFER_TOKEN;
  in[0].pvBuffer = incoming_.data();
  in[0].cbBuffer = static_cast<unsigned long>(incoming_.size());
  in[1].BufferType = SECBUFFER_EMPTY;
  SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
  SecBuffer out[1] = {};
  out[0].BufferType = SECBUFFER_TOKEN;
  SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
  ULONG attributes = 0;
  TimeStamp expiry;
  SEC_WCHAR* target = targetName_.empty() ? nullptr : &targetName_[0];
  const SECURITY_STATUS status =
      InitializeSecurityContextW(&credentials_, contextStarted_ ? &context_ : nullptr, target, kContextRequest, 0, 0,
                                 contextStarted_ ? &inDesc : nullptr, 0, contextStarted_ ? nullptr : &context_,
                                 &outDesc, &attributes, &expiry);
  const bool started = contextStarted_;
  if (!started && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) contextStarted_ = true;
  if (out[0].pvBuffer) {
    // An alert that ends a failed handshake goes out too, without waiting.
    const uint8_t* token = static_cast<const uint8_t*>(out[0].pvBuffer);
    outgoing_.insert(outgoing_.end(), token, token + out[0].cbBuffer);
    FreeContextBuffer(out[0].pvBuffer);
  }
  if (status == SEC_E_INCOMPLETE_MESSAGE) {
    needMore_ = true;
  } else if (started && status != SEC_I_INCOMPLETE_CREDENTIALS) {
    if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= incoming_.size()) {
      incoming_.KeepLast(in[1].cbBuffer);
      needMore_ = false;
    } else {
      incoming_.Clear();
      needMore_ = true;
    }
  }
  return status;
}

TResult TWinTlsConnection::FinishHandshake() {
  const SECURITY_STATUS sized = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
  if (sized != SEC_E_OK || sizes_.cbMaximumMessage == 0) {
    Fail(TResult(RESULT_TLS_HANDSHAKE_FAILED), "the TLS session's record sizes are unknown (" + Hex(sized) + ")");
    return failure_;
  }
  PCCERT_CONTEXT leaf = nullptr;
  const SECURITY_STATUS got = QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &leaf);
  if (got != SEC_E_OK || !leaf) {
    Fail(TResult(RESULT_TLS_NOT_TRUSTED), "the server showed no certificate (" + Hex(got) + ")");
    return failure_;
  }
  std::string reason;
  const TResult checked = CheckServerCertificate(leaf, serverName_, caRoots_, &reason);
  CertFreeCertificateContext(leaf);
  if (!checked.Succeeded()) {
    // Whatever the handshake still had to send stays unsent.
    outgoing_.clear();
    Fail(checked, reason);
    return failure_;
  }
  certificateChecked_ = true;
  return TResult();
}

TResult TWinTlsConnection::Handshake() {
  if (established_) return TResult();
  if (failed_) return failure_;
  int repeated = 0;
  for (;;) {
    if (!Flush()) {
      Fail(TResult(RESULT_TLS_HANDSHAKE_FAILED), "the connection failed during the handshake");
      return failure_;
    }
    if (certificateChecked_) {
      if (!outgoing_.empty()) return TResult(RESULT_HTTP_PENDING);
      established_ = true;
      return TResult();
    }
    if (!outgoing_.empty()) return TResult(RESULT_HTTP_PENDING);
    if (contextStarted_ && needMore_) {
      const int32_t received = Fill();
      if (received == 0) return TResult(RESULT_HTTP_PENDING);
      if (received < 0) {
        Fail(TResult(RESULT_TLS_HANDSHAKE_FAILED),
             incoming_.Room() == 0 ? "a handshake message is too large"
                                   : "the server ended the connection during the handshake");
        return failure_;
      }
      continue;
    }
    const bool first = !contextStarted_;
    const SECURITY_STATUS status = Step();
    if (status == SEC_E_OK) {
      const TResult finished = FinishHandshake();
      if (!finished.Succeeded()) return finished;
    } else if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
      // The server asks for a client certificate: there is none to give, so
      // the handshake goes on without one.
      if (++repeated > kMaxRepeatedSteps) {
        Fail(TResult(RESULT_TLS_HANDSHAKE_FAILED), HandshakeReason(status));
        return failure_;
      }
    } else if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) {
      SECURITY_STATUS retried = 0;
      if (first && tls13Offered_ && AcquireCredentials(SP_PROT_TLS1_2_CLIENT, &retried)) {
        // Should TLS 1.3 in the credentials keep the handshake from
        // starting: once more with TLS 1.2 alone.
        tls13Offered_ = false;
        outgoing_.clear();
        continue;
      }
      Flush();
      Fail(TResult(RESULT_TLS_HANDSHAKE_FAILED), HandshakeReason(status));
      return failure_;
    }
  }
}

int32_t TWinTlsConnection::Send(const void* data, uint32_t length) {
  if (failed_ || closed_) return -1;
  if (!established_) {
    const TResult handshake = Handshake();
    if (!handshake.Succeeded()) return handshake.GetCode() == RESULT_HTTP_PENDING ? 0 : -1;
  }
  if (renegotiating_ && !needMore_ && !Renegotiate()) return -1;
  if (!Flush()) {
    Fail(inner_->GetLastResult(), "sending failed");
    return -1;
  }
  if (!outgoing_.empty() || renegotiating_ || length == 0) return 0;
  const uint32_t count = length < sizes_.cbMaximumMessage ? length : sizes_.cbMaximumMessage;
  outgoing_.resize(sizes_.cbHeader + count + sizes_.cbTrailer);
  std::memcpy(outgoing_.data() + sizes_.cbHeader, data, count);
  SecBuffer buffers[4] = {};
  buffers[0] = {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, outgoing_.data()};
  buffers[1] = {count, SECBUFFER_DATA, outgoing_.data() + sizes_.cbHeader};
  buffers[2] = {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, outgoing_.data() + sizes_.cbHeader + count};
  buffers[3].BufferType = SECBUFFER_EMPTY;
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = EncryptMessage(&context_, 0, &desc, 0);
  if (status != SEC_E_OK) {
    outgoing_.clear();
    Fail(TResult(RESULT_SOCKET_IO_ERROR), "encrypting failed (" + Hex(status) + ")");
    return -1;
  }
  // As long as EncryptMessage made the three buffers.
  outgoing_.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
  if (!Flush()) {
    Fail(inner_->GetLastResult(), "sending failed");
    return -1;
  }
  return static_cast<int32_t>(count);
}

bool TWinTlsConnection::Renegotiate() {
  const SECURITY_STATUS status = Step();
  if (status == SEC_E_OK) {
    renegotiating_ = false;
  } else if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) {
    Fail(TResult(RESULT_SOCKET_IO_ERROR), "the server's post-handshake message failed (" + Hex(status) + ")");
    return false;
  }
  if (!Flush()) {
    Fail(inner_->GetLastResult(), "sending failed");
    return false;
  }
  return true;
}

bool TWinTlsConnection::DecryptRecord() {
  constexpr uint8_t kAlertRecord = 21;
  const uint8_t recordType = incoming_.data()[0];
  SecBuffer buffers[4] = {};
  buffers[0] = {static_cast<unsigned long>(incoming_.size()), SECBUFFER_DATA, incoming_.data()};
  buffers[1].BufferType = buffers[2].BufferType = buffers[3].BufferType = SECBUFFER_EMPTY;
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
  if (status == SEC_E_INCOMPLETE_MESSAGE) {
    needMore_ = true;
    return true;
  }
  if (status == SEC_I_CONTEXT_EXPIRED) {
    Close();
    return false;
  }
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
    Fail(TResult(RESULT_SOCKET_IO_ERROR), "decrypting failed (" + Hex(status) + ")");
    return false;
  }
  const SecBuffer* data = nullptr;
  const SecBuffer* extra = nullptr;
  for (const SecBuffer& buffer : buffers) {
    if (buffer.BufferType == SECBUFFER_DATA && !data) data = &buffer;
    if (buffer.BufferType == SECBUFFER_EXTRA && !extra) extra = &buffer;
  }
  const bool hasData = data && data->cbBuffer > 0;
  if (hasData) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data->pvBuffer);
    plain_.assign(bytes, bytes + data->cbBuffer);
    plainPosition_ = 0;
  }
  if (extra && extra->cbBuffer > 0 && extra->cbBuffer <= incoming_.size()) {
    incoming_.KeepLast(extra->cbBuffer);
    needMore_ = false;
  } else {
    incoming_.Clear();
    needMore_ = true;
  }
  if (status == SEC_I_RENEGOTIATE) {
    // Post-handshake messages go to the handshake with the bytes behind
    // them.
    renegotiating_ = true;
    return true;
  }
  // Wine answers the peer's close_notify with no data, where Windows
  // expires the context. A record of no data is the end for sure only as a
  // TLS 1.2 alert record (TLS 1.3 hides the type); otherwise the end is
  // clean when the connection ends right after it.
  emptyRecord_ = !hasData;
  if (!hasData && recordType == kAlertRecord) {
    Close();
    return false;
  }
  return true;
}

int32_t TWinTlsConnection::Receive(void* buffer, uint32_t size) {
  if (closed_) return -2;
  if (failed_) return -3;
  if (!established_) {
    const TResult handshake = Handshake();
    if (!handshake.Succeeded()) return handshake.GetCode() == RESULT_HTTP_PENDING ? 0 : -3;
  }
  if (!Flush()) {
    Fail(inner_->GetLastResult(), "sending failed");
    return -3;
  }
  for (;;) {
    if (plainPosition_ < plain_.size()) {
      const size_t left = plain_.size() - plainPosition_;
      const size_t count = left < size ? left : size;
      std::memcpy(buffer, plain_.data() + plainPosition_, count);
      plainPosition_ += count;
      return static_cast<int32_t>(count);
    }
    if (renegotiating_) {
      if (!needMore_) {
        if (!Renegotiate()) return -3;
        continue;
      }
    } else if (!incoming_.empty() && !needMore_) {
      if (!DecryptRecord()) return closed_ ? -2 : -3;
      continue;
    }
    const int32_t received = Fill();
    if (received == 0) return 0;
    if (received < 0) {
      if (received == -2 && emptyRecord_ && incoming_.empty()) {
        Close();
        return -2;
      }
      if (incoming_.Room() == 0) {
        Fail(TResult(RESULT_SOCKET_IO_ERROR), "a TLS record is too large");
      } else if (inner_->GetLastResult().GetCode() == RESULT_SOCKET_CLOSED_BY_PEER) {
        Fail(TResult(RESULT_SOCKET_IO_ERROR), "the server closed the connection without close_notify");
      } else {
        Fail(inner_->GetLastResult(), "the connection failed");
      }
      return -3;
    }
  }
}

bool TWinTlsConnection::WaitUntilReady(TConnectionWait what, uint32_t milliseconds) {
  if (failed_ || closed_) return true;
  TConnectionWait need = what;
  if (!outgoing_.empty()) {
    need = TConnectionWait::Send;
  } else if (!established_ || renegotiating_) {
    need = TConnectionWait::Receive;
    if (!needMore_) return true;
  } else if (what == TConnectionWait::Receive) {
    if (plainPosition_ < plain_.size() || (!incoming_.empty() && !needMore_)) return true;
  }
  return AwaitConnection(*ProcessUpdaterContext().system, *inner_, need, milliseconds);
}

}  // namespace

std::unique_ptr<TTlsConnection> NewTlsConnection(std::unique_ptr<IConnection> inner, const TTlsSettings& settings,
                                                 TResult* result, std::string* reason) {
  auto connection = std::make_unique<TWinTlsConnection>(std::move(inner));
  if (!connection->Setup(settings, reason)) {
    *result = TResult(RESULT_TLS_UNAVAILABLE);
    return nullptr;
  }
  *result = TResult();
  return connection;
}
