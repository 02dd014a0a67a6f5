#include "testbed/hostile_caller.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/klib_settings.h"
#include "net/frame_format.h"

namespace {

namespace fs = std::filesystem;

void AddFile(const fs::path& path, const std::string& name, std::vector<HostileInput>& out) {
  std::ifstream in(path, std::ios::binary);
  HostileInput input{name, std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {})};
  if (!input.bytes.empty()) out.push_back(std::move(input));
}

std::vector<std::uint8_t> HeaderOnly(std::uint32_t sync, std::uint8_t type, std::uint8_t subCode,
                                     std::uint32_t announced) {
  std::vector<std::uint8_t> bytes;
  const FrameSyncBytes syncBytes = WriteFrameSync(sync);
  bytes.insert(bytes.end(), syncBytes.begin(), syncBytes.end());
  const FrameHeaderBytes header = WriteFrameHeader(FrameHeader{type, subCode, 0, 0, announced});
  bytes.insert(bytes.end(), header.begin(), header.end());
  return bytes;
}

}  // namespace

std::vector<HostileInput> HostileInputsFromFolders(const std::vector<std::string>& folders) {
  std::vector<HostileInput> inputs;
  for (const std::string& folder : folders) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
      if (!entry.is_regular_file()) continue;
      AddFile(entry.path(), entry.path().parent_path().filename().string() + "/" + entry.path().filename().string(),
              inputs);
    }
  }
  std::sort(inputs.begin(), inputs.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return inputs;
}

std::vector<HostileInput> OversizeFrames() {
  std::vector<HostileInput> frames;
  // A pilot's login announcing a megabyte, with the first 64 KB of it sent.
  std::vector<std::uint8_t> login = HeaderOnly(FRAME_SYNC_NETWORK, 1, 0, 1u << 20);
  login.resize(login.size() + 65536, 0x41);
  frames.push_back({"pilot login announcing 1 MB", std::move(login)});
  frames.push_back({"header announcing 4 GB", HeaderOnly(FRAME_SYNC_NETWORK, 1, 0, 0xFFFFFFFFu)});
  frames.push_back({"compressed record announcing 2 GB", [] {
                      std::vector<std::uint8_t> bytes = HeaderOnly(FRAME_SYNC_NETWORK, 1, 0, 0x80000000u);
                      bytes[7] = kFrameFlagCompressed;
                      return bytes;
                    }()});
  frames.push_back({"add-on login announcing 16 MB", HeaderOnly(AddonFrameMagic, 0, 0, 1u << 24)});
  std::vector<std::uint8_t> cut = HeaderOnly(FRAME_SYNC_NETWORK, 1, 0, 560);
  cut.resize(cut.size() - 3);
  frames.push_back({"header cut short", std::move(cut)});
  std::vector<std::uint8_t> noise(8192);
  std::uint32_t state = 0x2545F491u;
  for (std::uint8_t& byte : noise) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<std::uint8_t>(state);
  }
  frames.push_back({"8 KB without a sync word", std::move(noise)});
  return frames;
}

HostileOutcome CallAndWrite(std::uint16_t port, const std::vector<std::uint8_t>& bytes, int waitMs) {
  HostileOutcome outcome;
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return outcome;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(s);
    return outcome;
  }
  outcome.called = true;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  auto left = [&] {
    return static_cast<int>(
        std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
  };
  std::size_t sent = 0;
  bool ended = false;
  while (sent < bytes.size() && !ended && left() > 0) {
    pollfd fd{s, POLLOUT | POLLIN, 0};
    if (poll(&fd, 1, left()) <= 0) break;
    if ((fd.revents & (POLLERR | POLLHUP)) != 0) {
      ended = true;
      break;
    }
    if ((fd.revents & POLLIN) != 0) {
      std::array<std::uint8_t, 4096> sink{};
      if (recv(s, sink.data(), sink.size(), MSG_DONTWAIT) <= 0) ended = true;
      continue;
    }
    const ssize_t n = send(s, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n <= 0) {
      ended = true;
      break;
    }
    sent += static_cast<std::size_t>(n);
  }
  outcome.sentAll = sent == bytes.size();
  const auto lastByte = Clock::now();
  // What the client answers is read and dropped; its end is what counts.
  while (!ended && left() > 0) {
    pollfd fd{s, POLLIN, 0};
    if (poll(&fd, 1, left()) <= 0) break;
    std::array<std::uint8_t, 4096> sink{};
    if (recv(s, sink.data(), sink.size(), 0) <= 0) ended = true;
  }
  if (ended) {
    outcome.closedByClient = true;
    outcome.closeMs =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastByte).count());
  }
  linger hard{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(s);
  return outcome;
}
