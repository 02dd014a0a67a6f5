// The program on a virtual X screen (Xvfb), when the machine has one.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "e2e_client_fixture.h"

namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";

// A virtual X server of its own, on the first display number nobody holds.
class VirtualScreen {
 public:
  // The server picks a free display number itself and tells it through a
  // pipe, so that tests side by side never take the same one.
  explicit VirtualScreen(const std::string& folder) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    server_ = std::make_unique<ChildProcess>(
        kXvfb, folder, std::vector<std::string>{},
        std::vector<std::string>{"-displayfd", std::to_string(pipeEnds[1]), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp"});
    close(pipeEnds[1]);
    std::string told;
    pollfd wait{pipeEnds[0], POLLIN, 0};
    char byte = 0;
    while (told.find('\n') == std::string::npos && poll(&wait, 1, 20'000) == 1 && read(pipeEnds[0], &byte, 1) == 1) {
      told += byte;
    }
    close(pipeEnds[0]);
    if (told.empty() || told.find('\n') == std::string::npos) return;
    number_ = std::stoi(told);
    ready_ = server_->Running();
  }
  // Ended as a server asked to end, which takes its socket and lock with it;
  // those of one that was killed are taken away here.
  ~VirtualScreen() {
    if (!server_) return;
    if (server_->Running()) {
      server_->Signal(SIGTERM);
      server_->WaitForExit(10'000);
    }
    // A server that never came up may have lost its number to another one.
    if (server_->Running() || !ready_) return;
    std::error_code ignored;
    std::filesystem::remove("/tmp/.X" + std::to_string(number_) + "-lock", ignored);
    std::filesystem::remove("/tmp/.X11-unix/X" + std::to_string(number_), ignored);
  }
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;
  bool Ready() const { return ready_; }
  std::string Name() const { return ":" + std::to_string(number_); }
  // The server gone, as a desktop session that ends.
  void Kill() { server_->Signal(SIGKILL); server_->WaitForExit(10'000); }
  // A left click at a point of the window `id` (its own coordinates), as the user's hand.
  void ClickIn(const std::string& folder, const std::string& id, int x, int y) const {
    ChildProcess click(kXdotool, folder, {"DISPLAY=" + Name()},
                       {"mousemove", "--sync", "--window", id, std::to_string(x), std::to_string(y), "click", "1"});
    click.WaitForExit(10'000);
  }
  // The window moved by the desktop, as the user drags it.
  void Move(const std::string& folder, const std::string& id, int x, int y) const {
    ChildProcess move(kXdotool, folder, {"DISPLAY=" + Name()},
                      {"windowmove", "--sync", id, std::to_string(x), std::to_string(y)});
    move.WaitForExit(10'000);
  }
  // A key pressed in the window `id`, given the keyboard focus first.
  void PressKeyIn(const std::string& folder, const std::string& id, const std::string& key) const {
    ChildProcess press(kXdotool, folder, {"DISPLAY=" + Name()},
                       {"windowfocus", "--sync", id, "key", "--clearmodifiers", key});
    press.WaitForExit(10'000);
  }
  // The ids of the visible windows titled `title`, one a line.
  std::string WindowsTitled(const std::string& folder, const std::string& title) const {
    ChildProcess search(kXdotool, folder, {"DISPLAY=" + Name()},
                        {"search", "--onlyvisible", "--name", "^" + title + "$"});
    search.WaitForExit(10'000);
    return search.Stdout();
  }

 private:
  int number_ = 0;
  std::unique_ptr<ChildProcess> server_;
  bool ready_ = false;
};

class DisplayEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    if (access(kXvfb, X_OK) != 0 || access(kXdotool, X_OK) != 0) GTEST_SKIP() << "no Xvfb or xdotool here";
    ClientEndToEnd::SetUp();
    screen_ = std::make_unique<VirtualScreen>(tree_.Path());
    ASSERT_TRUE(screen_->Ready());
  }
  void TearDown() override {
    ClientEndToEnd::TearDown();
    screen_.reset();
  }

  std::unique_ptr<VirtualScreen> screen_;
};

TEST_F(DisplayEndToEnd, TheMainDialogShowsOnTheScreenAndTheScreenGoingEndsTheProgramInOrder) {
  environment_ = {"DISPLAY=" + screen_->Name(), "TK_HEADLESS=0"};
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  std::string shown;
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] {
    shown = screen_->WindowsTitled(tree_.Path(), "Tavelkor");
    return !shown.empty();
  })) << client_->Stderr();
  screen_->Kill();
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

// The Connect button, a painted control, takes the user's click on the screen.
TEST_F(DisplayEndToEnd, AClickOnTheConnectButtonOnTheScreenLogsIn) {
  environment_ = {"DISPLAY=" + screen_->Name(), "TK_HEADLESS=0"};
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  std::string shown;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    shown = screen_->WindowsTitled(tree_.Path(), "Tavelkor");
    return !shown.empty();
  })) << client_->Stderr();
  const std::string window = shown.substr(0, shown.find('\n'));
  Ask("command 7055 33000");  // the first server of the "Servers ..." menu
  // The button stands at 2,2 and is 40 by 40: its middle.
  screen_->ClickIn(tree_.Path(), window, 22, 22);
  // The node's welcome is a box on the screen that waits for the pilot.
  std::string box;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    box = screen_->WindowsTitled(tree_.Path(), "Information on ORVENA");
    return !box.empty();
  })) << client_->Stderr();
  screen_->PressKeyIn(tree_.Path(), box.substr(0, box.find('\n')), "Return");
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return screen_->WindowsTitled(tree_.Path(), "Information on ORVENA").empty(); }))
      << "the box is answered and gone";
  EXPECT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096"))
      << client_->Stderr();
  Quit();
}

// Dragged on the desktop, the main dialog is where the program keeps its place.
TEST_F(DisplayEndToEnd, TheMainDialogMovedOnTheScreenIsSavedWhereItWasPut) {
  environment_ = {"DISPLAY=" + screen_->Name(), "TK_HEADLESS=0"};
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  std::string shown;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    shown = screen_->WindowsTitled(tree_.Path(), "Tavelkor");
    return !shown.empty();
  })) << client_->Stderr();
  screen_->Move(tree_.Path(), shown.substr(0, shown.find('\n')), 333, 222);
  Quit();
  std::ifstream ini(program_ + "/Tavelkor.ini", std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(saved.find("MainPositionLeft=333"), std::string::npos) << saved;
  EXPECT_NE(saved.find("MainPositionTop=222"), std::string::npos) << saved;
}

// A desktop named that cannot be reached: the program runs headless.
TEST_F(ClientEndToEnd, ADesktopThatCannotBeReachedLeavesTheProgramHeadless) {
  environment_ = {"DISPLAY=:239", "TK_HEADLESS=0"};
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  PressConnect();
  EXPECT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096"))
      << client_->Stderr();
  Quit();
}

TEST_F(DisplayEndToEnd, AskedToBeHeadlessItShowsNothingThoughAScreenIsThere) {
  environment_ = {"DISPLAY=" + screen_->Name(), "TK_HEADLESS=1"};
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  // The main dialog is shown by its model; no window of it is on the screen.
  ASSERT_TRUE(Shows("window 7055 visible=1"));
  EXPECT_EQ(screen_->WindowsTitled(tree_.Path(), "Tavelkor"), "");
}

}  // namespace
