#pragma once
#include <map>
#include "system/device.h"

class IKeyboard : public IDevice {
 public:
  virtual char GetKey() = 0;
  virtual void PutKey(char key) = 0;
  virtual void ClearKey() = 0;
  virtual char PollKey() = 0;
};

// One pending key in front of the platform's own key source.
class TKeyboard : public IKeyboard {
 public:
  TResult Open() override { return TResult(); }
  void Close() override {}
  char GetKey() override;
  void PutKey(char key) override { pending_ = key; }
  void ClearKey() override { pending_ = 0; }

 private:
  // Carried for terminals with a phone-style keypad; nothing on the PC uses them.
  std::map<char, char> keyMap_;
  char pending_ = 0;
  [[maybe_unused]] const char* letters_ = "1qz.2abc3def4ghi5jkl6mno7prs8tuv9wxy0- ";
};

// The console keyboard of the platform (defined per operating system).
IKeyboard* NewPlatformKeyboard();
