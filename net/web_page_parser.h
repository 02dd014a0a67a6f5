// The reply of the network's web page, read as text lines: the lines between
// "FROMWEBSITE_START" and "FROMWEBSITE_END" carry keywords for the client.
// The parser keeps the block state, the own public address and the hub text,
// and tells a sink what the web-task way has to do (trace, boxes, connect).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/web_request.h"
#include "core/text_fields.h"

constexpr int kWebTaskWayId = -3;
constexpr int kWebTaskNone = 0;
constexpr int kWebTaskHubList = 1;

constexpr std::size_t kWebLineChars = 4'096;   // a longer line restarts at 0
constexpr std::size_t kWebMinLineChars = 8;    // shorter lines are dropped
constexpr std::size_t kWebReadChunk = 10'240;  // the receive ring is read in chunks of this size
constexpr std::size_t kWebHubTextSize = 1'024;
constexpr std::size_t kWebOwnAddressSize = 64;

constexpr int kWebLineOk = 0;
constexpr int kWebLineAbnormal = -100;
constexpr int kWebLineFlood = -101;
constexpr int kWebParseExceptionError = -5151;

constexpr int kWebTraceBitLines = 0;
constexpr int kWebTraceBitExceptions = 20;

constexpr std::uint32_t kWebEffectBold = 1u << 0;
constexpr std::uint32_t kWebEffectItalic = 1u << 1;

enum class WebTraceStyle { kNormal, kHighlighted, kError };
enum class WebTraceColour { kBlack, kRed, kGreen, kBlue };
// What "FROMWEBSITE_END" asks of the way (it then sets its sleep countdown to 3).
enum class WebBlockEnd { kConnectToNode, kShowOffline, kNothing };

// Implemented by the web-task way. Texts are data: print them through "%s".
class WebPageSink {
 public:
  virtual ~WebPageSink() = default;
  // lineBreak: through TraceLine (a line break before the text), else Trace.
  virtual void Trace(WebTraceStyle style, bool lineBreak, std::string_view text) = 0;
  virtual void SetTraceColour(WebTraceColour colour) = 0;
  // The current effects with `bits` set (on) or cleared.
  virtual void ChangeTraceEffects(std::uint32_t bits, bool on) = 0;
  virtual void ShowBox(std::string_view title, std::string_view text) = 0;
  virtual void OwnAddressChanged(std::string_view address) = 0;
  virtual void HubTextChanged(std::string_view hub) = 0;
  virtual void BlockEnded(WebBlockEnd action) = 0;
};

struct WebWayContext {
  int wayId = kWebTaskWayId;
  int webTask = kWebTaskHubList;
  std::string sender;          // dotted address of the web page, for traces
  std::uint32_t traceMask = 0;  // the library's trace bits
  WebClientVersion version{};
  std::string host;  // the web page's host, named in the new-release line
};

class WebPageParser {
 public:
  WebPageParser(WebWayContext context, WebPageSink& sink);
  WebPageParser(const WebPageParser&) = delete;
  WebPageParser& operator=(const WebPageParser&) = delete;

  // A new request: outside the block, no partial line. Address, hub text and
  // the stop-running flag stay until the way is reset.
  void StartRequest();
  // Bytes from the receive ring, in arrival order; lines split across calls join.
  // Nothing thrown while parsing escapes: it becomes an exception trace line.
  void Feed(std::string_view bytes);
  // One complete line: kWebLineOk, kWebLineAbnormal or kWebLineFlood.
  int ParseLine(std::string_view line);

  bool InBlock() const { return inBlock_; }
  bool StopRunning() const { return stopRunning_; }
  std::string_view OwnAddress() const { return FieldText(ownAddress_); }
  std::string_view HubText() const { return FieldText(hubText_); }
  std::size_t PendingLineChars() const { return lineLength_; }
  WebWayContext& Context() { return context_; }

 private:
  void EndLine();
  bool TraceBit(int bit) const { return ((context_.traceMask >> bit) & 1u) != 0; }
  std::string_view SenderForTrace() const;
  int ParseInBlock(std::string_view line, std::string_view sender);
  void CheckVersion(std::string_view argument);

  WebWayContext context_;
  WebPageSink& sink_;
  std::array<char, kWebLineChars + 1> line_{};  // room for the terminator
  std::size_t lineLength_ = 0;
  bool inBlock_ = false;
  bool stopRunning_ = false;
  std::array<char, kWebOwnAddressSize> ownAddress_{};
  std::array<char, kWebHubTextSize> hubText_{};
  std::unique_ptr<ColonFields> fields_;  // 256 KiB
};
