// Shell open and the user's special folders.
//
// ShellExecuteA hands the file to xdg-open, detached, when xdg-open is on the
// PATH and a desktop is there (DISPLAY or WAYLAND_DISPLAY); otherwise the
// request is only recorded. It never waits for the opened program.
#pragma once

#include <string>
#include <vector>

#include "win/module.h"
#include "win/types.h"

constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_NOASSOC = 31;

// Above 32 on success, as in Windows; SE_ERR_FNF for a local file that does
// not exist, SE_ERR_NOASSOC for a verb other than "open" or a null one.
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* folder, int show);
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr unsigned long SEE_MASK_FLAG_NO_UI = 0x00000400;

struct SHELLEXECUTEINFOA {
  DWORD cbSize = sizeof(SHELLEXECUTEINFOA);
  unsigned long fMask = 0;
  HWND hwnd = 0;
  const char* lpVerb = nullptr;
  const char* lpFile = nullptr;
  const char* lpParameters = nullptr;
  const char* lpDirectory = nullptr;
  int nShow = 0;
  HINSTANCE hInstApp = nullptr;
};
// ShellExecuteA with the record's fields; TRUE on success, with the result in hInstApp.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);

// The value ShellExecuteA returned, as a number.
inline std::intptr_t ShellResultCode(HINSTANCE result) { return reinterpret_cast<std::intptr_t>(result); }

struct ShellRequest {
  std::string verb;
  std::string file;
  std::string parameters;
  std::string folder;
  int show = 0;
  bool launched = false;
};
std::vector<ShellRequest> ShellRequests();
void ClearShellRequests();
// Tests: false records without ever starting a program.
void SetShellLaunchEnabled(bool enabled);

constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_LOCAL_APPDATA = 0x001C;

// CSIDL_APPDATA: $XDG_CONFIG_HOME, else $HOME/.config; CSIDL_LOCAL_APPDATA:
// $XDG_DATA_HOME, else $HOME/.local/share; CSIDL_PERSONAL: $HOME. `path`
// holds MAX_PATH characters. With `create` the folder is made when missing.
BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int folder, BOOL create);
