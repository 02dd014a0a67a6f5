#include "app/connect_flow.h"

#include <array>
#include <cstdio>

#include "app/main_dialog.h"
#include "app/main_dialog_state.h"
#include "win/window.h"

std::atomic<bool> g_connecting{false};
std::atomic<int> g_selectedNetworkSlot{-1};
std::atomic<bool> g_logoutSent{false};

namespace {
constexpr int kCountdownFieldId = 7108;
std::atomic<unsigned> g_connectionBitmap{kBitmapOffline};
}  // namespace

void OnConnectButton() {}
int ConnectToNetwork(int) { return 0; }
void RequestHubsList() {}
void OnDisconnectFromNetwork() {}
void DisconnectQuietly() {}
void LeaveMultiplayerSession() {}
void OnLoginAccepted() {}
void OnMultiplayerConnected() {}
void OnMultiplayerSessionClosed() {}
void SyncSessionFlagToPlugin() {}

void SetConnectionBitmap(int state) {
  unsigned bitmap = kBitmapOffline;
  if (state == 1 || state == kConnectionConnecting) bitmap = kBitmapConnecting;
  if (state == kConnectionConnected) bitmap = kBitmapConnected;
  g_connectionBitmap = bitmap;
}

unsigned ConnectionBitmap() { return g_connectionBitmap.load(); }

void ShowCountdown(std::uint32_t seconds) {
  CFSClientDlg* dialog = g_pMainDlg.load();
  if (dialog == nullptr) return;
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%02u:%02u", static_cast<unsigned>((seconds / 60) % 100),
                static_cast<unsigned>(seconds % 60));
  if (CWnd* field = dialog->GetDlgItem(kCountdownFieldId)) field->SetWindowText(text.data());
}

int DetectOtherClient() { return 1; }
