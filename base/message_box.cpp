#include "base/message_box.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "win/msgbox.h"

namespace {
std::atomic<HWND> g_mainWindow{0};

bool Contains(std::string_view text, std::string_view word) { return text.find(word) != std::string_view::npos; }
}  // namespace

UINT MessageIconForTitle(std::string_view title) {
  UINT icon = MB_ICONERROR;
  if (Contains(title, "Attention") || Contains(title, "Warning")) icon = MB_ICONWARNING;
  if (Contains(title, "Erreur") || Contains(title, "Error")) icon = MB_ICONERROR;
  if (Contains(title, "Information") || Contains(title, "Informations")) icon = MB_ICONINFORMATION;
  return icon;
}

int ShowMessage(const char* title, const char* format, ...) {
  std::array<char, kMessageTextSize> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format != nullptr ? format : "", args);
  va_end(args);
  const char* shownTitle = title != nullptr ? title : "";
  return MessageBoxA(0, text.data(), shownTitle,
                     MB_OK | MessageIconForTitle(shownTitle) | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST);
}

int ShowMessageWnd(UINT type, UINT defaultButton, HWND owner, const char* title, const char* format, ...) {
  if (owner == 0) owner = g_mainWindow.load();
  if (owner == 0) return 0;
  std::array<char, kMessageTextSize> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format != nullptr ? format : "", args);
  va_end(args);
  if (defaultButton != MB_DEFBUTTON2 && defaultButton != MB_DEFBUTTON3) defaultButton = 0;
  return MessageBoxA(owner, text.data(), title != nullptr ? title : "",
                     type | defaultButton | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST);
}

void PlayDefaultBeep() { MessageBeep(0xFFFFFFFF); }

void SetMessageBoxMainWindow(HWND window) { g_mainWindow.store(window); }
