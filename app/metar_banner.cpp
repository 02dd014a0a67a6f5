#include "app/metar_banner.h"

#include <array>
#include <cstdio>
#include <mutex>

#include "core/main_dialog_state.h"
#include "dialogs/chat_dialog.h"
#include "win/messages.h"
#include "win/window.h"

namespace {
struct Banner {
  std::mutex lock;
  std::array<char, kMetarBannerSize> text{};
};

Banner& TheBanner() {
  static auto* banner = new Banner();
  return *banner;
}
}  // namespace

void SetMetarLabel(const char* text, bool flagged) {
  // Room for the six blanks the banner adds, so that they are never cut.
  constexpr std::size_t kBannerBlanks = 6;
  std::array<char, kMetarBannerSize - kBannerBlanks> label{};
  if (text == nullptr) {
    std::snprintf(label.data(), label.size(), "No METAR available yet.     Tavelkor v%d.%d.%d.%c", kVersionMajor,
                  kVersionMinor, kVersionBuild, kVersionLetter);
  } else {
    std::snprintf(label.data(), label.size(), "%s%s", flagged ? "*" : "", text);
  }
  std::string title;
  {
    Banner& banner = TheBanner();
    std::lock_guard lock(banner.lock);
    std::snprintf(banner.text.data(), banner.text.size(), "%s      ", label.data());
    title = banner.text.data();
  }
  // Outside the banner lock: the UI thread may be reading the banner while it
  // serves this call. The wait is bounded so a busy UI thread cannot hold a worker.
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    const HWND hwnd = chat->GetSafeHwnd();
    if (hwnd != 0)
      SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()), SMTO_ABORTIFHUNG,
                          kMetarTitleWaitMs, nullptr);
  }
}

std::string MetarBanner() {
  Banner& banner = TheBanner();
  std::lock_guard lock(banner.lock);
  return banner.text.data();
}

void ResetMetarBanner() {
  Banner& banner = TheBanner();
  std::lock_guard lock(banner.lock);
  banner.text.fill('\0');
}
