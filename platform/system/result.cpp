#include "system/result.h"

TResult::TResult(int32_t code) : head_(new Node{1, code, nullptr}) {}

TResult::TResult(int32_t code, int32_t cause) : head_(new Node{1, code, nullptr}) {
  head_->next = new Node{1, cause, nullptr};
}

TResult::TResult(const TResult& other) : head_(other.head_) {
  if (head_) ++head_->refs;
}

TResult::TResult(TResult&& other) noexcept : head_(other.head_) { other.head_ = nullptr; }

TResult& TResult::operator=(const TResult& other) {
  // Take the new reference before dropping the old one: assigning a result
  // to itself (or to a chain it shares) must not free the nodes first.
  if (other.head_) ++other.head_->refs;
  Release(head_);
  head_ = other.head_;
  return *this;
}

TResult& TResult::operator=(TResult&& other) noexcept {
  if (this != &other) {
    Release(head_);
    head_ = other.head_;
    other.head_ = nullptr;
  }
  return *this;
}

TResult::~TResult() { Release(head_); }

void TResult::Release(Node* node) {
  // Nodes behind a shared node belong to its other holders as well.
  while (node && --node->refs == 0) {
    Node* next = node->next;
    delete node;
    node = next;
  }
}

TResult& TResult::Append(const TResult& other) {
  if (!head_) {
    head_ = other.head_;
    if (head_) ++head_->refs;
    return *this;
  }
  Node* tail = other.head_;
  // Appending a result to itself shares the first node with the tail, so it
  // is copied as well; otherwise the chain would point back at itself.
  Node* fresh = head_->refs > 1 || head_ == tail ? new Node{1, head_->code, nullptr} : nullptr;
  // Counted before anything is released, so nodes the tail shares with the
  // part being replaced survive.
  if (tail) ++tail->refs;
  if (fresh) {
    --head_->refs;  // still held elsewhere, so nothing is freed
    head_ = fresh;
  } else {
    Release(head_->next);
  }
  head_->next = tail;
  return *this;
}

std::vector<int32_t> TResult::Codes() const {
  std::vector<int32_t> codes;
  for (const Node* node = head_; node; node = node->next) codes.push_back(node->code);
  return codes;
}
