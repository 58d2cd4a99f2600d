#pragma once
#include <cstdint>
#include <vector>

// Result codes of the platform layer. Other subsystems add their own codes in
// the same type.
enum : int32_t {
  RESULT_OK = 0,
  RESULT_NOT_SUPPORTED = 2,
  RESULT_INVALID_ARGUMENT = 3,
  RESULT_FILE_OPEN_FAILED = 19001,
  RESULT_FILE_DELETE_FAILED = 19002,
  RESULT_FILE_MOVE_FAILED = 19003,
  RESULT_SOCKET_CONNECT_FAILED = 20001,
  RESULT_SOCKET_CLOSED_BY_PEER = 20003,
  RESULT_SOCKET_IO_ERROR = 20004,
  RESULT_SOCKET_NO_SOCKET = 20006,
  RESULT_SOCKET_LISTEN_FAILED = 20008,
};

// The outcome of a fallible operation: a shared, reference-counted chain of
// codes. The first code is the result (0 or an empty chain is success); the
// codes behind it are its causes, e.g. (20004, socket error number).
class TResult {
 public:
  TResult() = default;
  explicit TResult(int32_t code);
  TResult(int32_t code, int32_t cause);
  TResult(const TResult& other);
  TResult(TResult&& other) noexcept;
  TResult& operator=(const TResult& other);
  TResult& operator=(TResult&& other) noexcept;
  ~TResult();

  int32_t GetCode() const { return head_ ? head_->code : 0; }
  bool Succeeded() const { return GetCode() == 0; }

  // Keeps this result's first code and puts other's chain behind it, in place
  // of whatever followed. A shared first node is copied first, so other
  // holders of this chain do not see the change.
  TResult& Append(const TResult& other);

  // Every code of the chain, first to last.
  std::vector<int32_t> Codes() const;

 private:
  struct Node {
    int32_t refs;
    int32_t code;
    Node* next;
  };
  static void Release(Node* node);

  Node* head_ = nullptr;
};
