#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/wait_until.h"
#include "win/atoms.h"
#include "win/remote_windows.h"
#include "win/window.h"

namespace {

constexpr UINT kAdd = WM_USER + 1;
constexpr UINT kBlock = WM_USER + 2;
constexpr UINT kLogPost = WM_USER + 3;
constexpr UINT kAtom = WM_USER + 4;
constexpr UINT kEnd = WM_USER + 5;
constexpr UINT kRelease = WM_USER + 6;
constexpr UINT kCallBack = WM_USER + 7;

struct PeerReady {
  DWORD pid = 0;
  DWORD thread = 0;
  HWND hwnd = 0;
  UINT ping = 0;
};

// A tk_standins window peer publishing `name` in the folder TK_WINDOWS names.
class Peer {
 public:
  explicit Peer(const std::string& folder, const std::string& name)
      : process_(TK_STANDINS_BINARY, folder, {}, {"--window-peer", name}) {}

  std::optional<PeerReady> WaitReady() {
    static const std::regex ready(R"(ready pid=(\d+) thread=(\d+) window=([0-9A-F]{8}) ping=(\d+))");
    std::smatch match;
    std::string out;
    if (!WaitUntil(20000, [&] {
          out = process_.Stdout();
          return std::regex_search(out, match, ready);
        })) {
      return std::nullopt;
    }
    return PeerReady{static_cast<DWORD>(std::stoul(match[1])), static_cast<DWORD>(std::stoul(match[2])),
                     static_cast<HWND>(std::stoul(match[3], nullptr, 16)), static_cast<UINT>(std::stoul(match[4]))};
  }

  bool WaitForLine(const std::string& line) {
    return WaitUntil(20000, [&] { return process_.Stdout().find("window-peer: " + line + "\n") != std::string::npos; });
  }

  ChildProcess& Process() { return process_; }

 private:
  ChildProcess process_;
};

class RemoteWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    setenv("TK_WINDOWS", folder_.Path().c_str(), 1);
  }
  void TearDown() override { unsetenv("TK_WINDOWS"); }

  const std::string& Folder() const { return folder_.Path(); }

 private:
  TempFolder folder_;
};

TEST_F(RemoteWindowsTest, APeersWindowIsFoundByNameAndAnswersOnItsOwnerThread) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();

  EXPECT_EQ(FindWindowA("PeerA", nullptr), ready->hwnd);
  EXPECT_EQ(FindWindowA(nullptr, "peera"), ready->hwnd);
  EXPECT_EQ(FindWindowA("PeerA", "PeerA"), ready->hwnd);
  EXPECT_EQ(FindWindowA("PeerA", "Other"), 0u);
  EXPECT_EQ(FindWindowA("Peer", nullptr), 0u);

  EXPECT_EQ(SendMessageA(ready->hwnd, kAdd, 40, 2), 42);
  EXPECT_EQ(SendMessageA(ready->hwnd, kAdd, 0, -50), -50);
  UINT_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(ready->hwnd, kAdd, 5, 6, 0, 5000, &result), 1);
  EXPECT_EQ(result, 11u);

  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(ready->hwnd, &pid), ready->thread);
  EXPECT_EQ(pid, ready->pid);
  EXPECT_TRUE(IsWindow(ready->hwnd));

  EXPECT_TRUE(PostMessageA(ready->hwnd, kLogPost, 1, 2));
  EXPECT_TRUE(PostMessageA(ready->hwnd, kLogPost, 3, 4));
  ASSERT_TRUE(peer.WaitForLine("post 3 4"));
  const std::string out = peer.Process().Stdout();
  EXPECT_LT(out.find("post 1 2\n"), out.find("post 3 4\n"));

  EXPECT_TRUE(PostMessageA(ready->hwnd, kEnd, 0, 0));
  EXPECT_EQ(peer.Process().WaitForExit(20000), 0);
}

TEST_F(RemoteWindowsTest, ARegisteredMessageCrossesByItsName) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();
  // Our id for the name must differ from the peer's, or a crossing by number would pass too.
  for (int spacer = 0; RegisterWindowMessageA(("TK_PEER_SPACER_" + std::to_string(spacer)).c_str()) < ready->ping;) {
    ++spacer;
  }
  const UINT ping = RegisterWindowMessageA("TK_PEER_PING");
  ASSERT_NE(ping, ready->ping);

  EXPECT_EQ(SendMessageA(ready->hwnd, ping, 0x21, 9), 0x5A21);
  EXPECT_TRUE(PostMessageA(ready->hwnd, ping, 5, 6));
  EXPECT_TRUE(peer.WaitForLine("registered 5 6"));
  // The peer's own number means another message here.
  EXPECT_EQ(SendMessageA(ready->hwnd, ready->ping, 1, 1), 0);
}

TEST_F(RemoteWindowsTest, ASendTimesOutAgainstAStuckPeerAndTheLinkRecovers) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();
  const HWND release = FindWindowA("PeerA-release", nullptr);
  ASSERT_NE(release, 0u);

  auto stuck = std::async(std::launch::async, [&] {
    UINT_PTR result = 99;
    const LRESULT ok = SendMessageTimeoutA(ready->hwnd, kBlock, 0, 0, 0, 300, &result);
    return std::make_pair(ok, result);
  });
  // The peer stays stuck until released below: only the timeout can end the call.
  const bool ended = stuck.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  ASSERT_TRUE(peer.WaitForLine("blocked"));
  EXPECT_TRUE(ended);
  if (ended) {
    const auto [ok, result] = stuck.get();
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(result, 0u);
  }

  EXPECT_EQ(SendMessageA(release, kRelease, 0, 0), 1);
  ASSERT_TRUE(peer.WaitForLine("released"));
  EXPECT_EQ(SendMessageA(ready->hwnd, kAdd, 1, 1), 2);
  if (!ended) stuck.wait();
}

// Answers kAdd as the peer does.
class Adder : public CWnd {
 public:
  ~Adder() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kAdd) return static_cast<LRESULT>(wParam) + lParam;
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

TEST_F(RemoteWindowsTest, APeerSendingBackWhileWeWaitIsServed) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();
  Adder ours;
  ASSERT_TRUE(ours.CreateHandle(WindowCreateParams{}));
  ASSERT_TRUE(PublishWindow(ours.m_hWnd, "Ours"));
  // The peer's procedure sends to our window while this thread waits for its answer.
  UINT_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(ready->hwnd, kCallBack, 0, static_cast<LPARAM>(ours.m_hWnd), 0, 20000, &result), 1);
  EXPECT_EQ(result, 1007u);
}

TEST_F(RemoteWindowsTest, CallsToADeadPeerFail) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();
  ASSERT_EQ(SendMessageA(ready->hwnd, kAdd, 2, 3), 5);  // a connection is kept idle now

  peer.Process().Signal(SIGKILL);
  ASSERT_EQ(peer.Process().WaitForExit(20000), 128 + SIGKILL);

  EXPECT_EQ(SendMessageA(ready->hwnd, kAdd, 2, 3), 0);
  UINT_PTR result = 77;
  EXPECT_EQ(SendMessageTimeoutA(ready->hwnd, kAdd, 2, 3, 0, 5000, &result), 0);
  EXPECT_EQ(result, 0u);
  EXPECT_FALSE(PostMessageA(ready->hwnd, kLogPost, 0, 0));
  EXPECT_FALSE(IsWindow(ready->hwnd));
  DWORD pid = 5;
  EXPECT_EQ(GetWindowThreadProcessId(ready->hwnd, &pid), 0u);
  // Its socket file is left behind, but nobody answers on it.
  EXPECT_EQ(FindWindowA("PeerA", nullptr), 0u);
}

TEST_F(RemoteWindowsTest, AtomsAreSharedThroughTheFolder) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();

  const ATOM atom = GlobalAddAtomA("Tk shared block 1");
  ASSERT_GE(atom, 0xC000);
  const ATOM back = static_cast<ATOM>(SendMessageA(ready->hwnd, kAtom, atom, 0));
  EXPECT_TRUE(peer.WaitForLine("atom Tk shared block 1"));
  ASSERT_NE(back, 0);
  EXPECT_NE(back, atom);
  char name[64] = "";
  EXPECT_EQ(GlobalGetAtomNameA(back, name, sizeof name), 22u);
  EXPECT_STREQ(name, "Tk shared block 1 back");
  EXPECT_EQ(GlobalFindAtomA("TK SHARED BLOCK 1 BACK"), back);

  EXPECT_EQ(GlobalDeleteAtom(back), 0);
  EXPECT_EQ(GlobalFindAtomA("Tk shared block 1 back"), 0);
  EXPECT_EQ(GlobalDeleteAtom(atom), 0);
  EXPECT_EQ(GlobalFindAtomA("Tk shared block 1"), 0);
  // Gone for the peer too: it reads an empty name.
  SendMessageA(ready->hwnd, kAtom, atom, 0);
  EXPECT_TRUE(peer.WaitForLine("atom "));
}

TEST_F(RemoteWindowsTest, EachProcessGivesHandlesNoOtherSharingTheFolderGives) {
  Peer first(Folder(), "PeerA");
  Peer second(Folder(), "PeerB");
  const std::optional<PeerReady> a = first.WaitReady();
  const std::optional<PeerReady> b = second.WaitReady();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->hwnd, b->hwnd);
  EXPECT_NE(a->hwnd >> 24, b->hwnd >> 24);
  EXPECT_EQ(SendMessageA(a->hwnd, kAdd, 1, 0), 1);
  EXPECT_EQ(SendMessageA(b->hwnd, kAdd, 2, 0), 2);
}

TEST_F(RemoteWindowsTest, ANameALiveProcessPublishesCannotBeTakenByAnother) {
  Peer first(Folder(), "PeerA");
  ASSERT_TRUE(first.WaitReady());
  Peer second(Folder(), "peerA");
  EXPECT_EQ(second.Process().WaitForExit(20000), 1);
  EXPECT_NE(second.Process().Stdout().find("could not publish peerA"), std::string::npos);
  EXPECT_NE(FindWindowA("PeerA", nullptr), 0u);
}

TEST_F(RemoteWindowsTest, WithoutTheFolderNothingOfAnotherProcessIsFound) {
  Peer peer(Folder(), "PeerA");
  const std::optional<PeerReady> ready = peer.WaitReady();
  ASSERT_TRUE(ready) << peer.Process().Stderr();
  ASSERT_EQ(FindWindowA("PeerA", nullptr), ready->hwnd);

  unsetenv("TK_WINDOWS");
  EXPECT_EQ(FindWindowA("PeerA", nullptr), 0u);
  EXPECT_EQ(SendMessageA(ready->hwnd, kAdd, 1, 1), 0);
  EXPECT_FALSE(PostMessageA(ready->hwnd, kLogPost, 1, 1));
  EXPECT_FALSE(IsWindow(ready->hwnd));
  CWnd local;
  ASSERT_TRUE(local.CreateHandle(WindowCreateParams{}));
  EXPECT_FALSE(PublishWindow(local.m_hWnd, "Local"));

  setenv("TK_WINDOWS", Folder().c_str(), 1);
  EXPECT_EQ(FindWindowA("PeerA", nullptr), ready->hwnd);
}

TEST_F(RemoteWindowsTest, APublishedWindowLeavesTheFolderWhenDestroyed) {
  CWnd local;
  ASSERT_TRUE(local.CreateHandle(WindowCreateParams{}));
  const HWND hwnd = local.m_hWnd;
  EXPECT_FALSE(PublishWindow(hwnd, ""));
  EXPECT_FALSE(PublishWindow(hwnd, "a/b"));
  EXPECT_FALSE(PublishWindow(hwnd, std::string(65, 'x').c_str()));
  ASSERT_TRUE(PublishWindow(hwnd, "LocalOne"));
  EXPECT_FALSE(PublishWindow(hwnd, "LocalTwo"));
  EXPECT_EQ(FindWindowA("LOCALONE", nullptr), hwnd);

  char name[16];
  std::snprintf(name, sizeof name, "%08X", static_cast<unsigned>(hwnd));
  const std::string path = Folder() + "/" + name + "-LocalOne";
  struct stat seen {};
  EXPECT_EQ(stat(path.c_str(), &seen), 0);
  local.DestroyWindow();
  EXPECT_NE(stat(path.c_str(), &seen), 0);
  EXPECT_EQ(FindWindowA("LocalOne", nullptr), 0u);
}

}  // namespace
