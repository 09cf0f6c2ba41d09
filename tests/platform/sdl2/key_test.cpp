// The SDL2 backend's key translation, and its rule that the key table moves
// only as events are taken, one per peek.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/sdl2/key_translation.h"

namespace Kestravon {
namespace {

using platform::sdl2::virtualKeyFromScancode;

TEST(Sdl2KeyTranslationTest, KeysOfTheKeyMapGetTheirVirtualKeyCodes) {
  struct {
    SDL_Scancode scancode;
    int vk;
  } const cases[] = {
      {SDL_SCANCODE_A, 'A'},
      {SDL_SCANCODE_Z, 'Z'},
      {SDL_SCANCODE_1, '1'},
      {SDL_SCANCODE_9, '9'},
      {SDL_SCANCODE_0, '0'},
      {SDL_SCANCODE_KP_0, 0x60},
      {SDL_SCANCODE_KP_9, 0x69},
      {SDL_SCANCODE_KP_PLUS, 0x6B},
      {SDL_SCANCODE_KP_MINUS, 0x6D},
      {SDL_SCANCODE_KP_MULTIPLY, 0x6A},
      {SDL_SCANCODE_KP_DIVIDE, 0x6F},
      {SDL_SCANCODE_RETURN, 0x0D},
      {SDL_SCANCODE_KP_ENTER, 0x0D},
      {SDL_SCANCODE_SPACE, 0x20},
      {SDL_SCANCODE_ESCAPE, 0x1B},
      {SDL_SCANCODE_UP, 0x26},
      {SDL_SCANCODE_DOWN, 0x28},
      {SDL_SCANCODE_LEFT, 0x25},
      {SDL_SCANCODE_RIGHT, 0x27},
      {SDL_SCANCODE_LSHIFT, 0x10},
      {SDL_SCANCODE_RSHIFT, 0x10},
      {SDL_SCANCODE_LCTRL, 0x11},
      {SDL_SCANCODE_RCTRL, 0x11},
      {SDL_SCANCODE_COMMA, 0xBC},
      {SDL_SCANCODE_PERIOD, 0xBE},
      {SDL_SCANCODE_SLASH, 0xBF},
      {SDL_SCANCODE_MINUS, 0xBD},
      {SDL_SCANCODE_SEMICOLON, 0xBA},
      {SDL_SCANCODE_LEFTBRACKET, 0xDB},
      {SDL_SCANCODE_BACKSLASH, 0xDC},
      {SDL_SCANCODE_RIGHTBRACKET, 0xDD},
      {SDL_SCANCODE_APOSTROPHE, 0xDE},
      {SDL_SCANCODE_GRAVE, 0xC0},
      {SDL_SCANCODE_F1, 0x70},
      {SDL_SCANCODE_F12, 0x7B},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(virtualKeyFromScancode(c.scancode), c.vk) << SDL_GetScancodeName(c.scancode);
  }
}

TEST(Sdl2KeyTranslationTest, EveryScancodeGivesACodeInsideTheTables) {
  for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
    const int vk = virtualKeyFromScancode(static_cast<SDL_Scancode>(s));
    ASSERT_GE(vk, 0) << s;
    ASSERT_LT(vk, 256) << s;
  }
  EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_UNKNOWN), 0);
}

TEST(Sdl2KeyTranslationTest, LetterAndPunctuationKeysFollowTheLayoutOthersTheirPosition) {
  using platform::sdl2::virtualKeyFromKey;
  // AZERTY: the key in the US Q position types 'a'; the US M position types ','.
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_Q, SDLK_a), 'A');
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_M, SDLK_COMMA), 0xBC);
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_SEMICOLON, SDLK_m), 'M');
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_NONUSHASH, SDLK_QUOTE), 0xDE);
  // A layout character with no Win32 code (Cyrillic) falls back to the position.
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_F, 0x0430), 'F');
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_APOSTROPHE, 0x044D), 0xDE);
  // Digits, keypad, control keys and the ISO extra key ignore the layout.
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_1, SDLK_AMPERSAND), '1');
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_KP_5, SDLK_a), 0x65);
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_RIGHT, SDLK_a), 0x27);
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_NONUSBACKSLASH, SDLK_LESS), 0xE2);
  EXPECT_EQ(virtualKeyFromKey(SDL_SCANCODE_SPACE, SDLK_a), 0x20);
}

// Needs a display (the ctest entry runs it under Xvfb).
TEST(Sdl2EventTest, TheKeyTableMovesOnlyWithTheEventTaken) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  platform::WindowClass windowClass;
  windowClass.className = "KestravonWindow";
  windowClass.menuName = "Kestravon Dummy Window";
  windowClass.procedure = [](platform::Window, std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    return 0;
  };
  ASSERT_NE(platform::registerWindowClass(windowClass), 0);
  platform::Message m;
  while (platform::peekMessage(m)) {
  }

  auto push = [](Uint32 type, SDL_Scancode scancode, Uint8 repeat) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  };
  push(SDL_KEYDOWN, SDL_SCANCODE_RIGHT, 0);
  push(SDL_KEYUP, SDL_SCANCODE_RIGHT, 0);
  push(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT, 0);

  unsigned char table[256];
  platform::getKeyboardState(table);
  EXPECT_EQ(table[platform::kVkRight] & 0x80, 0) << "nothing taken yet";

  ASSERT_TRUE(platform::peekMessage(m));
  EXPECT_EQ(m.id, platform::kMsgKeyDown);
  EXPECT_EQ(m.wParam, static_cast<std::uintptr_t>(platform::kVkRight));
  platform::getKeyboardState(table);
  EXPECT_EQ(table[platform::kVkRight] & 0x80, 0x80)
      << "down once its event is taken, although the key-up is already queued";

  ASSERT_TRUE(platform::peekMessage(m));
  EXPECT_EQ(m.id, platform::kMsgKeyUp);
  platform::getKeyboardState(table);
  EXPECT_EQ(table[platform::kVkRight] & 0x80, 0);
  EXPECT_EQ(table[platform::kVkShift] & 0x80, 0) << "the Shift key-down is not taken yet";

  ASSERT_TRUE(platform::peekMessage(m));
  EXPECT_EQ(m.wParam, static_cast<std::uintptr_t>(platform::kVkShift)) << "either Shift key is VK_SHIFT";
  platform::getKeyboardState(table);
  EXPECT_EQ(table[platform::kVkShift] & 0x80, 0x80);
}

}  // namespace
}  // namespace Kestravon
