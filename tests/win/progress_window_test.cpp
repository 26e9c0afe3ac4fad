#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/cancel.h"
#include "ui/progress_window.h"

namespace {

// The window's clock, which the tests move by hand.
DWORD testNow = 1000000;
DWORD WINAPI testClock() { return testNow; }

// The window lives on the test thread, which does not pump until a test
// drains the queue itself: the same situation as the main thread during the
// first five seconds of a run.
class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.tickCount = testClock;
    createdAt = GetTickCount();
    ASSERT_TRUE(window.createWindow(GetModuleHandleA(nullptr)));
  }
  void TearDown() override {
    if (HWND main = window.mainWindow) {
      window.closeWindow();
      DestroyWindow(main);
    }
    drain();
    cancelFlag.store(false);
  }

  // Removes and dispatches everything waiting; returns how many messages of
  // the given kind were among them.
  int drain(UINT counted = 0, std::vector<WPARAM>* parameters = nullptr) {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (counted != 0 && message.message == counted) {
        ++count;
        if (parameters) parameters->push_back(message.wParam);
      }
      DispatchMessageA(&message);
    }
    return count;
  }

  // Dispatches the window's waiting line 2 notifications, and nothing else
  // (a timer's message stays); returns how many there were.
  int dispatchLine2Notifications() {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, window.mainWindow, WM_STATUS_LINE2, WM_STATUS_LINE2, PM_REMOVE)) {
      ++count;
      DispatchMessageA(&message);
    }
    return count;
  }

  std::string controlText(int id) {
    char text[1024] = {};
    GetWindowTextA(GetDlgItem(window.mainWindow, id), text, sizeof text);
    return text;
  }

  ProgressWindow window;
  DWORD createdAt = 0;  // real time, just before the window was made
};

TEST_F(ProgressWindowTest, LayoutFollowsTheWorkArea) {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  GetWindowRect(window.mainWindow, &frame);
  POINT origin{0, 0};
  ClientToScreen(window.mainWindow, &origin);
  EXPECT_EQ(frame.left, (work.right - work.left - 600) / 2);
  EXPECT_EQ(frame.right - frame.left, 600);
  EXPECT_EQ(origin.y, (work.bottom - work.top - 72) / 3);
  EXPECT_FALSE(window.isVisible());
  EXPECT_NE(GetClassLongPtrA(window.mainWindow, GCL_STYLE) & CS_NOCLOSE, 0u);

  drain();
  EXPECT_EQ(controlText(IDC_CANCEL_BUTTON), "ｷｬﾝｾﾙ");
  EXPECT_EQ(SendMessageA(window.progressBar, PBM_GETRANGE, FALSE, 0), 1024);
}

TEST_F(ProgressWindowTest, BurstOfStatusTextsLeavesOneNotificationPerLine) {
  for (int i = 0; i < 5000; ++i) {
    const std::string text = "entry " + std::to_string(i);
    window.setStatus("stage", text.c_str());
  }
  MSG first;
  ASSERT_TRUE(PeekMessageA(&first, window.mainWindow, WM_STATUS_LINE1, WM_STATUS_LINE2, PM_NOREMOVE));

  int line1 = 0;
  int line2 = 0;
  MSG message;
  // The bar's range message shares its value with line 1's notification;
  // only those addressed to the main window count.
  while (PeekMessageA(&message, window.mainWindow, WM_STATUS_LINE1, WM_STATUS_LINE2, PM_REMOVE)) {
    if (message.hwnd == window.mainWindow) (message.message == WM_STATUS_LINE1 ? line1 : line2) += 1;
    DispatchMessageA(&message);
  }
  EXPECT_EQ(line1, 1);
  EXPECT_EQ(line2, 1);
  EXPECT_EQ(controlText(IDC_STATUS_LINE1), "stage");
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), "entry 4999");

  // Once handled, the next text is notified again.
  window.setStatusLine2("next");
  EXPECT_EQ(drain(WM_STATUS_LINE2), 1);
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), "next");
}

TEST_F(ProgressWindowTest, LongTextsAreCutToTheirLine) {
  const std::string text(300, 'x');
  window.setStatus(text.c_str(), text.c_str());
  drain();
  EXPECT_EQ(controlText(IDC_STATUS_LINE1), std::string(259, 'x'));
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), text);

  const std::string longer(2000, 'y');
  window.setStatusLine2(longer.c_str());
  drain();
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), std::string(779, 'y'));
}

TEST_F(ProgressWindowTest, BarMovesOnlyWhenItsPositionChanges) {
  drain();
  std::vector<WPARAM> positions;

  window.startProgress(0);  // a stage with nothing to do stays at 0
  window.advanceProgress(1);
  window.advanceProgress(1000);
  EXPECT_EQ(drain(PBM_SETPOS), 0);

  window.startProgress(1);  // one entry: straight to the end
  window.advanceProgress(1);
  EXPECT_EQ(drain(PBM_SETPOS, &positions), 1);
  EXPECT_EQ(positions.back(), 1024u);
  window.advanceProgress(5);  // beyond the total the bar stays full
  EXPECT_EQ(drain(PBM_SETPOS), 0);

  // Pumped after every chunk, every change of position is posted once.
  positions.clear();
  const std::int64_t total = 10LL << 30;  // 10 GiB in 128 KiB chunks
  window.startProgress(total);
  drain(PBM_SETPOS, &positions);
  for (std::int64_t done = 0; done < total; done += 131072) {
    window.advanceProgress(131072);
    drain(PBM_SETPOS, &positions);
  }
  ASSERT_EQ(positions.size(), 1025u);  // 0 and every step up to 1024
  for (std::size_t i = 0; i < positions.size(); ++i) EXPECT_EQ(positions[i], i);
  EXPECT_EQ(window.lastPosition, 1024);

  // A new stage starting where the last one stood posts nothing at its start.
  window.startProgress(0);
  window.startProgress(100);
  positions.clear();
  drain(PBM_SETPOS, &positions);
  EXPECT_EQ(positions, std::vector<WPARAM>{0});
  window.startProgress(100);
  EXPECT_EQ(drain(PBM_SETPOS), 0);
}

TEST_F(ProgressWindowTest, BurstOfPositionsLeavesOneWaitingMessageShowingTheLatest) {
  drain();
  window.startProgress(1 << 20);
  for (int i = 0; i < 1 << 20; i += 100) window.advanceProgress(100);
  EXPECT_EQ(drain(PBM_SETPOS), 1);
  EXPECT_EQ(SendMessageA(window.progressBar, PBM_GETPOS, 0, 0), 1024);

  window.startProgress(1000);
  window.advanceProgress(500);
  EXPECT_EQ(drain(PBM_SETPOS), 1);
  EXPECT_EQ(SendMessageA(window.progressBar, PBM_GETPOS, 0, 0), 512);
}

TEST_F(ProgressWindowTest, CancelButtonRetitlesDisablesAndRaisesTheFlag) {
  drain();
  ASSERT_FALSE(cancelFlag.load());
  SendMessageA(window.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_BUTTON, BN_CLICKED),
               reinterpret_cast<LPARAM>(window.cancelButton));
  char title[128] = {};
  GetWindowTextA(window.mainWindow, title, sizeof title);
  EXPECT_STREQ(title, "Quorvane: キャンセルされました。");
  EXPECT_FALSE(IsWindowEnabled(window.cancelButton));
  EXPECT_TRUE(cancelFlag.load());
  EXPECT_EQ(controlText(IDC_STATUS_LINE1), "");  // the status lines keep their texts
}

TEST_F(ProgressWindowTest, AfterCloseNothingIsReported) {
  drain();
  HWND main = window.mainWindow;
  window.closeWindow();
  EXPECT_EQ(window.mainWindow, nullptr);
  EXPECT_FALSE(window.isVisible());
  window.setStatus("a", "b");
  window.startProgress(1);
  window.advanceProgress(1);
  int others = 0;
  int closes = 0;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    // Handling the close request destroys the window, which posts the quit message.
    if (message.message != WM_QUIT) (message.message == WM_CLOSE ? closes : others) += 1;
    DispatchMessageA(&message);
  }
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(others, 0);
  EXPECT_FALSE(IsWindow(main));  // the close request destroyed it
}

TEST_F(ProgressWindowTest, ShowTimerMakesTheWindowVisible) {
  // The timer message comes only once this thread pumps. Never before five
  // seconds; after them, as soon as this thread gets its turn, which on a
  // busy machine may take long, so only a stuck timer runs into the bound.
  MSG message;
  while (!window.isVisible() && GetTickCount() - createdAt < 60000) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      Sleep(10);
    }
  }
  EXPECT_TRUE(window.isVisible());
  EXPECT_GE(GetTickCount() - createdAt, 4800u);
}

// Moved onto a monitor at 150 % before the window ever pumped: the window
// takes the place the system suggests, and its controls and font grow by
// half, and stay so once the queue is drained.
TEST_F(ProgressWindowTest, MoveToAnotherScalingResizesEverything) {
  RECT suggested{100, 50, 1000, 210};
  SendMessageA(window.mainWindow, WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  drain();
  RECT frame{}, client{}, button{};
  GetWindowRect(window.mainWindow, &frame);
  EXPECT_TRUE(EqualRect(&frame, &suggested));
  GetClientRect(window.mainWindow, &client);
  GetWindowRect(window.cancelButton, &button);
  MapWindowPoints(nullptr, window.mainWindow, reinterpret_cast<POINT*>(&button), 2);
  const RECT buttonExpected{client.right - 141, 9, client.right - 9, 57};
  EXPECT_TRUE(EqualRect(&button, &buttonExpected));
  for (HWND control : {window.statusLine1, window.statusLine2, window.cancelButton}) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -21);
  }
}

// Once shown, line 2 changes at most every STATUS_LINE2_PERIOD_MS of the
// window's clock: a text that comes sooner waits, its notification standing
// for every later one, and the latest text comes when the period is up.
TEST_F(ProgressWindowTest, ShownLine2ChangesAtMostOnceAPeriodEndingWithTheLatest) {
  ShowWindow(window.mainWindow, SW_SHOW);
  window.setStatusLine2("first");
  drain();
  testNow += STATUS_LINE2_PERIOD_MS - 1;
  window.setStatusLine2("second");
  EXPECT_EQ(dispatchLine2Notifications(), 1);
  window.setStatusLine2("latest");
  EXPECT_EQ(dispatchLine2Notifications(), 0);  // still pending: nothing posted
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), "first");
  // The rest of the period is the system's timer; the bound only ends a
  // test whose timer never comes.
  for (const DWORD start = GetTickCount(); controlText(IDC_STATUS_LINE2) == "first" && GetTickCount() - start < 30000;) {
    Sleep(5);
    drain();
  }
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), "latest");
  testNow += STATUS_LINE2_PERIOD_MS;  // a whole period after: at once
  window.setStatusLine2("next");
  EXPECT_EQ(dispatchLine2Notifications(), 1);
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), "next");
}

// In a session signed in at 96 DPI, a window on a monitor at 144 is framed
// by that monitor's caption, so its client area keeps its exact height.
TEST(ProgressWindowFrame, FollowsTheWindowsDpiNotTheSessions) {
  const FrameInsets at96 = frameInsets(96);
  const FrameInsets at144 = frameInsets(144);
  EXPECT_GT(at144.top, at96.top);
  const WindowSize size = windowSize(144, at144);
  EXPECT_EQ(size.height - at144.top - at144.bottom, 108);
}

TEST_F(ProgressWindowTest, StatusHandledAfterTheShowDelayShowsTheWindow) {
  drain();
  // Just before the show delay a notification only sets its text.
  testNow += SHOW_DELAY_MS - 1;
  window.setStatus("stage", "early");
  drain();
  EXPECT_FALSE(window.isVisible());

  // At the delay, with a busy worker keeping the timer back.
  testNow += 1;
  window.setStatus("stage 2", "first");
  window.setStatusLine2("latest");
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, window.mainWindow, WM_STATUS_LINE1, WM_STATUS_LINE1, PM_REMOVE));
  DispatchMessageA(&message);
  EXPECT_TRUE(window.isVisible());
  // Shown with both latest texts, though line 2's notification still waits.
  EXPECT_EQ(controlText(IDC_STATUS_LINE1), "stage 2");
  EXPECT_EQ(controlText(IDC_STATUS_LINE2), "latest");
}

// A window destroyed lets go of its font; a ProgressWindow destroyed before
// its window leaves the window to the default handling, so the messages
// still waiting for it (the close request among them) reach no freed object.
TEST_F(ProgressWindowTest, WindowAndObjectLetGoOfEachOther) {
  drain();
  const auto font = reinterpret_cast<HFONT>(SendMessageA(window.statusLine1, WM_GETFONT, 0, 0));
  LOGFONTA seen{};
  ASSERT_NE(GetObjectA(font, sizeof seen, &seen), 0);
  HWND main = window.mainWindow;
  window.closeWindow();
  DestroyWindow(main);
  EXPECT_EQ(GetObjectA(font, sizeof seen, &seen), 0);

  auto early = std::make_unique<ProgressWindow>();
  early->tickCount = testClock;
  ASSERT_TRUE(early->createWindow(GetModuleHandleA(nullptr)));
  HWND orphan = early->mainWindow;
  early->setStatus("stage", "entry");
  early.reset();
  EXPECT_EQ(GetWindowLongPtrA(orphan, GWLP_USERDATA), 0);
  drain();
  EXPECT_FALSE(IsWindow(orphan));  // by the close request, handled by default
}

}  // namespace
