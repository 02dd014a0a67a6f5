#include "testbed/bridge_standin.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "win/clock.h"
#include "win/remote_windows.h"
#include "win/shared_memory.h"
#include "win/window.h"

namespace bridge_standin {

const std::vector<BufferText>& ScriptTexts() {
  static const std::vector<BufferText> texts = {
      {0, "Bridge module says hello"},
      {200, "printed in green"},
      {400, "in colour 123456"},
      {600, "shown in bold"},
      {kBufferSize - 5, "TAIL!", false},
  };
  return texts;
}

const std::vector<BridgeSend>& ScriptSends() {
  static const std::vector<BridgeSend> sends = {
      {104, 0},
      {105, 0x20C040},
      {104, 200},
      {105, 0x123456},
      {104, 400},
      {105, 0},
      {102, 1},
      {104, 600},
      {102, 0},
      {103, static_cast<std::int64_t>(kBufferSize - 5)},
      {103, static_cast<std::int64_t>(kBufferSize)},
      {104, -1},
      {104, 0x7FFFFFFF},
      {100, 0},
      {101, 0},
      {106, 0},
      {107, 0},
      {2, 0},
      {99, 0},
      {108, 0},
      {999, 0},
      {1299, 0},
      {1301, 0},
      {1319, 0},
      {1321, 0},
      {5000, 0},
      {1320, 0},
  };
  return sends;
}

}  // namespace bridge_standin

namespace {

using namespace bridge_standin;

constexpr UINT kRunScript = WM_USER + 1;
constexpr int kFindMs = 30'000;

void PrintLine(const std::string& line) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::cout << "bridge: " << line << std::endl;
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

class ModuleWindow : public CWnd {
 public:
  ModuleWindow(HWND client, DWORD clientPid) : client_(client), clientPid_(clientPid) {}
  ~ModuleWindow() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    static const UINT bridgeMessage = RegisterWindowMessageA("TAVELKOR_MSG");
    if (message == kRunScript) {
      RunScript();
      return 0;
    }
    if (message != bridgeMessage) return CWnd::WindowProc(message, wParam, lParam);
    PrintLine("post " + std::to_string(wParam) + " " + Hex(static_cast<std::uint64_t>(lParam)));
    if (wParam == 1001 && !scriptRun_) {
      scriptRun_ = true;
      PostMessage(kRunScript);
    } else if (wParam == 1300) {
      PrintLine("client gone " + Hex(static_cast<std::uint64_t>(lParam)));
      PostQuitMessage(0);
    }
    return 0;
  }

  void Send(std::uint32_t code, std::int64_t value) {
    static const UINT bridgeMessage = RegisterWindowMessageA("TAVELKOR_MSG");
    UINT_PTR answer = 0;
    const bool ok = SendMessageTimeoutA(client_, bridgeMessage, code, static_cast<LPARAM>(value), 0, 20'000, &answer) != 0;
    PrintLine("sent " + std::to_string(code) + " " + std::to_string(value) +
              (ok ? " answered " + std::to_string(answer) : std::string(" failed")));
  }

 private:
  void RunScript() {
    const std::string name = "TavelkorBridge." + std::to_string(clientPid_) + ".1";
    win::SharedMemory buffer;
    if (!buffer.Open(name, kBufferSize)) {
      PrintLine("could not open " + name);
      return;
    }
    PrintLine("opened " + name);
    const auto bytes = buffer.Bytes();
    for (const BufferText& text : ScriptTexts()) {
      std::copy(text.text.begin(), text.text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(text.offset));
      if (text.terminated) bytes[text.offset + text.text.size()] = 0;
    }
    for (const BridgeSend& send : ScriptSends()) Send(send.code, send.value);
    PrintLine("script done");
  }

  HWND client_;
  DWORD clientPid_;
  bool scriptRun_ = false;
};

// The client may still be starting: it is looked for until it is there.
HWND FindClient() {
  const std::uint64_t until = GetTickCount64() + kFindMs;
  for (;;) {
    if (const HWND found = FindWindowA(nullptr, "Tavelkor")) return found;
    if (GetTickCount64() >= until) return 0;
    usleep(100'000);
  }
}

}  // namespace

int RunBridgeModule() {
  const HWND client = FindClient();
  if (client == 0) {
    PrintLine("Tavelkor not found (is TK_WINDOWS set?)");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(client, &pid);
  PrintLine("found Tavelkor " + Hex(client) + " pid " + std::to_string(pid));
  ModuleWindow window(client, pid);
  if (!window.CreateHandle(WindowCreateParams{}) || !PublishWindow(window.m_hWnd, "TavelkorBridgeModule")) {
    PrintLine("could not publish TavelkorBridgeModule");
    return 1;
  }
  MSG msg;
  PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);
  window.Send(0, static_cast<std::int64_t>(window.m_hWnd));
  while (GetMessageA(&msg, 0, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
