#include "testbed/addon_standin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "net/frame_codes.h"

namespace {
constexpr std::size_t kLoginSize = 80;
constexpr std::size_t kDynamicsRequestSize = 24;
constexpr std::size_t kAnswerHeaderSize = 24;
constexpr std::size_t kAnswerCountOffset = 16;
constexpr std::size_t kOwnValuesSize = 16;
constexpr std::size_t kFullEntrySize = 120;
constexpr std::size_t kShortEntrySize = 72;
constexpr std::size_t kLeadSize = kFrameSyncSize + kFrameHeaderSize;
// A list longer than the 50 peer ways could hold is no answer of a client.
constexpr std::uint32_t kMostEntries = 50;
constexpr std::uint8_t kUnknownCode = 0x41;
// Long enough for the client to take the first piece on its own.
constexpr std::chrono::milliseconds kPieceGap{50};

void PutText(std::span<std::uint8_t> field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

std::uint32_t U32At(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
  return value;
}

std::string CodeName(std::uint8_t code) {
  const char* name = DsCmdName(code);
  return name != nullptr ? name : "code " + std::to_string(code);
}

// The values that follow an answer's counted header.
std::size_t TrailingBytes(const FrameHeader& header, std::span<const std::uint8_t> body) {
  if (body.size() < kAnswerHeaderSize) return 0;
  if (header.type == DS_CMD_FLIGHT_DYNAMICS) return kOwnValuesSize;
  if (header.type != DS_CMD_AI) return 0;
  const std::uint32_t count = std::min(U32At(body, kAnswerCountOffset), kMostEntries);
  return count * (header.subCode == 1 ? kFullEntrySize : kShortEntrySize);
}
}  // namespace

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (const std::uint8_t byte : bytes) {
    std::array<char, 4> pair{};
    std::snprintf(pair.data(), pair.size(), "%02x", byte);
    if (!text.empty()) text += ' ';
    text += pair.data();
  }
  return text;
}

std::optional<AddonFault> AddonFaultNamed(std::string_view name) {
  if (name == "before-login") return AddonFault::kFrameBeforeLogin;
  if (name == "empty-name") return AddonFault::kEmptyName;
  if (name == "unknown-code") return AddonFault::kUnknownCode;
  if (name == "short-body") return AddonFault::kShortBody;
  if (name == "split-frame") return AddonFault::kSplitFrame;
  return std::nullopt;
}

std::vector<std::uint8_t> AddonRawFrame(std::uint8_t code, std::uint8_t subCode, std::span<const std::uint8_t> body) {
  return BuildFrame(AddonFrameMagic, FrameHeader{code, subCode, 0, 0, 0}, body);
}

std::vector<std::uint8_t> AddonLoginFrame(const AddonStandinScript& script) {
  std::array<std::uint8_t, kLoginSize> body{};
  std::copy(script.version.begin(), script.version.end(), body.begin() + 8);
  PutText(std::span(body).subspan(16, 16), script.textA);
  PutText(std::span(body).subspan(32, 16), script.textB);
  PutText(std::span(body).subspan(48, 32), script.name);
  return AddonRawFrame(DS_CMD_LOGIN, 0, body);
}

std::vector<std::uint8_t> AddonCommonFrame(std::uint8_t subCode) { return AddonRawFrame(DS_CMD_COMMON, subCode, {}); }

std::vector<std::uint8_t> AddonDynamicsRequestFrame(std::uint8_t subCode, std::string_view callsign) {
  std::array<std::uint8_t, kDynamicsRequestSize> body{};
  PutText(body, callsign);
  return AddonRawFrame(DS_CMD_FLIGHT_DYNAMICS, subCode, body);
}

std::vector<std::uint8_t> AddonAiRequestFrame(std::uint8_t subCode) { return AddonRawFrame(DS_CMD_AI, subCode, {}); }

std::vector<std::uint8_t> AddonLogoutFrame() { return AddonRawFrame(DS_CMD_LOGOUT, 0, {}); }

AddonStandin::AddonStandin(AddonStandinScript script) : script_(std::move(script)) {}

void AddonStandin::Log(const std::string& line) {
  if (log_) log_(line);
}

bool AddonStandin::Connect(std::uint16_t port) {
  const bool linked = client_.Connect(port);
  Log(linked ? "called 127.0.0.1:" + std::to_string(port) : "could not call 127.0.0.1:" + std::to_string(port));
  return linked;
}

bool AddonStandin::Send(std::span<const std::uint8_t> frame, std::string_view what) {
  const bool sent = client_.Send(std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()));
  Log(std::string(sent ? "sent " : "could not send ") + std::string(what) + " (" + std::to_string(frame.size()) +
      " bytes)");
  return sent;
}

bool AddonStandin::SendInTwoPieces(std::span<const std::uint8_t> frame, std::string_view what) {
  const std::size_t half = frame.size() / 2;
  const auto piece = [&](std::span<const std::uint8_t> bytes) {
    return client_.Send(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  };
  bool sent = piece(frame.first(half));
  if (sent) {
    Log("sent the first " + std::to_string(half) + " bytes of " + std::string(what));
    std::this_thread::sleep_for(kPieceGap);
    sent = piece(frame.subspan(half));
  }
  Log(std::string(sent ? "sent the rest of " : "could not send ") + std::string(what));
  return sent;
}

std::optional<AddonAnswer> AddonStandin::ReadAnswer(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const auto left = [&] {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, ms.count()));
  };
  const auto take = [&](std::size_t count, std::vector<std::uint8_t>& into) {
    const std::string got = client_.Receive(count, left());
    into.insert(into.end(), got.begin(), got.end());
    return got.size() == count;
  };
  AddonAnswer answer;
  if (!take(kLeadSize, answer.bytes)) {
    if (!answer.bytes.empty()) Log("received " + std::to_string(answer.bytes.size()) + " stray bytes: " + HexBytes(answer.bytes));
    return std::nullopt;
  }
  const std::uint32_t sync = (std::uint32_t{answer.bytes[0]} << 24) | (std::uint32_t{answer.bytes[1]} << 16) |
                             (std::uint32_t{answer.bytes[2]} << 8) | answer.bytes[3];
  answer.header = ReadFrameHeader(std::span(answer.bytes).subspan<kFrameSyncSize, kFrameHeaderSize>());
  if (sync != AddonFrameMagic) {
    Log("received a frame with sync word " + HexBytes(std::span(answer.bytes).first(kFrameSyncSize)));
  }
  if (!take(answer.header.length, answer.bytes)) {
    Log("received " + CodeName(answer.header.type) + " cut short: " + HexBytes(answer.bytes));
    return std::nullopt;
  }
  const std::size_t trailing = TrailingBytes(answer.header, answer.Body());
  if (trailing != 0 && !take(trailing, answer.bytes)) {
    Log("received " + CodeName(answer.header.type) + " without all its values: " + HexBytes(answer.bytes));
    return std::nullopt;
  }
  Log("received " + CodeName(answer.header.type) + " ( " + std::to_string(answer.header.subCode) + " ), " +
      std::to_string(answer.bytes.size()) + " bytes: " + HexBytes(answer.bytes));
  answers_.push_back(answer);
  return answer;
}

bool AddonStandin::WaitForClose(int timeoutMs) {
  while (ReadAnswer(timeoutMs)) {
  }
  if (client_.PeerClosed()) Log("the client ended the link");
  return client_.PeerClosed();
}

void AddonStandin::Close() {
  client_.Close();
  Log("closed the link");
}

std::optional<AddonAnswer> AddonStandin::Ask(std::span<const std::uint8_t> frame, std::string_view what,
                                             int timeoutMs) {
  if (!Send(frame, what)) return std::nullopt;
  std::optional<AddonAnswer> answer = ReadAnswer(timeoutMs);
  if (!answer) Log(std::string("no answer to ") + std::string(what));
  return answer;
}

bool AddonStandin::LogIn(int timeoutMs) {
  const auto answer = Ask(AddonLoginFrame(script_), "DS_CMD_LOGIN " + script_.name, timeoutMs);
  return answer && answer->header.type == DS_CMD_LOGIN_ACK;
}

bool AddonStandin::RunQuestions(int timeoutMs) {
  bool ok = Send(AddonCommonFrame(3), "DS_CMD_COMMON ( 3 ) ground speed");
  ok = Send(AddonCommonFrame(11), "DS_CMD_COMMON ( 11 ) true heading") && ok;
  const auto speed = Ask(AddonCommonFrame(4), "DS_CMD_COMMON ( 4 ) speed kind?", timeoutMs);
  const auto heading = Ask(AddonCommonFrame(12), "DS_CMD_COMMON ( 12 ) heading kind?", timeoutMs);
  const auto own = Ask(AddonDynamicsRequestFrame(1, ""), "DS_CMD_FLIGHT_DYNAMICS ( 1 ) own aircraft", timeoutMs);
  const auto full = Ask(AddonAiRequestFrame(1), "DS_CMD_AI ( 1 ) full list", timeoutMs);
  const auto brief = Ask(AddonAiRequestFrame(2), "DS_CMD_AI ( 2 ) short list", timeoutMs);
  if (full) {
    std::string names;
    for (const std::string& callsign : ListedCallsigns(*full)) names += " " + callsign;
    Log("the full list names" + (names.empty() ? std::string(" nobody") : names));
  }
  return ok && speed && heading && own && full && brief;
}

bool AddonStandin::RunFault(AddonFault fault, int timeoutMs) {
  switch (fault) {
    case AddonFault::kFrameBeforeLogin:
      return Send(AddonCommonFrame(4), "DS_CMD_COMMON ( 4 ) before the login") && WaitForClose(timeoutMs);
    case AddonFault::kEmptyName: {
      AddonStandinScript nameless = script_;
      nameless.name.clear();
      if (!Send(AddonLoginFrame(nameless), "DS_CMD_LOGIN without a name")) return false;
      const bool closed = WaitForClose(timeoutMs);
      const auto cancel = LastAnswer(DS_CMD_CANCEL_LINK, 0);
      return closed && cancel.has_value();
    }
    case AddonFault::kUnknownCode:
      return LogIn(timeoutMs) && Send(AddonRawFrame(kUnknownCode, 0, {}), "an unknown code") &&
             WaitForClose(timeoutMs);
    case AddonFault::kShortBody: {
      const std::array<std::uint8_t, kLoginSize / 2> half{};
      return Send(AddonRawFrame(DS_CMD_LOGIN, 0, half), "DS_CMD_LOGIN with half its record") &&
             WaitForClose(timeoutMs);
    }
    case AddonFault::kSplitFrame: {
      if (!SendInTwoPieces(AddonLoginFrame(script_), "DS_CMD_LOGIN " + script_.name)) return false;
      const auto answer = ReadAnswer(timeoutMs);
      return answer && answer->header.type == DS_CMD_LOGIN_ACK;
    }
  }
  return false;
}

std::optional<AddonAnswer> AddonStandin::LastAnswer(std::uint8_t code, std::uint8_t subCode) const {
  for (auto it = answers_.rbegin(); it != answers_.rend(); ++it) {
    if (it->header.type == code && it->header.subCode == subCode) return *it;
  }
  return std::nullopt;
}

std::vector<std::string> AddonStandin::ListedCallsigns(const AddonAnswer& answer) {
  std::vector<std::string> callsigns;
  const std::span<const std::uint8_t> body = answer.Body();
  if (answer.header.type != DS_CMD_AI || body.size() < kAnswerHeaderSize) return callsigns;
  const std::size_t entry = answer.header.subCode == 1 ? kFullEntrySize : kShortEntrySize;
  for (std::size_t at = kAnswerHeaderSize; at + entry <= body.size(); at += entry) {
    const auto* text = reinterpret_cast<const char*>(body.data() + at);
    callsigns.emplace_back(text, ::strnlen(text, 16));
  }
  return callsigns;
}

int RunAddonStandin(std::uint16_t port, std::string_view faultName, std::function<void(std::string_view)> log) {
  std::optional<AddonFault> fault;
  if (!faultName.empty()) {
    fault = AddonFaultNamed(faultName);
    if (!fault) return 2;
  }
  AddonStandin addon;
  addon.SetEventLog(std::move(log));
  if (!addon.Connect(port)) return 1;
  const bool answered = fault ? addon.RunFault(*fault) : addon.LogIn() && addon.RunQuestions();
  addon.Close();
  return answered ? 0 : 1;
}
