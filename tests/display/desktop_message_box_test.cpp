#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "desktop_test_support.h"
#include "win/display/desktop_message_box.h"
#include "win/app.h"
#include "win/msgbox.h"
#include "win/timers.h"
#include "win/os_thread.h"
#include "win/window_pos.h"

namespace {

using desktop_test::DesktopHooksTest;
using desktop_test::Pilot;
using desktop_test::PumpUntil;
using desktop_test::RecordingWindow;
using Buttons = QList<QMessageBox::StandardButton>;

constexpr int kBoundMs = 10'000;
constexpr UINT kPing = WM_USER + 7;

Buttons ButtonsOf(const QMessageBox& box) {
  Buttons buttons;
  for (QAbstractButton* button : box.buttons()) buttons.push_back(box.standardButton(button));
  std::sort(buttons.begin(), buttons.end());
  return buttons;
}

QMessageBox* ModalBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

struct BoxKind {
  UINT type;
  Buttons buttons;
  QMessageBox::StandardButton byDefault;
  QMessageBox::Icon icon;
};

TEST(DesktopMessageBoxHeadless, WithoutADisplayEachTypeAnswersItsDefaultButtonAtOnce) {
  ASSERT_EQ(win::display::CurrentHooks(), nullptr);
  SetMessageBoxEcho(false);
  ClearShownMessageBoxes();
  const std::pair<UINT, int> cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, IDYES},
      {MB_YESNO | MB_DEFBUTTON3, IDNO},
      {MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {0x0006, IDOK},  // a type this layer does not know shows OK alone
  };
  for (const auto& [type, answer] : cases) EXPECT_EQ(MessageBoxA(0, "text", "caption", type), answer) << type;
  EXPECT_EQ(ShownMessageBoxes().size(), std::size(cases));
  ClearShownMessageBoxes();
  SetMessageBoxEcho(true);
}

class DesktopMessageBox : public DesktopHooksTest {};

TEST_F(DesktopMessageBox, EachTypeHasItsButtonsIconAndDefault) {
  const BoxKind kinds[] = {
      {MB_OK, {QMessageBox::Ok}, QMessageBox::Ok, QMessageBox::NoIcon},
      {MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONHAND, {QMessageBox::Ok, QMessageBox::Cancel}, QMessageBox::Cancel,
       QMessageBox::Critical},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3 | MB_ICONEXCLAMATION,
       {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}, QMessageBox::Ignore, QMessageBox::Warning},
      {MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION, {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel},
       QMessageBox::No, QMessageBox::Question},
      {MB_YESNO | MB_ICONASTERISK, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::Yes, QMessageBox::Information},
      // A default past the last button falls on the last one.
      {MB_YESNO | MB_DEFBUTTON3, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::No, QMessageBox::NoIcon},
      {MB_RETRYCANCEL, {QMessageBox::Retry, QMessageBox::Cancel}, QMessageBox::Retry, QMessageBox::NoIcon},
  };
  for (const BoxKind& kind : kinds) {
    SCOPED_TRACE(kind.type);
    std::unique_ptr<QMessageBox> box = win::display::MakeMessageBox("Text <b>", "Caption", kind.type);
    Buttons expected = kind.buttons;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ButtonsOf(*box), expected);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->standardButton(box->defaultButton()), kind.byDefault);
    EXPECT_EQ(box->icon(), kind.icon);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Caption"));
    EXPECT_EQ(box->text(), QStringLiteral("Text <b>"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
  }
}

TEST_F(DesktopMessageBox, TheProgramsCodePageReachesTheBox) {
  std::unique_ptr<QMessageBox> box = win::display::MakeMessageBox("Mise \xE0 jour", "R\xE9seau", MB_OK);
  EXPECT_EQ(box->text(), QString::fromUtf8("Mise \u00e0 jour"));
  EXPECT_EQ(box->windowTitle(), QString::fromUtf8("R\u00e9seau"));
}

struct Answered {
  UINT type;
  QMessageBox::StandardButton clicked;
  int answer;
};

TEST_F(DesktopMessageBox, OnTheUiThreadTheBoxWaitsForThePilotsAnswer) {
  const Answered cases[] = {
      {MB_OK, QMessageBox::Ok, IDOK},
      {MB_OKCANCEL, QMessageBox::Cancel, IDCANCEL},
      {MB_ABORTRETRYIGNORE, QMessageBox::Retry, IDRETRY},
      {MB_ABORTRETRYIGNORE, QMessageBox::Ignore, IDIGNORE},
      {MB_YESNOCANCEL, QMessageBox::No, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON2, QMessageBox::Yes, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, QMessageBox::Yes, IDYES},
      {MB_RETRYCANCEL, QMessageBox::Cancel, IDCANCEL},
  };
  for (const Answered& c : cases) {
    SCOPED_TRACE(c.clicked);
    bool wasModal = false;
    Pilot pilot([&] {
      QMessageBox* box = ModalBox();
      if (box == nullptr || !box->isVisible()) return false;
      wasModal = box->isModal();
      box->button(c.clicked)->click();
      return true;
    });
    EXPECT_EQ(MessageBoxA(0, "Leave the session?", "Network", c.type), c.answer);
    EXPECT_TRUE(pilot.Done());
    EXPECT_TRUE(wasModal);
  }
  EXPECT_EQ(ShownMessageBoxes().size(), std::size(cases));
}

TEST_F(DesktopMessageBox, ClosedWithoutAButtonTheBoxAnswersAsEscapeDoes) {
  const std::pair<UINT, int> cases[] = {
      {MB_OKCANCEL, IDCANCEL}, {MB_YESNOCANCEL, IDCANCEL}, {MB_OK, IDOK}, {MB_YESNO | MB_DEFBUTTON2, IDNO}};
  for (const auto& [type, answer] : cases) {
    Pilot pilot([] {
      QMessageBox* box = ModalBox();
      if (box == nullptr || !box->isVisible()) return false;
      box->done(0);
      return true;
    });
    EXPECT_EQ(MessageBoxA(0, "text", "caption", type), answer) << type;
  }
}

TEST_F(DesktopMessageBox, TheBoxStandsOverTheMiddleOfItsOwnersWindow) {
  RecordingWindow owner;
  ASSERT_TRUE(owner.CreateHandle({}));
  ASSERT_TRUE(MoveWindow(owner.m_hWnd, 200, 100, 600, 400, FALSE));
  RecordingWindow control;
  ASSERT_TRUE(control.CreateHandle({&owner, 5, 0, WS_CHILD}));
  ASSERT_TRUE(MoveWindow(control.m_hWnd, 10, 10, 80, 20, FALSE));
  // A control raising the box puts it over the middle of its window, not of itself.
  for (const HWND raiser : {owner.m_hWnd, control.m_hWnd}) {
    QPoint centre;
    Pilot pilot([&] {
      QMessageBox* box = ModalBox();
      if (box == nullptr || !box->isVisible()) return false;
      centre = box->geometry().center();
      box->button(QMessageBox::Ok)->click();
      return true;
    });
    MessageBoxA(raiser, "Connected", "Network", MB_OK);
    EXPECT_NEAR(centre.x(), 500, 2) << raiser;
    EXPECT_NEAR(centre.y(), 300, 2) << raiser;
  }
}

TEST_F(DesktopMessageBox, WhileTheBoxWaitsTheUiThreadServesOtherThreads) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateHandle({}));
  std::atomic<bool> sent{false};
  std::thread way;
  // The pilot answers only once a way thread's send and post to the UI
  // thread's window have both been handled: a loop that did not serve them
  // would leave the send waiting and the box unanswered until the bound.
  const auto started = std::chrono::steady_clock::now();
  Pilot pilot([&] {
    QMessageBox* box = ModalBox();
    if (box == nullptr || !box->isVisible()) return false;
    if (!way.joinable()) {
      way = std::thread([&] {
        SendMessageA(window.m_hWnd, kPing, 1, 0);
        sent = true;
        PostMessageA(window.m_hWnd, kPing, 2, 0);
      });
    }
    const bool served = sent && window.Got(kPing, 2);
    if (!served && std::chrono::steady_clock::now() - started < std::chrono::milliseconds(kBoundMs)) return false;
    box->button(QMessageBox::Ok)->click();
    return true;
  });
  MessageBoxA(window.m_hWnd, "Waiting", "Network", MB_OK);
  EXPECT_TRUE(sent);
  EXPECT_TRUE(window.Got(kPing, 1));
  EXPECT_TRUE(window.Got(kPing, 2));
  // Unblocks a send that was never served, so the thread can end.
  window.DestroyWindow();
  if (way.joinable()) way.join();
}

TEST_F(DesktopMessageBox, OnAnotherThreadTheBoxShowsAndTheDefaultAnswersAtOnce) {
  int answer = 0;
  // The UI thread is blocked in join: an answer that waited for the box would never come.
  std::thread way([&] { answer = MessageBoxA(0, "Server closed the link", "Link", MB_YESNO | MB_DEFBUTTON2); });
  way.join();
  EXPECT_EQ(answer, IDNO);
  ASSERT_EQ(ShownMessageBoxes().size(), 1u);
  QMessageBox* shown = nullptr;
  EXPECT_TRUE(PumpUntil(kBoundMs, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box != nullptr && box->isVisible() && box->text() == QStringLiteral("Server closed the link")) shown = box;
    }
    return shown != nullptr;
  }));
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(shown->isModal());
  shown->close();
}

TEST_F(DesktopMessageBox, AnAnswerSetByATestWinsWithoutShowing) {
  SetMessageBoxAnswer(IDRETRY);
  bool seen = false;
  Pilot pilot([&] {
    QMessageBox* box = ModalBox();
    if (box == nullptr) return false;
    seen = true;
    box->done(0);
    return true;
  });
  EXPECT_EQ(MessageBoxA(0, "text", "caption", MB_RETRYCANCEL | MB_DEFBUTTON2), IDRETRY);
  QCoreApplication::processEvents();
  EXPECT_FALSE(seen);
  EXPECT_EQ(ShownMessageBoxes().size(), 1u);
}

// Asks for the quit once the box shows; closes the box itself when the quit
// has not ended it within the bound, so a lost quit fails instead of hanging.
Pilot QuitThenForce(std::function<void()> quit, bool* forced) {
  auto asked = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
  return Pilot([quit = std::move(quit), forced, asked] {
    QMessageBox* box = ModalBox();
    if (box == nullptr || !box->isVisible()) return false;
    if (!*asked) {
      *asked = std::chrono::steady_clock::now();
      quit();
      return false;
    }
    if (std::chrono::steady_clock::now() - **asked < std::chrono::milliseconds(kBoundMs)) return false;
    *forced = true;
    box->done(0);
    return true;
  });
}

TEST_F(DesktopMessageBox, AQuitWhileTheBoxWaitsEndsItAndReachesTheOuterLoop) {
  bool forced = false;
  Pilot pilot = QuitThenForce([] { PostQuitMessage(3); }, &forced);
  EXPECT_EQ(MessageBoxA(0, "Leave the session?", "Network", MB_OKCANCEL), IDCANCEL);
  EXPECT_FALSE(forced);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

class QuitRecordingApp : public CWinApp {
 public:
  void OnQuitRequest() override {
    asked = true;
    CWinApp::OnQuitRequest();
  }
  bool asked = false;
};

TEST_F(DesktopMessageBox, ASignalsQuitRequestIsNotLostWhileTheBoxWaits) {
  QuitRecordingApp app;
  app.m_nThreadID = GetCurrentThreadId();
  bool forced = false;
  Pilot pilot = QuitThenForce([] { std::thread([] { RequestApplicationQuit(); }).join(); }, &forced);
  EXPECT_EQ(MessageBoxA(0, "Connected", "Network", MB_OK), IDOK);
  EXPECT_FALSE(forced);
  EXPECT_TRUE(app.asked);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
}

// The same boxes with the display's own wait registered: the loop sleeps in
// it and is woken, never polls.
class DesktopMessageBoxInTheDisplaysWait : public DesktopMessageBox {
 protected:
  void SetUp() override {
    withDisplayWait_ = true;
    DesktopMessageBox::SetUp();
  }
};

// Wakes a wait that nothing else would end, so a broken wake fails the test
// instead of hanging it.
Pilot Rescue(bool* rescued) {
  const auto started = std::chrono::steady_clock::now();
  return Pilot([started, rescued] {
    if (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(kBoundMs)) return false;
    *rescued = true;
    win::display::CurrentHooks()->wakeUiThread();
    return true;
  });
}

TEST_F(DesktopMessageBoxInTheDisplaysWait, TheAnswerEndsTheWait) {
  bool rescued = false;
  Pilot rescue = Rescue(&rescued);
  Pilot pilot([] {
    QMessageBox* box = ModalBox();
    if (box == nullptr || !box->isVisible()) return false;
    box->button(QMessageBox::Yes)->click();
    return true;
  });
  EXPECT_EQ(MessageBoxA(0, "Leave the session?", "Network", MB_YESNO | MB_DEFBUTTON2), IDYES);
  EXPECT_FALSE(rescued);
  EXPECT_FALSE(desktop_test::DisplayWaitTimes().empty());
}

TEST_F(DesktopMessageBoxInTheDisplaysWait, TheUiThreadsTimersFireWhileTheBoxWaits) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateHandle({}));
  ASSERT_NE(SetTimer(window.m_hWnd, 9, 30, nullptr), 0u);
  const auto started = std::chrono::steady_clock::now();
  Pilot pilot([&] {
    QMessageBox* box = ModalBox();
    if (box == nullptr || !box->isVisible()) return false;
    if (!window.Got(WM_TIMER, 9) && std::chrono::steady_clock::now() - started < std::chrono::milliseconds(kBoundMs)) {
      return false;
    }
    box->button(QMessageBox::Ok)->click();
    return true;
  });
  MessageBoxA(window.m_hWnd, "Connected", "Network", MB_OK);
  KillTimer(window.m_hWnd, 9);
  EXPECT_TRUE(window.Got(WM_TIMER, 9));
  for (const int asked : desktop_test::DisplayWaitTimes()) {
    EXPECT_GE(asked, 0);
    EXPECT_LE(asked, 30);
  }
}

TEST_F(DesktopMessageBoxInTheDisplaysWait, ABoxRaisedWhileAnotherWaitsIsAnsweredInItsTurn) {
  bool rescued = false;
  Pilot rescue = Rescue(&rescued);
  int inner = 0;
  // The second box comes from a toolkit event inside the first box's wait,
  // as one raised by a click handled meanwhile does.
  Pilot first([&] {
    QMessageBox* box = ModalBox();
    if (box == nullptr || !box->isVisible() || box->text() != QStringLiteral("first")) return false;
    inner = MessageBoxA(0, "second", "Network", MB_YESNO | MB_DEFBUTTON2);
    box->button(QMessageBox::Cancel)->click();
    return true;
  });
  Pilot second([] {
    QMessageBox* box = ModalBox();
    if (box == nullptr || !box->isVisible() || box->text() != QStringLiteral("second")) return false;
    box->button(QMessageBox::Yes)->click();
    return true;
  });
  EXPECT_EQ(MessageBoxA(0, "first", "Network", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(inner, IDYES);
  EXPECT_FALSE(rescued);
}

}  // namespace
