#include "testbed/fsuipc_server.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "base/byte_order.h"
#include "win/atoms.h"
#include "win/remote_windows.h"
#include "win/shared_memory.h"
#include "win/window.h"

namespace {

constexpr std::size_t kBlockSize = 32'768;
constexpr std::uint32_t kReadTag = 1;
constexpr std::uint32_t kWriteTag = 2;
constexpr std::uint32_t kTcasOffset = 0x1F80;
constexpr std::size_t kTcasSize = 40;
constexpr std::uint32_t kLibraryVersionOffset = 0x330A;
constexpr UINT kHoldMessage = WM_USER + 1;
constexpr UINT kQuitMessage = WM_USER + 2;

std::uint16_t U16(const std::uint8_t* in) { return static_cast<std::uint16_t>(in[0] | (in[1] << 8)); }
float F32(const std::uint8_t* in) { return std::bit_cast<float>(GetU32(in)); }

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

class FsuipcServer::ServerWindow : public CWnd {
 public:
  explicit ServerWindow(FsuipcServer& server) : server_(server) {}
  ~ServerWindow() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == server_.message_ && message != 0) return server_.Serve(wParam);
    if (message == kHoldMessage) {
      server_.HoldWhileSilent();
      return 0;
    }
    if (message == kQuitMessage) {
      PostQuitMessage(0);
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }

 private:
  FsuipcServer& server_;
};

bool FsuipcServer::TcasEntry::Zeroed() const {
  return latitude == 0 && longitude == 0 && altitudeFeet == 0 && heading == 0 && groundSpeedKnots == 0 &&
         verticalSpeedFpm == 0 && callsign.empty() && state == 0 && com1 == 0;
}

FsuipcServer::FsuipcServer() {
  SetServerVersion(kDefaultServerVersion);
  SetSimulatorVersion(kDefaultSimulatorVersion);
  SetSlotSize(kDefaultSlotSize);
  SetSlotCount(kDefaultSlotCount);
}

FsuipcServer::~FsuipcServer() { Stop(); }

void FsuipcServer::SetEventLog(EventLog log) {
  std::lock_guard lock(mutex_);
  log_ = std::move(log);
}

void FsuipcServer::Log(const std::string& line) {
  EventLog log;
  {
    std::lock_guard lock(mutex_);
    log = log_;
  }
  if (log) log(line);
}

bool FsuipcServer::Start(const char* windowName) {
  if (thread_.joinable()) return false;
  message_ = RegisterWindowMessageA("FsasmLib:IPC");
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
    ready_ = false;
  }
  thread_ = std::thread(&FsuipcServer::Run, this, std::string(windowName));
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return ready_; });
  return window_ != 0;
}

void FsuipcServer::Run(std::string name) {
  ServerWindow window(*this);
  const bool made = window.CreateHandle({}) != FALSE;
  if (made) window.SetWindowText(name.c_str());
  const bool published = made && PublishWindow(window.m_hWnd, name.c_str()) != FALSE;
  {
    std::lock_guard lock(mutex_);
    window_ = made ? window.m_hWnd : 0;
    published_ = published;
    ready_ = true;
  }
  changed_.notify_all();
  if (!made) return;
  Log("window " + name + (published ? " published" : " in this process"));
  MSG msg{};
  while (GetMessageA(&msg, 0, 0, 0) > 0) DispatchMessageA(&msg);
  window.DestroyWindow();
}

void FsuipcServer::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  PostMessageA(window_, kQuitMessage, 0, 0);
  thread_.join();
  window_ = 0;
}

void FsuipcServer::SetServerVersion(std::uint32_t version) {
  std::lock_guard lock(mutex_);
  PutU32(space_.data() + 0x3304, version);
}

void FsuipcServer::SetSimulatorVersion(std::uint32_t version) {
  std::lock_guard lock(mutex_);
  PutU32(space_.data() + 0x3308, version);
}

void FsuipcServer::SetSlotSize(std::uint16_t size) {
  std::lock_guard lock(mutex_);
  space_[0xF000] = static_cast<std::uint8_t>(size);
  space_[0xF001] = static_cast<std::uint8_t>(size >> 8);
}

void FsuipcServer::SetSlotCount(std::uint16_t count) {
  std::lock_guard lock(mutex_);
  space_[0xF002] = static_cast<std::uint8_t>(count);
  space_[0xF003] = static_cast<std::uint8_t>(count >> 8);
}

void FsuipcServer::SetSilent(bool silent) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    post = silent && !silent_ && window_ != 0;
    silent_ = silent;
  }
  changed_.notify_all();
  if (post) {
    PostMessageA(window_, kHoldMessage, 0, 0);
    // Silent from here: the thread is held before any later request.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return holding_ || stopping_ || !silent_; });
  }
  Log(silent ? "fault: silent" : "fault: answering again");
}

void FsuipcServer::HoldWhileSilent() {
  std::unique_lock lock(mutex_);
  holding_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !silent_ || stopping_; });
  holding_ = false;
}

void FsuipcServer::SetAnswer(LRESULT answer) {
  {
    std::lock_guard lock(mutex_);
    answer_ = answer;
  }
  Log("fault: answer " + std::to_string(answer));
}

void FsuipcServer::SetReadSizeChange(std::int32_t change) {
  {
    std::lock_guard lock(mutex_);
    readSizeChange_ = change;
  }
  Log("fault: read sizes changed by " + std::to_string(change));
}

std::map<std::uint32_t, FsuipcServer::TcasEntry> FsuipcServer::TcasTable() const {
  std::lock_guard lock(mutex_);
  return tcas_;
}

std::uint16_t FsuipcServer::Word(std::uint32_t offset) const {
  std::lock_guard lock(mutex_);
  if (offset + 2 > space_.size()) return 0;
  return U16(space_.data() + offset);
}

std::uint16_t FsuipcServer::ClientLibraryVersion() const {
  std::lock_guard lock(mutex_);
  return clientLibraryVersion_;
}

std::uint32_t FsuipcServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string FsuipcServer::LastBlockName() const {
  std::lock_guard lock(mutex_);
  return lastBlockName_;
}

LRESULT FsuipcServer::Serve(WPARAM atom) {
  std::array<char, 256> name{};
  if (GlobalGetAtomNameA(static_cast<ATOM>(atom), name.data(), static_cast<int>(name.size())) == 0) {
    Log("request with unknown atom " + std::to_string(atom));
    return 0;
  }
  win::SharedMemory memory;
  if (!memory.Open(name.data(), kBlockSize)) {
    Log(std::string("request for missing block ") + name.data());
    return 0;
  }
  LRESULT answer = 1;
  {
    std::lock_guard lock(mutex_);
    ++requests_;
    lastBlockName_ = name.data();
    answer = answer_;
  }
  ServeBlock(memory.Bytes());
  return answer;
}

// Walks the requests up to the end word; a request running past the block ends the walk.
void FsuipcServer::ServeBlock(std::span<std::uint8_t> block) {
  std::string line = "request";
  std::vector<std::vector<std::uint8_t>> tcasWrites;
  {
    std::lock_guard lock(mutex_);
    std::size_t at = 0;
    while (at + 4 <= block.size()) {
      const std::uint32_t tag = GetU32(block.data() + at);
      if (tag == 0) break;
      const std::size_t header = tag == kReadTag ? 16 : 12;
      if ((tag != kReadTag && tag != kWriteTag) || at + header > block.size()) {
        line += " bad-tag";
        break;
      }
      const std::uint32_t offset = GetU32(block.data() + at + 4);
      const std::uint32_t size = GetU32(block.data() + at + 8);
      if (size > block.size() - at - header) {
        line += " bad-size";
        break;
      }
      std::uint8_t* data = block.data() + at + header;
      const bool inSpace = offset <= space_.size() && size <= space_.size() - offset;
      if (tag == kReadTag) {
        line += " read " + Hex(offset) + "(" + std::to_string(size) + ")";
        if (inSpace) std::memcpy(data, space_.data() + offset, size);
        if (readSizeChange_ != 0) PutU32(block.data() + at + 8, size + static_cast<std::uint32_t>(readSizeChange_));
      } else {
        line += " write " + Hex(offset) + "(" + std::to_string(size) + ")";
        // The client's library version is kept apart: it overlays the simulator word's marker half.
        if (offset == kLibraryVersionOffset && size == 2) {
          clientLibraryVersion_ = U16(data);
        } else if (inSpace) {
          std::memcpy(space_.data() + offset, data, size);
        }
        if (offset == kTcasOffset && size == kTcasSize) tcasWrites.emplace_back(data, data + size);
      }
      at += header + size;
    }
  }
  Log(line);
  for (const auto& record : tcasWrites) StoreTcas(record);
}

void FsuipcServer::StoreTcas(std::span<const std::uint8_t> record) {
  TcasEntry entry;
  entry.id = GetU32(record.data());
  entry.latitude = F32(record.data() + 4);
  entry.longitude = F32(record.data() + 8);
  entry.altitudeFeet = F32(record.data() + 12);
  entry.heading = U16(record.data() + 16);
  entry.groundSpeedKnots = U16(record.data() + 18);
  entry.verticalSpeedFpm = static_cast<std::int16_t>(U16(record.data() + 20));
  const char* callsign = reinterpret_cast<const char*>(record.data() + 22);
  entry.callsign.assign(callsign, ::strnlen(callsign, 15));
  entry.state = record[37];
  entry.com1 = U16(record.data() + 38);
  {
    std::lock_guard lock(mutex_);
    entry.writes = tcas_[entry.id].writes + 1;
    tcas_[entry.id] = entry;
  }
  char text[160];
  if (entry.Zeroed()) {
    std::snprintf(text, sizeof text, "tcas %u zeroed", static_cast<unsigned>(entry.id));
  } else {
    std::snprintf(text, sizeof text, "tcas %u %s at %.6f %.6f %.0f ft heading %u speed %u vs %d", static_cast<unsigned>(entry.id),
                  entry.callsign.c_str(), entry.latitude, entry.longitude, entry.altitudeFeet,
                  static_cast<unsigned>(entry.heading), static_cast<unsigned>(entry.groundSpeedKnots),
                  static_cast<int>(entry.verticalSpeedFpm));
  }
  Log(text);
}
