// A local add-on program at the far end of the add-on link: it calls a
// client's listening port, logs in, selects and asks the speed and heading
// kinds, asks for the own aircraft's values and both pilot lists, and records
// every answer byte for byte. It can also misbehave: a frame before its
// login, a login without a name, an unknown code, a body shorter than its
// record, a frame sent in two pieces. One line per event on its log.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/frame_format.h"
#include "testbed/loopback_peer.h"

struct AddonStandinScript {
  std::string name = "MapView";
  std::array<std::uint8_t, 4> version{2, 1, 0, 'b'};
  std::string textA = "MOVING MAP";
  std::string textB = "STAND-IN";
};

// One answer as it came: the whole stream of its frame (sync word, header,
// the answer header the length counts, and the values that follow it).
struct AddonAnswer {
  FrameHeader header;
  std::vector<std::uint8_t> bytes;
  // What follows the frame header.
  std::span<const std::uint8_t> Body() const {
    return std::span(bytes).subspan(std::min(bytes.size(), kFrameSyncSize + kFrameHeaderSize));
  }
};

// The faults it can make.
enum class AddonFault { kFrameBeforeLogin, kEmptyName, kUnknownCode, kShortBody, kSplitFrame };
std::optional<AddonFault> AddonFaultNamed(std::string_view name);

// ---- Its frames, as it writes them ----
std::vector<std::uint8_t> AddonLoginFrame(const AddonStandinScript& script);
std::vector<std::uint8_t> AddonCommonFrame(std::uint8_t subCode);
std::vector<std::uint8_t> AddonDynamicsRequestFrame(std::uint8_t subCode, std::string_view callsign);
std::vector<std::uint8_t> AddonAiRequestFrame(std::uint8_t subCode);
std::vector<std::uint8_t> AddonLogoutFrame();
// A frame of any code with the given body.
std::vector<std::uint8_t> AddonRawFrame(std::uint8_t code, std::uint8_t subCode, std::span<const std::uint8_t> body);

class AddonStandin {
 public:
  static constexpr int kAnswerWaitMs = 10'000;

  explicit AddonStandin(AddonStandinScript script = {});
  const AddonStandinScript& Script() const { return script_; }
  void SetEventLog(std::function<void(std::string_view)> log) { log_ = std::move(log); }

  bool Connect(std::uint16_t port);
  bool Send(std::span<const std::uint8_t> frame, std::string_view what);
  // The frame in two pieces, the second after the first has been sent.
  bool SendInTwoPieces(std::span<const std::uint8_t> frame, std::string_view what);
  // The next answer, read by the layout of its code; nullopt when none came in time.
  std::optional<AddonAnswer> ReadAnswer(int timeoutMs = kAnswerWaitMs);
  // True once the client has ended the link (what it sent before is read as answers).
  bool WaitForClose(int timeoutMs = kAnswerWaitMs);
  void Close();

  // Logs in and waits for the acknowledgement.
  bool LogIn(int timeoutMs = kAnswerWaitMs);
  // Logged in: selects ground speed and true heading, asks both kinds, asks
  // for the own values and both lists; every answer is recorded.
  bool RunQuestions(int timeoutMs = kAnswerWaitMs);
  // The fault, then what the client did about it.
  bool RunFault(AddonFault fault, int timeoutMs = kAnswerWaitMs);

  const std::vector<AddonAnswer>& Answers() const { return answers_; }
  // The last answer of that code and sub-code.
  std::optional<AddonAnswer> LastAnswer(std::uint8_t code, std::uint8_t subCode) const;
  // The callsigns of an AI list answer.
  static std::vector<std::string> ListedCallsigns(const AddonAnswer& answer);

 private:
  void Log(const std::string& line);
  std::optional<AddonAnswer> Ask(std::span<const std::uint8_t> frame, std::string_view what, int timeoutMs);

  AddonStandinScript script_;
  std::function<void(std::string_view)> log_;
  LoopbackClient client_;
  std::vector<AddonAnswer> answers_;
};

// The stand-in as a program of its own (tk_standins --addon PORT): calls
// the port, then logs in and asks its questions, or makes the named fault
// (empty: none). 0 when the client answered as it should, 1 otherwise, 2 for
// an unknown fault name.
int RunAddonStandin(std::uint16_t port, std::string_view faultName, std::function<void(std::string_view)> log);

// The bytes as hex pairs, for the log.
std::string HexBytes(std::span<const std::uint8_t> bytes);
