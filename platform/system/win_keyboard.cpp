#include <conio.h>
#include "system/keyboard.h"

namespace {

class TWinKeyboard : public TKeyboard {
 public:
  char PollKey() override { return _kbhit() ? static_cast<char>(_getch()) : 0; }
};

}  // namespace

IKeyboard* NewPlatformKeyboard() { return new TWinKeyboard(); }
