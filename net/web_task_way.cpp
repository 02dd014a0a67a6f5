#include "net/web_task_way.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <utility>

#include "core/settings.h"
#include "base/klib_settings.h"
#include "base/message_box.h"
#include "base/trusted_addresses.h"
#include "net/web_request.h"

namespace {

std::mutex& WebTextLock() {
  static std::mutex lock;
  return lock;
}

std::array<char, kWebOwnAddressSize>& OwnAddressText() {
  static std::array<char, kWebOwnAddressSize> text{};
  return text;
}

WebTaskCallback& CallbackSlot() {
  static WebTaskCallback callback;
  return callback;
}

std::mutex& CallbackLock() {
  static std::mutex lock;
  return lock;
}

template <std::size_t N>
std::string_view BoundedText(const std::array<char, N>& field) {
  return {field.data(), ::strnlen(field.data(), field.size())};
}

template <std::size_t N>
void PutBounded(std::array<char, N>& field, std::string_view text) {
  field.fill('\0');
  text.substr(0, std::min(text.size(), N - 1)).copy(field.data(), N - 1);
}

const char* LogTagText() { return Klib().logTag != nullptr ? Klib().logTag : ""; }

// The library's trace colours that the page may select.
COLORREF PageColour(WebTraceColour colour) {
  switch (colour) {
    case WebTraceColour::kBlack:
      return Klib().Colour(kColour18);
    case WebTraceColour::kRed:
      return Klib().Colour(kColourError);
    case WebTraceColour::kGreen:
      return Klib().Colour(kColour25);
    case WebTraceColour::kBlue:
      return Klib().Colour(kColour22);
  }
  return Klib().Colour(kColourNormal);
}

}  // namespace

void SetWebTaskCallback(WebTaskCallback callback) {
  std::lock_guard guard(CallbackLock());
  CallbackSlot() = std::move(callback);
}

std::string OwnPublicAddress() {
  std::lock_guard guard(WebTextLock());
  return std::string(BoundedText(OwnAddressText()));
}

void SetOwnPublicAddress(std::string_view address) {
  std::lock_guard guard(WebTextLock());
  PutBounded(OwnAddressText(), address);
}

std::string HubListText() {
  std::lock_guard guard(SettingsTextLock());
  return std::string(BoundedText(g_networkSettings.hubText));
}

void SetHubListText(std::string_view hub) {
  std::lock_guard guard(SettingsTextLock());
  PutBounded(g_networkSettings.hubText, hub);
}

// The parser's requests, on the way's thread.
class CWebTaskWay::Sink : public WebPageSink {
 public:
  explicit Sink(CWebTaskWay& way) : way_(way) {}
  void Trace(WebTraceStyle style, bool lineBreak, std::string_view text) override {
    way_.WebTrace(style, lineBreak, text);
  }
  void SetTraceColour(WebTraceColour colour) override { way_.SelectColour(colour); }
  void ChangeTraceEffects(std::uint32_t bits, bool on) override { way_.ChangeEffects(bits, on); }
  void ShowBox(std::string_view title, std::string_view text) override {
    const std::string titleText(title);
    const std::string body(text);
    ShowMessage(titleText.c_str(), "%s", body.c_str());
  }
  void OwnAddressChanged(std::string_view address) override { SetOwnPublicAddress(address); }
  void HubTextChanged(std::string_view hub) override { SetHubListText(hub); }
  void BlockEnded(WebBlockEnd action) override { way_.BlockEnded(action); }

 private:
  CWebTaskWay& way_;
};

CWebTaskWay::CWebTaskWay(void* ownerSlot, const char* name)
    : COrvSok(ownerSlot, WAYID_WEBTASK, name, 1),
      sink_(std::make_unique<Sink>(*this)),
      parser_(std::make_unique<WebPageParser>(WebWayContext{}, *sink_)),
      piece_(std::make_unique<std::uint8_t[]>(kWebReadChunk)),
      colour_(Klib().Colour(kColourNormal)) {}

CWebTaskWay::~CWebTaskWay() {
  // The thread must not reach the sink while the members go.
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

bool CWebTaskWay::StartWay(DWORD queueSize) {
  if (InitBuffers(OwnerSlot(), SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
    return false;
  }
  return StartThread(1, queueSize) == 1;
}

void CWebTaskWay::Report(WebTaskReport report) {
  WebTaskCallback callback;
  {
    std::lock_guard guard(CallbackLock());
    callback = CallbackSlot();
  }
  if (callback) callback(report);
}

void CWebTaskWay::FailOffline() {
  Report(WebTaskReport::kOffline);
  SetSleepCountdown(kWebTaskSleepSeconds);
}

void CWebTaskWay::TraceStamped(bool error, const std::string& host, const char* format, ...) {
  std::array<char, 2048> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  std::array<char, 32> stamp{};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr) std::strftime(stamp.data(), stamp.size(), "%d%m%Y %H%M%S", &local);
  TraceLine("%s %s", stamp.data(), host.c_str());
  if (error) SetTraceColour(Klib().Colour(kColourError));
  TraceLine("%s", text.data());
  if (error) SetTraceColour(colour_);
}

DWORD CWebTaskWay::RunWebTask(const DMessage&) {
  if (WebTaskCode() == kWebTaskNone) return 0;
  parser_->StartRequest();
  if (WayId() != WAYID_WEBTASK) return 0;

  const NetworkSlot slot = CurrentNetworkSlot();
  const std::string host(BoundedText(slot.website).substr(0, kWebHostMaxChars));
  const std::string page(BoundedText(slot.pagePath));
  Pause(kWebTaskStartPauseMs);
  if (Klib().TraceBit(0)) {
    TraceStamped(false, host, "%s %s : Connecting to %s%s for %s\r\n", LogTagText(), Name(), host.c_str(), page.c_str(),
                 kWebTaskGetHubsList);
  }
  // A blank or a control byte in either would let the settings reshape the request.
  const std::optional<std::string> request = BuildWebRequest(host, page);
  if (!request) {
    TraceStamped(true, host,
                 "%s %s : Can't connect ! The server or the PHP page are not valid. Please setup and try again",
                 LogTagText(), Name());
    FailOffline();
    return 0;
  }

  const std::int32_t result = ConnectWay(host.c_str(), kWebPagePort);
  if (result != 0) {
    TraceLine("%s %s : Can't connect to website at %s:%d. Error code is %d", LogTagText(), Name(), host.c_str(),
              static_cast<int>(kWebPagePort), static_cast<int>(result));
    FailOffline();
    return 0;
  }

  WebWayContext& context = parser_->Context();
  context.wayId = WayId();
  context.webTask = static_cast<int>(WebTaskCode());
  context.traceMask = Klib().traceMask.load(std::memory_order_relaxed);
  context.host = host;
  context.sender.clear();
  if (PeerKnown()) {
    AddTrustedAddress(PeerAddress().sin_addr.s_addr, 0);
    std::array<char, INET_ADDRSTRLEN> dotted{};
    if (inet_ntop(AF_INET, &PeerAddress().sin_addr, dotted.data(), static_cast<socklen_t>(dotted.size())) != nullptr) {
      context.sender = dotted.data();
    }
  }
  if (SendDirect(request->data(), static_cast<std::uint32_t>(request->size()), kWebSendTag) != 0) {
    TraceLine("%s %s : Can't send GET command to %s using\r\n%s", LogTagText(), Name(), host.c_str(),
              request->c_str());
  }
  Report(WebTaskReport::kConnecting);
  return 0;
}

DWORD CWebTaskWay::FeedTextLines() {
  const std::uint32_t n = RxReadUpTo(piece_.get(), static_cast<std::uint32_t>(kWebReadChunk));
  if (n == 0) return 0;
  parser_->Feed(std::string_view(reinterpret_cast<const char*>(piece_.get()), n));
  return 1;
}

void CWebTaskWay::WebTrace(WebTraceStyle style, bool lineBreak, std::string_view text) {
  const std::string line(text);
  const bool special = style != WebTraceStyle::kNormal;
  if (special) SetTraceColour(Klib().Colour(style == WebTraceStyle::kError ? kColourError : kColourEmphasis));
  if (lineBreak) {
    TraceLine("%s", line.c_str());
  } else {
    Trace("%s", line.c_str());
  }
  if (special) SetTraceColour(colour_);
}

void CWebTaskWay::SelectColour(WebTraceColour colour) {
  colour_ = PageColour(colour);
  SetTraceColour(colour_);
}

void CWebTaskWay::ChangeEffects(std::uint32_t bits, bool on) {
  effects_ = on ? (effects_ | bits) : (effects_ & ~bits);
  SetTraceEffects(effects_);
}

void CWebTaskWay::BlockEnded(WebBlockEnd action) {
  if (action == WebBlockEnd::kConnectToNode) {
    Report(WebTaskReport::kConnectToNode);
  } else if (action == WebBlockEnd::kShowOffline) {
    Report(WebTaskReport::kOffline);
  }
  SetSleepCountdown(kWebTaskSleepSeconds);
}
