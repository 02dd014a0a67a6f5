// The client side of FSUIPC's inter-process interface: requests queued in a
// shared memory block (named by this process's id) and handed to the server
// window with one registered message carrying an atom of the block's name.
// Not locked itself: the TCAS feeder calls it under its one lock.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sim/fsuipc_request_block.h"
#include "win/atoms.h"
#include "win/shared_memory.h"
#include "win/types.h"

// Result codes (ErrorText gives their texts).
enum FsuipcResult : int {
  kFsuipcOk = 0,
  kFsuipcAlreadyOpen = 1,
  kFsuipcNoServer = 2,
  kFsuipcNoMessage = 3,
  kFsuipcNoAtom = 4,
  kFsuipcNoMapping = 5,
  kFsuipcNoView = 6,
  kFsuipcWrongVersion = 7,
  kFsuipcWrongSimulator = 8,
  kFsuipcNotOpen = 9,
  kFsuipcNothingQueued = 10,
  kFsuipcTimedOut = 11,
  kFsuipcSendFailed = 12,
  kFsuipcBadData = 13,
  kFsuipcWideClientOnly = 14,
  kFsuipcBlockFull = 15,
};

inline constexpr std::uint32_t kFsuipcServerVersionOffset = 0x3304;
inline constexpr std::uint32_t kFsuipcSimulatorVersionOffset = 0x3308;
inline constexpr std::uint32_t kFsuipcLibraryVersionOffset = 0x330A;
inline constexpr std::uint32_t kFsuipcLowestServerVersion = 0x19980005;
inline constexpr std::uint16_t kFsuipcSimulatorMark = 0xFADE;
inline constexpr std::uint16_t kFsuipcLibraryVersion = 0x0105;
inline constexpr char kFsuipcMessageName[] = "FsasmLib:IPC";
inline constexpr char kFsuipcWindowClass[] = "UIPCMAIN";
inline constexpr char kFsuipcOlderWindowClass[] = "FS98MAIN";

// The waits of Open and Process; tests shorten them.
struct FsuipcTimings {
  UINT sendTimeoutMs = 2'000;
  int sendTries = 10;
  DWORD retryPauseMs = 100;
  int openTries = 5;
  DWORD openPauseMs = 100;
};

class CFSUIPC {
 public:
  CFSUIPC() = default;
  virtual ~CFSUIPC();
  CFSUIPC(const CFSUIPC&) = delete;
  CFSUIPC& operator=(const CFSUIPC&) = delete;

  // Finds the server, makes the block and checks the versions. A failed
  // send during the version check ends it at once with that code: a silent
  // server would otherwise hold the caller for every try's retries.
  bool Open();
  void Close();
  // Hands the queued requests to the server and copies the reads back.
  bool Process();
  bool Read(std::uint32_t offset, std::span<std::uint8_t> target);
  bool Write(std::uint32_t offset, std::span<const std::uint8_t> data);
  static const char* ErrorText(int code);

  bool IsOpen() const { return memory_.IsOpen(); }
  int Result() const { return result_; }
  std::uint32_t ServerVersion() const { return serverVersion_; }
  std::uint32_t SimulatorVersion() const { return simulatorVersion_; }
  // The block's name, as its atom holds it.
  const std::string& BlockName() const { return blockName_; }
  void SetTimings(const FsuipcTimings& timings) { timings_ = timings; }

 private:
  bool CheckVersions(bool olderWindow);

  int result_ = kFsuipcOk;
  HWND server_ = 0;
  UINT message_ = 0;
  ATOM atom_ = 0;
  std::string blockName_;
  win::SharedMemory memory_;
  FsuipcRequestBlock block_;
  std::uint32_t serverVersion_ = 0;
  std::uint32_t simulatorVersion_ = 0;
  std::uint16_t libraryVersion_ = kFsuipcLibraryVersion;
  FsuipcTimings timings_;
};

// The program's one link.
extern CFSUIPC g_fsuipc;

// Queues a 2-byte read and processes it.
bool FsuipcReadShortAndProcess(CFSUIPC& link, std::uint32_t offset, std::uint16_t& target);

// "%c.%c%c%c%c" from the version word's four top digits, then a letter for
// a non-zero low half ('a' + low byte - 1).
std::string FsuipcVersionText(std::uint32_t serverVersion);
