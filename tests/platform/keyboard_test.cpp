#include <gtest/gtest.h>
#include <string>
#include "system/keyboard.h"

namespace {

// Stands for the platform's key source: hands out the typed keys in order.
class TScriptedKeyboard : public TKeyboard {
 public:
  char PollKey() override {
    ++polls;
    if (typed.empty()) return 0;
    const char key = typed.front();
    typed.erase(0, 1);
    return key;
  }
  std::string typed = "t";
  int polls = 0;
};

}  // namespace

TEST(KeyboardTest, OnePendingKeyComesBeforeTheKeySource) {
  TScriptedKeyboard keyboard;
  keyboard.PutKey('a');
  keyboard.PutKey('b');
  EXPECT_EQ(keyboard.GetKey(), 'b');
  EXPECT_EQ(keyboard.polls, 0);
  EXPECT_EQ(keyboard.GetKey(), 't');
  keyboard.PutKey('x');
  keyboard.ClearKey();
  EXPECT_EQ(keyboard.GetKey(), 0);
  EXPECT_EQ(keyboard.polls, 2);
}
