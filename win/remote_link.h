// The calls that reach a window of another process. Internal to win/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win/types.h"

namespace win::detail {

enum class RemoteKind : std::uint8_t { Send = 1, Post = 2, Alive = 3 };

// The folder TK_WINDOWS names, or empty when it is unset.
std::string WindowsFolder();

// The handles this process gives its windows, [first, end). With TK_WINDOWS
// set the process claims one of the folder's handle ranges for its lifetime.
struct HandleRange {
  HWND first = 0;
  HWND end = 0;
};
HandleRange ClaimHandleRange();

// The folder's socket files: "<handle in 8 hex digits>-<name>".
struct PublishedEntry {
  HWND hwnd = 0;
  std::string name;
  std::string path;
};
bool IsPublishableName(std::string_view name);
std::string PublishedPath(const std::string& folder, HWND hwnd, std::string_view name);
std::vector<PublishedEntry> ListPublished(const std::string& folder);
// A connected stream socket, or -1.
int ConnectPublished(const std::string& path);
bool SameNameNoCase(std::string_view a, std::string_view b);

// Runs `kind` on a window of another process. timeoutMs < 0 waits without
// limit. False when no live process has the window, the window refused, or
// the time ran out; *result gets the procedure's answer.
bool RemoteCall(HWND hwnd, RemoteKind kind, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs,
                LRESULT* result);
// The owner of a window of another process; false when none is known live.
bool RemoteOwner(HWND hwnd, DWORD* processId, DWORD* threadId);

// Called when a window goes: its name leaves the folder.
void UnpublishWindow(HWND hwnd);
// This process's published windows and their names.
std::vector<PublishedEntry> PublishedHere();

// The name a registered message id was registered with, or empty.
std::string RegisteredMessageName(UINT id);

}  // namespace win::detail
