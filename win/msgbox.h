// Message boxes: each prints "title: text" on stderr and is recorded. An
// answer a test has set wins; with a display the box is shown (waiting for
// the pilot on the UI thread, shown without waiting on any other thread,
// which takes the default button); otherwise the default button answers.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win/types.h"

constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_RETRYCANCEL = 0x0005;
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x0040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x00F0;
constexpr UINT MB_DEFBUTTON1 = 0x0000;
constexpr UINT MB_DEFBUTTON2 = 0x0100;
constexpr UINT MB_DEFBUTTON3 = 0x0200;
constexpr UINT MB_DEFMASK = 0x0F00;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The buttons of a box's type, left to right (MB_OK's for a type this layer
// does not know).
std::span<const int> MessageBoxButtons(UINT type);
// The button MB_DEFBUTTONn names; the last one when n lies past the end.
int DefaultMessageBoxAnswer(UINT type);

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
BOOL MessageBeep(UINT type);
// Beeps since start (nothing sounds without a display).
std::size_t MessageBeepCount();

struct MessageBoxRecord {
  std::string title;
  std::string text;
  UINT type = 0;
  HWND owner = 0;
};

// Every box shown since start (or since the last clear), oldest first.
std::vector<MessageBoxRecord> ShownMessageBoxes();
void ClearShownMessageBoxes();
// The answer every following box gives; nullopt restores the default button.
void SetMessageBoxAnswer(std::optional<int> answer);
// Silences the stderr copy (tests that expect many boxes).
void SetMessageBoxEcho(bool echo);
