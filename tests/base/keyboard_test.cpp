#include "library/base/keyboard.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using KeyboardTest = testing::HeadlessTest;

constexpr int kVkOem1 = 0xBA;

TEST_F(KeyboardTest, KeyPressedAndReleasedBetweenQueriesIsSeenOnce) {
  hl::pushKeyDown(platform::kVkRight);
  hl::pushKeyUp(platform::kVkRight);
  // Each query takes one message: the down, then the up.
  EXPECT_FALSE(Keyboard::query(Key::Space, pushed));
  EXPECT_FALSE(Keyboard::query(Key::Space, pushed));
  EXPECT_FALSE(Keyboard::query(Key::Right, pressed));
  EXPECT_TRUE(Keyboard::query(Key::Right, pushed));
  EXPECT_FALSE(Keyboard::query(Key::Right, pushed));
  EXPECT_TRUE(Keyboard::query(Key::Right, released));
  EXPECT_FALSE(Keyboard::query(Key::Right, released));
}

TEST_F(KeyboardTest, HeldKeyWithAutoRepeatLatchesOnce) {
  hl::pushKeyDown(platform::kVkRight);
  EXPECT_TRUE(Keyboard::query(Key::Right, pressed));
  EXPECT_TRUE(Keyboard::query(Key::Right, pushed));
  for (int i = 0; i < 5; ++i) {
    hl::pushKeyDown(platform::kVkRight);  // auto-repeat
    EXPECT_TRUE(Keyboard::query(Key::Right, pressed));
    EXPECT_FALSE(Keyboard::query(Key::Right, pushed));
  }
  EXPECT_FALSE(Keyboard::query(Key::Right, released));
}

TEST_F(KeyboardTest, OneMessagePerQuery) {
  hl::pushKeyDown('A');
  hl::pushKeyDown('B');
  EXPECT_TRUE(Keyboard::query(Key::A, pushed));
  EXPECT_EQ(hl::pendingMessages(), 1u) << "the second message waits for the second query";
  EXPECT_TRUE(Keyboard::query(Key::A, pressed));  // this one takes it
  EXPECT_EQ(hl::pendingMessages(), 0u);
  EXPECT_TRUE(Keyboard::query(Key::A + 1, pushed));
}

TEST_F(KeyboardTest, PreviousTableHoldsTheStateBeforeTheLastUpdate) {
  const KeyCode q = Key::A + 16;
  hl::pushKeyDown('Q');
  EXPECT_FALSE(Keyboard::query(q, previous));  // this update took the key-down
  hl::setKeyDown('Q', false);
  EXPECT_TRUE(Keyboard::query(q, previous));  // down before this update, up after it
  EXPECT_FALSE(Keyboard::query(q, pressed));
  EXPECT_FALSE(Keyboard::query(q, previous));
}

TEST_F(KeyboardTest, AliasCodesShareOneLatch) {
  hl::pushKeyDown(kVkOem1);
  EXPECT_TRUE(Keyboard::query(Key::Oem1, pressed));
  EXPECT_TRUE(Keyboard::query(Key::Oem1Alias, pressed));
  EXPECT_TRUE(Keyboard::query(Key::Oem1Alias, pushed));
  EXPECT_FALSE(Keyboard::query(Key::Oem1, pushed)) << "the alias's read cleared the shared latch";
}

TEST_F(KeyboardTest, UnmappedAndOutOfRangeCodesNeverAnswerTrue) {
  // Every key down: codes without a key must still read as up.
  for (int vk = 1; vk < 256; ++vk) hl::setKeyDown(vk, true);
  for (KeyCode code : {59, 68, 69, 70, 75, 200, 255, 256, -1, 100000}) {
    for (KeyQuery mode : {pressed, previous, pushed, released}) {
      EXPECT_FALSE(Keyboard::query(code, mode)) << "code " << code << " mode " << mode;
    }
  }
  for (int code = 0; code < 256; ++code) {
    EXPECT_GE(Keyboard::keyMap[code], 0);
    EXPECT_LT(Keyboard::keyMap[code], 256) << "code " << code << " would index past the tables";
  }
  EXPECT_TRUE(Keyboard::query(Key::Oem3, pressed));
  EXPECT_TRUE(Keyboard::query(Key::Oem7, pressed));
}

TEST_F(KeyboardTest, KeyMapReachesTheDocumentedKeys) {
  struct {
    KeyCode code;
    int vk;
  } const cases[] = {{0, '1'},   {8, '9'},   {9, '0'},   {10, 'A'},  {35, 'Z'},  {36, 0xBC}, {37, 0xBE}, {38, 0xBF},
                     {39, 0x60}, {48, 0x69}, {49, 0x0D}, {50, 0x20}, {51, 0x1B}, {52, 0x26}, {53, 0x28}, {54, 0x25},
                     {55, 0x27}, {56, 0x10}, {57, 0x11}, {58, 0xBD}, {60, 0xDC}, {61, 0x01}, {63, 0xBA}, {64, 0xBA},
                     {65, 0xDB}, {66, 0xDD}, {71, 0x6B}, {72, 0x6D}, {73, 0x6A}, {74, 0x6F}};
  for (const auto& c : cases) {
    hl::setKeyDown(c.vk, true);
    EXPECT_TRUE(Keyboard::query(c.code, pushed)) << "code " << c.code;
    hl::setKeyDown(c.vk, false);
    EXPECT_TRUE(Keyboard::query(c.code, released)) << "code " << c.code;
  }
}

TEST_F(KeyboardTest, LeftMouseButtonFollowsItsMessages) {
  hl::pushOther(platform::kMsgLButtonDown);
  EXPECT_TRUE(Keyboard::query(Key::LeftButton, pressed));
  hl::pushOther(platform::kMsgLButtonUp);
  EXPECT_FALSE(Keyboard::query(Key::LeftButton, pressed));
  EXPECT_TRUE(Keyboard::query(Key::LeftButton, pushed));
}

TEST_F(KeyboardTest, KeyMessagesAreDroppedOthersDispatched) {
  hl::pushKeyDown('A');
  hl::pushKeyUp('A');
  hl::pushQuit();
  hl::pushOther(platform::kMsgChar);
  for (int i = 0; i < 4; ++i) Keyboard::query(Key::Space, pressed);
  EXPECT_EQ(hl::state().dispatchedCount, 2);
  EXPECT_EQ(hl::state().translatedCount, 2);
}

TEST_F(KeyboardTest, ResetClearsEveryTable) {
  hl::pushKeyDown(platform::kVkRight);
  Keyboard::query(Key::Space, pressed);
  Keyboard::reset();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 256; ++i) ASSERT_EQ(Keyboard::states[t][i], 0) << "table " << t << " entry " << i;
  }
}

TEST_F(KeyboardTest, EscapeKeyDownEndsTheProcessWith128) {
  EXPECT_EXIT(
      {
        hl::pushKeyDown(0x1B);
        Keyboard::query(Key::Up, pushed);
        std::exit(0);
      },
      ::testing::ExitedWithCode(128), "");
}

TEST_F(KeyboardTest, EscapeKeyUpAndOtherKeysDoNotEndTheProcess) {
  EXPECT_EXIT(
      {
        hl::pushKeyUp(0x1B);
        hl::pushKeyDown('X');
        Keyboard::query(Key::Up, pushed);
        Keyboard::query(Key::Up, pushed);
        std::exit(3);
      },
      ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace Kestravon
