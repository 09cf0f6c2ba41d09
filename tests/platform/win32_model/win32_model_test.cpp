// The Win32 model both non-Win32 backends run on, against Win32's rules.
#include "platform/win32_model/win32_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Kestravon {
namespace platform {

// What a backend keeps behind a handle; here it only tells when it is freed.
struct WindowObject {
  int* freed = nullptr;
  ~WindowObject() {
    if (freed != nullptr) ++*freed;
  }
};

namespace {

using win32_model::ClassTable;
using win32_model::MessageQueue;
using win32_model::WindowTable;

// Distinct handles, as a backend would hand out (the queue never looks behind them).
Window handle(int n) {
  static WindowObject windows[8];
  return &windows[n];
}

std::vector<Message> drain(MessageQueue& queue) {
  std::vector<Message> taken;
  Message m;
  while (queue.take(m)) taken.push_back(m);
  return taken;
}

int xOf(const Message& m) { return static_cast<int>(m.lParam & 0xFFFF); }

TEST(Win32ModelQueueTest, PointerMotionNeverPilesUpAndOrderIsKept) {
  MessageQueue queue;
  const Window canvas = handle(1);
  queue.setFocus(canvas);
  for (int x = 0; x < 10000; ++x) queue.motion(canvas, x % 1024, 5);
  EXPECT_EQ(queue.pending(), 1u) << "a flood of motion is one pending WM_MOUSEMOVE";
  queue.key(kVkDown, 0, true);
  queue.motion(canvas, 7, 5);
  queue.button(canvas, kVkLButton, true, 8, 5);
  queue.motion(canvas, 9, 5);
  Message close;
  close.window = canvas;
  close.id = kMsgClose;
  queue.post(close);
  queue.key(kVkDown, 0, false);

  const std::vector<Message> taken = drain(queue);
  ASSERT_EQ(taken.size(), 5u);
  EXPECT_EQ(taken[0].id, kMsgClose) << "a posted message before the input that arrived before it";
  EXPECT_EQ(taken[1].id, kMsgKeyDown);
  EXPECT_EQ(taken[1].window, canvas) << "key input goes to the focus window";
  EXPECT_EQ(taken[2].id, kMsgLButtonDown);
  EXPECT_EQ(xOf(taken[2]), 8);
  EXPECT_EQ(taken[3].id, kMsgMouseMove) << "the newest motion replaces the pending one, after the click";
  EXPECT_EQ(xOf(taken[3]), 9);
  EXPECT_EQ(taken[4].id, kMsgKeyUp);
}

TEST(Win32ModelQueueTest, EachKindHasItsQuotaAndKeepsOrderAcrossTheWrap) {
  MessageQueue queue;
  const Window w = handle(1);
  Message posted;
  posted.window = w;
  std::size_t accepted = 0;
  for (std::size_t i = 0; i < win32_model::kQueueLimit + 5; ++i) {
    posted.wParam = i;
    accepted += queue.post(posted) ? 1 : 0;
  }
  EXPECT_EQ(accepted, win32_model::kQueueLimit) << "a message beyond the limit is refused, as PostMessage refuses it";
  // Full posted messages leave the input its own room, and input beyond it is dropped.
  for (int x = 0; x < static_cast<int>(win32_model::kQueueLimit) + 5; ++x)
    queue.button(w, kVkLButton, x % 2 == 0, x, 0);
  EXPECT_EQ(queue.pending(), 2 * win32_model::kQueueLimit);

  Message m;
  for (std::size_t i = 0; i < win32_model::kQueueLimit; ++i) ASSERT_TRUE(queue.take(m));
  EXPECT_EQ(m.id, 0u);
  EXPECT_EQ(m.wParam, win32_model::kQueueLimit - 1) << "every posted message first, in order";
  for (int x = 0; x < 3; ++x) {
    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(xOf(m), x);
  }
  // Room for three again: the input wraps, and motion merging closes up across the wrap.
  queue.motion(w, 1, 1);
  queue.button(w, kVkLButton, true, 77, 0);
  queue.motion(w, 2, 1);  // replaces the first motion
  queue.button(w, kVkLButton, false, 78, 0);
  queue.button(w, kVkLButton, true, 79, 0);  // dropped: no room
  posted.wParam = 99;
  EXPECT_TRUE(queue.post(posted));

  const std::vector<Message> rest = drain(queue);
  ASSERT_EQ(rest.size(), win32_model::kQueueLimit + 1);
  EXPECT_EQ(rest[0].wParam, 99u) << "a posted message overtakes waiting input";
  EXPECT_EQ(xOf(rest[1]), 3);
  EXPECT_EQ(xOf(rest[rest.size() - 3]), 77);
  EXPECT_EQ(rest[rest.size() - 2].id, kMsgMouseMove);
  EXPECT_EQ(xOf(rest[rest.size() - 2]), 2);
  EXPECT_EQ(xOf(rest.back()), 78);
}

TEST(Win32ModelQueueTest, QuitIsAFlagAndPaintComesLastAndOnce) {
  MessageQueue queue;
  const Window a = handle(1);
  const Window b = handle(2);
  queue.invalidate(a);
  queue.postQuit(3);
  queue.postQuit(5);
  queue.invalidate(b);
  queue.invalidate(a);
  queue.key('A', 0, true);
  EXPECT_EQ(queue.pending(), 4u);

  const std::vector<Message> taken = drain(queue);
  ASSERT_EQ(taken.size(), 4u);
  EXPECT_EQ(taken[0].id, kMsgKeyDown) << "queued input before the quit";
  EXPECT_EQ(taken[1].id, kMsgQuit) << "one quit however often it was posted";
  EXPECT_EQ(taken[1].wParam, 5u);
  EXPECT_EQ(taken[1].window, nullptr);
  EXPECT_EQ(taken[2].id, kMsgPaint);
  EXPECT_EQ(taken[2].window, a);
  EXPECT_EQ(taken[3].window, b);

  queue.invalidate(a);
  queue.windowDestroyed(a);
  EXPECT_EQ(queue.pending(), 0u) << "a destroyed window is not painted";
}

TEST(Win32ModelKeyTest, TheTableMovesWhenTheMessageIsTakenAndTogglesOnFreshPressesOnly) {
  MessageQueue queue;
  unsigned char table[256];
  queue.key('X', 0, true);
  queue.key('X', 0, true);  // auto-repeat
  queue.key('X', 0, false);
  queue.keys().copyTo(table);
  EXPECT_EQ(table[int{'X'}], 0) << "nothing taken yet";

  Message m;
  ASSERT_TRUE(queue.take(m));
  queue.keys().copyTo(table);
  EXPECT_EQ(table[int{'X'}], 0x81) << "down, toggled";
  EXPECT_EQ(m.lParam & (1 << 30), 0) << "a fresh press";
  ASSERT_TRUE(queue.take(m));
  queue.keys().copyTo(table);
  EXPECT_EQ(table[int{'X'}], 0x81) << "an auto-repeat does not toggle again";
  EXPECT_NE(m.lParam & (1 << 30), 0) << "the repeat says the key was down";
  ASSERT_TRUE(queue.take(m));
  queue.keys().copyTo(table);
  EXPECT_EQ(table[int{'X'}], 0x01) << "up, still toggled";

  queue.key(kVkShift, kVkLShift, true);
  queue.key(kVkShift, kVkRShift, true);
  queue.key(kVkShift, kVkLShift, false);
  drain(queue);
  EXPECT_TRUE(queue.keys().isDown(kVkShift)) << "Shift is down while either side is";
  EXPECT_TRUE(queue.keys().isDown(kVkRShift));
  EXPECT_FALSE(queue.keys().isDown(kVkLShift));
  queue.key(kVkShift, kVkRShift, false);
  drain(queue);
  EXPECT_FALSE(queue.keys().isDown(kVkShift));

  queue.button(nullptr, kVkLButton, true, 0, 0);
  queue.key(1000, 0, true);  // no such virtual-key code: queued, changes nothing
  drain(queue);
  EXPECT_TRUE(queue.keys().isDown(kVkLButton));
}

TEST(Win32ModelKeyTest, AltMakesSystemKeysButNotWithControl) {
  MessageQueue queue;
  queue.key(kVkMenu, kVkLMenu, true);
  queue.key(kVkEscape, 0, true);
  queue.key(kVkEscape, 0, false);
  queue.key(kVkMenu, kVkLMenu, false);
  queue.key(kVkEscape, 0, true);
  queue.key(kVkF10, 0, true);
  queue.key(kVkControl, kVkLControl, true);
  queue.key(kVkMenu, kVkRMenu, true);  // AltGr
  queue.key('Q', 0, true);
  const std::vector<Message> taken = drain(queue);
  const std::uint32_t expected[] = {kMsgSysKeyDown, kMsgSysKeyDown, kMsgSysKeyUp, kMsgSysKeyUp, kMsgKeyDown,
                                    kMsgSysKeyDown, kMsgKeyDown,    kMsgKeyDown,  kMsgKeyDown};
  ASSERT_EQ(taken.size(), 9u);
  for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i].id, expected[i]) << "message " << i;
  EXPECT_NE(taken[1].lParam & (1 << 29), 0) << "Alt+Escape says Alt was held";
  EXPECT_EQ(taken[4].wParam, static_cast<std::uintptr_t>(kVkEscape));
}

TEST(Win32ModelClassTest, NamesIgnoreCaseAndAtomsStartAt0xC000) {
  ClassTable classes;
  WindowClass wc;
  wc.className = "KestravonWindow";
  EXPECT_EQ(classes.add(wc), 0xC000);
  wc.className = "KESTRAVONWINDOW";
  EXPECT_FALSE(classes.accepts(wc)) << "the same name in other case is taken";
  EXPECT_EQ(classes.add(wc), 0);
  wc.className = "Other";
  EXPECT_EQ(classes.add(wc), 0xC001);
  wc.className = nullptr;
  EXPECT_FALSE(classes.accepts(wc));
  EXPECT_EQ(classes.add(wc), 0);
  ASSERT_NE(classes.find("kestravonwindow"), nullptr);
  EXPECT_EQ(classes.find("kestravonwindow")->name, "KestravonWindow");
  EXPECT_EQ(classes.find("Kestravon"), nullptr);
}

// The window procedure the destroy test watches with.
WindowTable* watchedTable = nullptr;
int destroyMessages = 0;
bool liveDuringDestroy = false;
bool secondDestroyRefused = false;

std::intptr_t watchingProcedure(Window window, std::uint32_t message, std::uintptr_t, std::intptr_t) {
  if (message == kMsgDestroy) {
    ++destroyMessages;
    liveDuringDestroy = watchedTable->isLive(window);
    secondDestroyRefused = !watchedTable->destroy(window);
  }
  return 7;
}

TEST(Win32ModelWindowTest, DestroySendsWmDestroyWhileTheWindowIsStillValidAndTheTableFreesItsWindows) {
  int freed = 0;
  {
    WindowTable windows;
    watchedTable = &windows;
    auto object = std::make_unique<WindowObject>();
    object->freed = &freed;
    const Window w = windows.add(std::move(object), watchingProcedure, WindowTable::Kind::TopLevel);
    Message paint;
    paint.window = w;
    paint.id = kMsgPaint;
    EXPECT_EQ(windows.dispatch(paint), 7);

    EXPECT_TRUE(windows.destroy(w));
    EXPECT_EQ(destroyMessages, 1);
    EXPECT_TRUE(liveDuringDestroy);
    EXPECT_TRUE(secondDestroyRefused) << "a procedure destroying its window again does nothing";
    EXPECT_FALSE(windows.isLive(w));
    EXPECT_TRUE(windows.isKnown(w));
    EXPECT_EQ(freed, 0) << "a destroyed window stays known until the table goes";
    EXPECT_EQ(windows.dispatch(paint), 0) << "a stale message reaches no procedure";
    EXPECT_FALSE(windows.destroy(w));
    EXPECT_FALSE(windows.destroy(handle(2)));
    EXPECT_EQ(destroyMessages, 1);
  }
  EXPECT_EQ(freed, 1);
}

TEST(Win32ModelTest, KeysGoToTheNewestOpenTopLevelWindowNeverToAMessageOnlyOne) {
  win32_model::Model model;
  using Kind = WindowTable::Kind;
  const Window first = model.windows.add(std::make_unique<WindowObject>(), nullptr, Kind::TopLevel);
  const Window second = model.windows.add(std::make_unique<WindowObject>(), nullptr, Kind::TopLevel);
  const Window listener = model.windows.add(std::make_unique<WindowObject>(), nullptr, Kind::MessageOnly);
  EXPECT_TRUE(model.windows.isLive(listener));

  Message m;
  model.queue.key('A', 0, true);
  model.queue.invalidate(second);
  EXPECT_TRUE(model.destroy(second));  // after the key arrived, before it is taken
  ASSERT_TRUE(model.peek(m));
  EXPECT_EQ(m.window, first) << "the focus as it is when the key is taken";
  EXPECT_FALSE(model.peek(m)) << "no paint for a destroyed window";

  EXPECT_TRUE(model.destroy(first));
  EXPECT_FALSE(model.destroy(first));
  model.queue.key('A', 0, false);
  ASSERT_TRUE(model.peek(m));
  EXPECT_EQ(m.window, nullptr) << "with only a message-only window left, keys reach no window";
  EXPECT_FALSE(model.queue.keys().isDown('A')) << "the release still moves the key table";

  EXPECT_EQ(model.cursor.show(false), -1);
  EXPECT_FALSE(model.cursor.shows());
  EXPECT_EQ(model.cursor.show(false), -2);
  EXPECT_EQ(model.cursor.show(true), -1) << "one show does not undo two hides";
  EXPECT_EQ(model.cursor.show(true), 0);
  EXPECT_TRUE(model.cursor.shows());
}

}  // namespace
}  // namespace platform
}  // namespace Kestravon
