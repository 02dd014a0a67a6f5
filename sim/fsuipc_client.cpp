#include "sim/fsuipc_client.h"

#include <array>
#include <atomic>
#include <cstdio>

#include <unistd.h>

#include "base/byte_order.h"
#include "win/atoms.h"
#include "win/clock.h"
#include "win/messages.h"
#include "win/remote_windows.h"
#include "win/window.h"

CFSUIPC g_fsuipc;

namespace {

constexpr std::array<const char*, 16> kResultTexts = {
    "Okay",
    "Attempt to Open when already Open",
    "Cannot link to FSUIPC or WideClient",
    "Failed to Register common message with Windows",
    "Failed to create Atom for mapping filename",
    "Failed to create a file mapping object",
    "Failed to open a view to the file map",
    "Incorrect version of FSUIPC, or not FSUIPC",
    "Flight Simulator is not version requested",
    "Call cannot execute: Link not Open",
    "Call cannot execute: No requests accumulated",
    "IPC timed out all retries",
    "IPC sendmessage failed all retries",
    "IPC request contains bad data",
    "Maybe running on WideClient, but FS not running on Server, or wrong FSUIPC",
    "Read or Write request cannot be added, memory for Process is full",
};

// Each open names a new block, so a block a dead link left is never reused.
std::atomic<unsigned> g_blockCounter{0};

}  // namespace

CFSUIPC::~CFSUIPC() { Close(); }

const char* CFSUIPC::ErrorText(int code) {
  if (code < 0 || code >= static_cast<int>(kResultTexts.size())) return "Unknown error";
  return kResultTexts[static_cast<std::size_t>(code)];
}

bool CFSUIPC::Open() {
  if (IsOpen()) {
    result_ = kFsuipcAlreadyOpen;
    return false;
  }
  bool olderWindow = false;
  server_ = FindWindowA(kFsuipcWindowClass, nullptr);
  if (server_ == 0) {
    server_ = FindWindowA(kFsuipcOlderWindowClass, nullptr);
    olderWindow = server_ != 0;
  }
  if (server_ == 0) {
    result_ = kFsuipcNoServer;
    return false;
  }
  message_ = RegisterWindowMessageA(kFsuipcMessageName);
  if (message_ == 0) {
    Close();
    result_ = kFsuipcNoMessage;
    return false;
  }
  char name[64];
  std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", static_cast<unsigned>(::getpid()),
                g_blockCounter.fetch_add(1));
  atom_ = GlobalAddAtomA(name);
  if (atom_ == 0) {
    Close();
    result_ = kFsuipcNoAtom;
    return false;
  }
  if (!memory_.Create(name, kFsuipcBlockSize)) {
    Close();
    result_ = kFsuipcNoMapping;
    return false;
  }
  blockName_ = name;
  block_.Attach(memory_.Bytes());
  return CheckVersions(olderWindow);
}

bool CFSUIPC::CheckVersions(bool olderWindow) {
  std::array<std::uint8_t, 4> server{};
  std::array<std::uint8_t, 4> simulator{};
  std::array<std::uint8_t, 2> library{};
  library[0] = static_cast<std::uint8_t>(libraryVersion_);
  library[1] = static_cast<std::uint8_t>(libraryVersion_ >> 8);
  for (int attempt = 0; attempt < timings_.openTries; ++attempt) {
    Read(kFsuipcServerVersionOffset, server);
    Read(kFsuipcSimulatorVersionOffset, simulator);
    if (attempt == 0) Write(kFsuipcLibraryVersionOffset, library);
    const bool processed = Process();
    const int sent = result_;
    serverVersion_ = GetU32(server.data());
    simulatorVersion_ = GetU32(simulator.data());
    Sleep(timings_.openPauseMs);
    if (processed && serverVersion_ >= kFsuipcLowestServerVersion &&
        (simulatorVersion_ >> 16) == kFsuipcSimulatorMark) {
      result_ = kFsuipcOk;
      return true;
    }
    if (sent == kFsuipcTimedOut || sent == kFsuipcSendFailed) {
      Close();
      result_ = sent;
      return false;
    }
  }
  Close();
  result_ = olderWindow ? kFsuipcWideClientOnly : kFsuipcWrongVersion;
  return false;
}

void CFSUIPC::Close() {
  if (atom_ != 0) GlobalDeleteAtom(atom_);
  atom_ = 0;
  block_.Attach({});
  memory_.Close();
  blockName_.clear();
  server_ = 0;
}

bool CFSUIPC::Read(std::uint32_t offset, std::span<std::uint8_t> target) {
  if (!IsOpen()) {
    result_ = kFsuipcNotOpen;
    return false;
  }
  if (!block_.QueueRead(offset, target)) {
    result_ = kFsuipcBlockFull;
    return false;
  }
  return true;
}

bool CFSUIPC::Write(std::uint32_t offset, std::span<const std::uint8_t> data) {
  if (!IsOpen()) {
    result_ = kFsuipcNotOpen;
    return false;
  }
  if (!block_.QueueWrite(offset, data)) {
    result_ = kFsuipcBlockFull;
    return false;
  }
  return true;
}

bool CFSUIPC::Process() {
  if (!IsOpen()) {
    result_ = kFsuipcNotOpen;
    return false;
  }
  if (block_.Empty()) {
    result_ = kFsuipcNothingQueued;
    return false;
  }
  block_.MarkEnd();
  UINT_PTR reply = 0;
  bool sent = false;
  for (int attempt = 0; attempt < timings_.sendTries && !sent; ++attempt) {
    if (attempt > 0) Sleep(timings_.retryPauseMs);
    sent = SendMessageTimeoutA(server_, message_, atom_, 0, SMTO_BLOCK, timings_.sendTimeoutMs, &reply) != 0;
  }
  if (!sent) {
    // A window still there did not answer in time; one gone could not be sent to.
    result_ = IsWindow(server_) ? kFsuipcTimedOut : kFsuipcSendFailed;
    block_.Reset();
    return false;
  }
  if (reply != 1 || !block_.CopyReadsBack()) {
    result_ = kFsuipcBadData;
    block_.Reset();
    return false;
  }
  block_.Reset();
  result_ = kFsuipcOk;
  return true;
}

bool FsuipcReadShortAndProcess(CFSUIPC& link, std::uint32_t offset, std::uint16_t& target) {
  std::array<std::uint8_t, 2> bytes{};
  if (!link.Read(offset, bytes) || !link.Process()) return false;
  target = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

std::string FsuipcVersionText(std::uint32_t serverVersion) {
  std::string text;
  const auto digit = [serverVersion](int shift) { return static_cast<char>('0' + ((serverVersion >> shift) & 0xF)); };
  text += digit(28);
  text += '.';
  text += digit(24);
  text += digit(20);
  text += digit(16);
  if ((serverVersion & 0xFFFF) != 0) text += static_cast<char>('a' + (serverVersion & 0xFF) - 1);
  return text;
}
