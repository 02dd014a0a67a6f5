#include "testbed/window_peer.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "win/atoms.h"
#include "win/os_thread.h"
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

std::mutex g_printMutex;

void PrintLine(const std::string& line) {
  std::lock_guard lock(g_printMutex);
  std::cout << "window-peer: " << line << std::endl;
}

struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
};

class PeerWindow : public CWnd {
 public:
  explicit PeerWindow(Gate& gate) : gate_(gate) {}
  ~PeerWindow() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    static const UINT ping = RegisterWindowMessageA("TK_PEER_PING");
    if (message == ping) {
      PrintLine("registered " + std::to_string(wParam) + " " + std::to_string(lParam));
      return static_cast<LRESULT>(0x5A00 + wParam);
    }
    switch (message) {
      case kAdd:
        return static_cast<LRESULT>(wParam) + lParam;
      case kBlock: {
        PrintLine("blocked");
        std::unique_lock lock(gate_.mutex);
        gate_.cv.wait(lock, [&] { return gate_.open; });
        gate_.open = false;
        PrintLine("released");
        return 7;
      }
      case kLogPost:
        PrintLine("post " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 0;
      case kAtom: {
        char name[256];
        GlobalGetAtomNameA(static_cast<ATOM>(wParam), name, sizeof name);
        PrintLine(std::string("atom ") + name);
        return GlobalAddAtomA((std::string(name) + " back").c_str());
      }
      case kEnd:
        PostQuitMessage(0);
        return 0;
      case kCallBack:
        return 1000 + SendMessageA(static_cast<HWND>(lParam), kAdd, 3, 4);
      default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
  }

 private:
  Gate& gate_;
};

class ReleaseWindow : public CWnd {
 public:
  explicit ReleaseWindow(Gate& gate) : gate_(gate) {}
  ~ReleaseWindow() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != kRelease) return CWnd::WindowProc(message, wParam, lParam);
    std::lock_guard lock(gate_.mutex);
    gate_.open = true;
    gate_.cv.notify_all();
    return 1;
  }

 private:
  Gate& gate_;
};

void RunLoop() {
  MSG msg;
  while (GetMessageA(&msg, 0, 0, 0) > 0) DispatchMessageA(&msg);
}

}  // namespace

int RunWindowPeer(const char* name) {
  Gate gate;
  const std::string releaseName = std::string(name) + "-release";
  std::mutex readyMutex;
  std::condition_variable readyCv;
  DWORD releaseThread = 0;
  bool releaseReady = false;
  std::thread releaser([&] {
    ReleaseWindow window(gate);
    bool published = false;
    if (window.CreateHandle(WindowCreateParams{})) published = PublishWindow(window.m_hWnd, releaseName.c_str());
    MSG msg;
    PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);
    {
      std::lock_guard lock(readyMutex);
      releaseThread = published ? GetCurrentThreadId() : 0;
      releaseReady = true;
      readyCv.notify_all();
    }
    if (published) RunLoop();
  });
  {
    std::unique_lock lock(readyMutex);
    readyCv.wait(lock, [&] { return releaseReady; });
  }
  int status = 1;
  {
    PeerWindow window(gate);
    if (releaseThread != 0 && window.CreateHandle(WindowCreateParams{}) && PublishWindow(window.m_hWnd, name)) {
      char handle[16];
      std::snprintf(handle, sizeof handle, "%08X", static_cast<unsigned>(window.m_hWnd));
      PrintLine("ready pid=" + std::to_string(::getpid()) + " thread=" + std::to_string(GetCurrentThreadId()) +
                " window=" + handle + " ping=" + std::to_string(RegisterWindowMessageA("TK_PEER_PING")));
      RunLoop();
      status = 0;
    } else {
      PrintLine("could not publish " + std::string(name) + " (is TK_WINDOWS set?)");
    }
  }
  if (releaseThread != 0) PostThreadMessageA(releaseThread, WM_QUIT, 0, 0);
  releaser.join();
  PrintLine("ended");
  return status;
}
