// The program on a virtual X screen (Xvfb), when the machine has one.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/text_records.h"

namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";
constexpr const char* kImport = "/usr/bin/import";

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

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
  // A click at a point of the window `id` (its own coordinates), as the user's
  // hand: button 1 is the left one, 3 the right one.
  void ClickIn(const std::string& folder, const std::string& id, int x, int y, int button = 1) const {
    ChildProcess click(kXdotool, folder, {"DISPLAY=" + Name()},
                       {"mousemove", "--sync", "--window", id, std::to_string(x), std::to_string(y), "click",
                        std::to_string(button)});
    click.WaitForExit(10'000);
  }
  // A left click at a point of the screen.
  void ClickAt(const std::string& folder, int x, int y) const {
    ChildProcess click(kXdotool, folder, {"DISPLAY=" + Name()},
                       {"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    click.WaitForExit(10'000);
  }
  // Typed on the keyboard into whatever has the focus, then a key pressed.
  void Type(const std::string& folder, const std::string& text, const std::string& thenKey) const {
    // `type` takes every word after it as text: the key is a run of its own.
    ChildProcess type(kXdotool, folder, {"DISPLAY=" + Name()}, {"type", "--delay", "20", text});
    type.WaitForExit(20'000);
    ChildProcess press(kXdotool, folder, {"DISPLAY=" + Name()}, {"key", "--clearmodifiers", thenKey});
    press.WaitForExit(10'000);
  }
  // Where the window `id` is on the screen and how big.
  std::optional<ScreenRect> Geometry(const std::string& folder, const std::string& id) const {
    ChildProcess ask(kXdotool, folder, {"DISPLAY=" + Name()}, {"getwindowgeometry", "--shell", id});
    ask.WaitForExit(10'000);
    ScreenRect rect;
    int fields = 0;
    for (const std::string& line : Lines(ask.Stdout())) {
      const std::size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string name = line.substr(0, equals);
      int* field = name == "X" ? &rect.x : name == "Y" ? &rect.y : name == "WIDTH" ? &rect.width
                   : name == "HEIGHT" ? &rect.height : nullptr;
      if (field == nullptr) continue;
      *field = std::stoi(line.substr(equals + 1));
      ++fields;
    }
    if (fields != 4) return std::nullopt;
    return rect;
  }
  // The whole screen as a PNG file.
  bool Screenshot(const std::string& folder, const std::string& file) const {
    ChildProcess shot(kImport, folder, {}, {"-display", Name(), "-window", "root", file});
    return shot.WaitForExit(30'000) == 0 && std::filesystem::file_size(file) > 0;
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
    return WindowsNamed(folder, "^" + title + "$");
  }
  // The same for a title that matches the expression `pattern` (case ignored).
  std::string WindowsNamed(const std::string& folder, const std::string& pattern) const {
    ChildProcess search(kXdotool, folder, {"DISPLAY=" + Name()}, {"search", "--onlyvisible", "--name", pattern});
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

  // The client started on the screen, in its session with the chooser closed;
  // `window` is the main dialog's window id there.
  void StartShown(std::string& window) {
    environment_ = {"DISPLAY=" + screen_->Name(), "TK_HEADLESS=0"};
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
    std::string shown;
    ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
      shown = screen_->WindowsTitled(tree_.Path(), "Tavelkor");
      return !shown.empty();
    })) << client_->Stderr();
    window = shown.substr(0, shown.find('\n'));
  }

  std::unique_ptr<VirtualScreen> screen_;
};

TEST_F(DisplayEndToEnd, TheMainDialogShowsOnTheScreenAndTheScreenGoingEndsTheProgramInOrder) {
  std::string window;
  ASSERT_NO_FATAL_FAILURE(StartShown(window));
  screen_->Kill();
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

// The Connect button, a painted control, takes the user's click on the screen.
TEST_F(DisplayEndToEnd, AClickOnTheConnectButtonOnTheScreenLogsIn) {
  std::string window;
  ASSERT_NO_FATAL_FAILURE(StartShown(window));
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

// A pop-up menu is a window of its own: the first window shown that is none
// of `known` (which it joins), within the time.
std::string NextMenuWindow(const VirtualScreen& screen, const std::string& folder, std::vector<std::string>& known) {
  std::string found;
  WaitUntil(20'000, [&] {
    for (const std::string& id : Lines(screen.WindowsNamed(folder, ""))) {
      if (std::find(known.begin(), known.end(), id) == known.end()) {
        found = id;
        return true;
      }
    }
    return false;
  });
  if (!found.empty()) known.push_back(found);
  return found;
}

std::vector<TextOnAirRecord> OnAirTexts(const PilotPeer& peer) {
  std::vector<TextOnAirRecord> texts;
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.type != NCSMSG_TEXT_ON_AIR) continue;
    TextOnAirRecordBytes bytes{};
    if (UnpackCompressedRecord(frame.body, bytes) == kRecordOk) texts.push_back(ReadTextOnAirRecord(bytes));
  }
  return texts;
}

// Where the test's pictures go: the build folder's Testing folder, kept with
// the test's output.
std::string PicturePath(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(TK_BINARY).parent_path() / "Testing" / "display";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return (folder / name).string();
}

// The whole way a pilot goes with the mouse and the keyboard alone: the
// server picked from the context menu, Connect, the welcome answered, and a
// line typed into the chat that a pilot on the frequency receives.
TEST_F(DisplayEndToEnd, ThePilotPicksTheServerConnectsAndChatsWithTheMouseAndTheKeyboard) {
  if (access(kImport, X_OK) != 0) GTEST_SKIP() << "no import here for the screenshot";
  std::string window;
  ASSERT_NO_FATAL_FAILURE(StartShown(window));
  std::vector<std::string> known = Lines(screen_->WindowsNamed(tree_.Path(), ""));

  // A right click on the "Transmit" label (206,16 and 60 by 12) opens the
  // context menu; "Servers ..." is its first row, its first slot the first
  // row of the menu that opens beside it. A row is some 20 pixels high, a
  // point 12 pixels below a menu's top is inside its first row.
  screen_->ClickIn(tree_.Path(), window, 240, 22, 3);
  const std::string menu = NextMenuWindow(*screen_, tree_.Path(), known);
  ASSERT_FALSE(menu.empty()) << "no context menu on the screen" << client_->Stderr();
  const std::optional<ScreenRect> menuAt = screen_->Geometry(tree_.Path(), menu);
  ASSERT_TRUE(menuAt.has_value());
  screen_->ClickAt(tree_.Path(), menuAt->x + 30, menuAt->y + 12);
  const std::string servers = NextMenuWindow(*screen_, tree_.Path(), known);
  ASSERT_FALSE(servers.empty()) << "the \"Servers ...\" menu did not open";
  const std::optional<ScreenRect> serversAt = screen_->Geometry(tree_.Path(), servers);
  ASSERT_TRUE(serversAt.has_value());
  screen_->ClickAt(tree_.Path(), serversAt->x + 30, serversAt->y + 12);
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    const std::vector<std::string> now = Lines(screen_->WindowsNamed(tree_.Path(), ""));
    return std::find(now.begin(), now.end(), menu) == now.end() && std::find(now.begin(), now.end(), servers) == now.end();
  }))
      << "the menus close once the slot is chosen";
  // The slot chosen names its site in the chat window.
  ASSERT_TRUE(Shows("control 7057 7217 kind=edit visible=1 enabled=1 text=localhost")) << client_->Stderr();

  screen_->ClickIn(tree_.Path(), window, 22, 22);
  std::string box;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    box = screen_->WindowsTitled(tree_.Path(), "Information on ORVENA");
    return !box.empty();
  })) << client_->Stderr();
  screen_->PressKeyIn(tree_.Path(), Lines(box).front(), "Return");
  ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096"))
      << client_->Stderr();

  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(Admit(peer));
  // The chat window's caption ends with the program's version; its input
  // line stands at 2,186 and is 230 by 14.
  std::string chat;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    chat = screen_->WindowsNamed(tree_.Path(), "Tavelkor v[0-9]");
    return !chat.empty();
  })) << client_->Stderr();
  screen_->ClickIn(tree_.Path(), Lines(chat).front(), 100, 193);
  screen_->Type(tree_.Path(), "radio check", "Return");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return !OnAirTexts(peer).empty(); })) << client_->Stderr();
  const TextOnAirRecord heard = OnAirTexts(peer).front();
  EXPECT_EQ(heard.sender, "TEST01");
  EXPECT_EQ(heard.text, "radio check");
  EXPECT_DOUBLE_EQ(heard.frequencyMhz, 122.8);
  const std::vector<std::string> runs = Ask("runs 7057 7005");
  EXPECT_TRUE(std::any_of(runs.begin(), runs.end(), [](const std::string& run) {
    return run.find("122.80 Mhz : radio check") != std::string::npos;
  })) << "the chat shows the line sent";

  const std::string picture = PicturePath("pilot_connects_and_chats.png");
  EXPECT_TRUE(screen_->Screenshot(tree_.Path(), picture)) << picture;
  std::cout << "[ screenshot ] " << picture << "\n";
  Quit();
}

// Dragged on the desktop, the main dialog is where the program keeps its place.
TEST_F(DisplayEndToEnd, TheMainDialogMovedOnTheScreenIsSavedWhereItWasPut) {
  std::string window;
  ASSERT_NO_FATAL_FAILURE(StartShown(window));
  screen_->Move(tree_.Path(), window, 333, 222);
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
