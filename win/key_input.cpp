#include "win/key_input.h"

#include "win/app.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/window.h"

namespace win {
namespace {

void Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND target = GetFocus();
  if (CWnd* main = AfxGetMainWnd(); target == 0 && main != nullptr) target = main->m_hWnd;
  if (target == 0) return;
  MSG msg{};
  msg.hwnd = target;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  CWinApp* app = AfxGetApp();
  if (app == nullptr || !app->PreTranslateMessage(&msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

void DeliverKeyMessage(int vk, bool down) {
  // A repeat count of one; a release has the previous-state and transition bits.
  Deliver(down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk), down ? 0x00000001 : static_cast<LPARAM>(0xC0000001));
}

void DeliverKey(int vk, bool down) {
  SetKeyState(vk, down);
  DeliverKeyMessage(vk, down);
}

void DeliverChar(unsigned char ch) { Deliver(WM_CHAR, static_cast<WPARAM>(ch), 0x00000001); }

}  // namespace win
