#include "system/keyboard.h"

char TKeyboard::GetKey() {
  if (pending_ != 0) {
    const char key = pending_;
    pending_ = 0;
    return key;
  }
  return PollKey();
}
