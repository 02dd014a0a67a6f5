// A stand-in for the FSUIPC server inside a simulator: a window ("UIPCMAIN",
// or "FS98MAIN" as an older server) on a thread of its own that serves the
// registered message "FsasmLib:IPC" like the real one: the atom in wParam
// names the client's shared memory block, whose reads it fills from a 64 KiB
// offset space and whose writes it stores there (but the client's library
// version at 0x330A, kept apart). The writes of a TCAS
// record (0x1F80) also go into a table by the record's id. The version and
// slot words are presets; faults: silence (the request is never taken), an
// answer other than 1, altered read sizes. One line per event. With
// TK_WINDOWS set the window is published for other processes.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "win/types.h"

class FsuipcServer {
 public:
  using EventLog = std::function<void(std::string_view line)>;

  // One record of the TCAS table, as the client last wrote it.
  struct TcasEntry {
    std::uint32_t id = 0;
    float latitude = 0;
    float longitude = 0;
    float altitudeFeet = 0;
    std::uint16_t heading = 0;
    std::uint16_t groundSpeedKnots = 0;
    std::int16_t verticalSpeedFpm = 0;
    std::string callsign;
    std::uint8_t state = 0;
    std::uint16_t com1 = 0;
    std::uint32_t writes = 0;
    // The client gave the slot back: every field but the id is zero.
    bool Zeroed() const;
  };

  static constexpr std::uint32_t kDefaultServerVersion = 0x39300000;  // "3.930"
  static constexpr std::uint32_t kDefaultSimulatorVersion = 0xFADE000C;
  static constexpr std::uint16_t kDefaultSlotSize = 40;
  static constexpr std::uint16_t kDefaultSlotCount = 96;

  FsuipcServer();
  ~FsuipcServer();
  FsuipcServer(const FsuipcServer&) = delete;
  FsuipcServer& operator=(const FsuipcServer&) = delete;

  void SetEventLog(EventLog log);
  // Makes the window on the server's thread; false when it could not.
  bool Start(const char* windowName = "UIPCMAIN");
  void Stop();
  HWND Window() const { return window_; }
  // Whether the window was published for other processes.
  bool Published() const { return published_; }

  // Presets in the offset space.
  void SetServerVersion(std::uint32_t version);
  void SetSimulatorVersion(std::uint32_t version);
  void SetSlotSize(std::uint16_t size);
  void SetSlotCount(std::uint16_t count);

  // Faults. While silent the server's thread takes no request, so a sender
  // times out; the answer given to every request (1 unless changed); a
  // non-zero change added to the size of every read the server fills.
  void SetSilent(bool silent);
  void SetAnswer(LRESULT answer);
  void SetReadSizeChange(std::int32_t change);

  std::map<std::uint32_t, TcasEntry> TcasTable() const;
  std::uint16_t Word(std::uint32_t offset) const;
  // What the client wrote at 0x330A.
  std::uint16_t ClientLibraryVersion() const;
  std::uint32_t Requests() const;
  // Ends with the server: the last block name a request carried.
  std::string LastBlockName() const;

 private:
  class ServerWindow;
  void Run(std::string name);
  LRESULT Serve(WPARAM atom);
  void ServeBlock(std::span<std::uint8_t> block);
  void Log(const std::string& line);
  void StoreTcas(std::span<const std::uint8_t> record);
  void HoldWhileSilent();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  EventLog log_;
  std::array<std::uint8_t, 0x10000> space_{};
  std::map<std::uint32_t, TcasEntry> tcas_;
  bool silent_ = false;
  bool holding_ = false;
  bool stopping_ = false;
  LRESULT answer_ = 1;
  std::int32_t readSizeChange_ = 0;
  std::uint32_t requests_ = 0;
  std::uint16_t clientLibraryVersion_ = 0;
  std::string lastBlockName_;

  std::thread thread_;
  HWND window_ = 0;
  bool published_ = false;
  bool ready_ = false;
  UINT message_ = 0;
};
