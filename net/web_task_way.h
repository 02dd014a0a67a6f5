// The web-task way: asks the network's web page for the hub list once before
// the client connects, reads the answer as text lines and tells the connect
// flow what to do next. It learns the own public address and the hub text,
// which other threads read through the copying functions below.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/orv_sok.h"
#include "net/web_page_parser.h"

inline constexpr char kWebTaskWayName[] = "socPhp_HubsList";
inline constexpr DWORD kWebTaskStartPauseMs = 2'000;
inline constexpr std::uint16_t kWebTaskSleepSeconds = 3;

// What the connect flow is asked to do. Offline and connecting carry the
// connect button's states.
enum class WebTaskReport : int { kOffline = 0, kConnecting = 2, kConnectToNode = 3 };
using WebTaskCallback = std::function<void(WebTaskReport)>;

// Called on the way's thread; an empty callback removes it.
void SetWebTaskCallback(WebTaskCallback callback);

// Copies taken under a lock, for any thread.
std::string OwnPublicAddress();
std::string HubListText();  // the settings' hub text: the node way's host
void SetOwnPublicAddress(std::string_view address);
void SetHubListText(std::string_view hub);

class CWebTaskWay : public COrvSok {
 public:
  explicit CWebTaskWay(void* ownerSlot, const char* name = kWebTaskWayName);
  ~CWebTaskWay() override;

  // Buffers as the node way has them, then the thread: true when it runs.
  bool StartWay(DWORD queueSize = 0);

  const WebPageParser& Parser() const { return *parser_; }

 protected:
  DWORD RunWebTask(const DMessage& message) override;
  DWORD FeedTextLines() override;

  // Every text the page makes the way print passes here.
  virtual void WebTrace(WebTraceStyle style, bool lineBreak, std::string_view text);

 private:
  class Sink;
  friend class Sink;

  void FailOffline();
  void Report(WebTaskReport report);
  void TraceStamped(bool error, const std::string& host, const char* format, ...) __attribute__((format(printf, 4, 5)));
  void SelectColour(WebTraceColour colour);
  void ChangeEffects(std::uint32_t bits, bool on);
  void BlockEnded(WebBlockEnd action);

  std::unique_ptr<Sink> sink_;
  std::unique_ptr<WebPageParser> parser_;
  std::unique_ptr<std::uint8_t[]> piece_;
  COLORREF colour_ = 0;
  std::uint32_t effects_ = 0;
};
