#include "serial_out_connection.h"
#include <algorithm>
#include <cstring>
#include "serial_session.h"

TSerialOutConnection::TSerialOutConnection(const std::shared_ptr<TSerialSession>& session, uint32_t id)
    : session_(session), id_(id) {
  session->RegisterClient(id, this);
}

TSerialOutConnection::~TSerialOutConnection() {
  std::shared_ptr<TSerialSession> session = session_.lock();
  if (!session) return;
  if (state_ == CONNECTION_CONNECTING || state_ == CONNECTION_CONNECTED) {
    TSerialMessage close;
    close.type = MSG_CLOSE;
    close.id = id_;
    if (session->SendMessage(close)) session->WaitLink();
  }
  session->UnregisterClient(id_, this);
  session->Poll();
}

int32_t TSerialOutConnection::Send(const void* data, uint32_t length) {
  std::shared_ptr<TSerialSession> session = session_.lock();
  if (!session) {
    state_ = CONNECTION_CLOSED;
    return -1;
  }
  session->Poll();
  if (state_ == CONNECTION_CLOSED) return -1;
  const size_t taken = std::min<size_t>(length, TSerialMessage::kMaxData);
  TSerialMessage message;
  message.type = MSG_DATA_TO_HOST;
  message.id = id_;
  message.data = TByteBuffer(taken, data);
  if (!session->SendMessage(message)) {
    state_ = CONNECTION_CLOSED;
    return -1;
  }
  session->WaitLink();
  return static_cast<int32_t>(taken);
}

int32_t TSerialOutConnection::Receive(void* buffer, uint32_t size) {
  std::shared_ptr<TSerialSession> session = session_.lock();
  if (session) {
    session->Poll();
  } else {
    state_ = CONNECTION_CLOSED;
  }
  if (state_ == CONNECTION_CLOSED && received_.Empty()) return -1;
  const size_t count = std::min<size_t>(size, received_.Length());
  if (count != 0) std::memcpy(buffer, received_.Data(), count);
  received_.RemoveFront(count);
  return static_cast<int32_t>(count);
}

int32_t TSerialOutConnection::GetState() {
  std::shared_ptr<TSerialSession> session = session_.lock();
  if (session) {
    session->Poll();
  } else {
    state_ = CONNECTION_CLOSED;
  }
  return received_.Empty() ? state_ : CONNECTION_CONNECTED;
}

void TSerialOutConnection::Update(const TSerialMessage& message) {
  switch (message.type) {
    case MSG_ACCEPTED:
      peerAddress_ = message.address;
      state_ = CONNECTION_CONNECTED;
      return;
    case MSG_STATUS:
      lastCode_ = message.code;
      state_ = message.code != 0 ? CONNECTION_CLOSED : CONNECTION_CONNECTED;
      return;
    case MSG_CLOSED:
      state_ = CONNECTION_CLOSED;
      return;
    case MSG_DATA_TO_CLIENT:
      received_.Append(message.data);
      return;
    default:
      return;
  }
}
