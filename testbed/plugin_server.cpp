#include "testbed/plugin_server.h"

#include "base/klib_settings.h"
#include "net/frame_format.h"

using namespace plugin_link;

namespace {

// The default plug-in port of the client's settings.
constexpr std::uint16_t kClientPluginPort = 55007;

std::string InfosText(const DllInfos& infos) {
  return "X-Plane " + std::to_string(infos.simulatorCode) + ", error " + std::to_string(infos.errorCode) +
         ", " + std::to_string(infos.aiCount) + " AI aircraft";
}

std::string FrameText(const Frame& frame) {
  const std::string size = " (" + std::to_string(frame.header.length) + " bytes)";
  if (frame.header.type == kXtkRecordType) {
    const char* name = ClientCommandName(frame.header.subCode);
    return std::string("received ") +
           (name != nullptr ? name : "unknown XTK code " + std::to_string(frame.header.subCode)) + size;
  }
  return "received type " + std::to_string(frame.header.type) + " sub-code " +
         std::to_string(frame.header.subCode) + size;
}

}  // namespace

PluginServer::PluginServer(std::uint16_t port) : link_(port, kMaxClientFrameBody) {
  FrameLinkServer::Hooks hooks;
  hooks.linked = [this](SOCKET s) { OnLinked(s); };
  hooks.frame = [this](SOCKET s, const Frame& frame) { OnFrame(s, frame); };
  link_.Start(std::move(hooks));
}

PluginServer::~PluginServer() { link_.Stop(); }

std::string PluginServer::PortMapEntry() const {
  return std::to_string(kClientPluginPort) + "=" + std::to_string(Port());
}

void PluginServer::SetGreeting(bool send) {
  std::lock_guard lock(mutex_);
  greet_ = send;
}

void PluginServer::SetGreetingInfos(const DllInfos& infos) {
  std::lock_guard lock(mutex_);
  greeting_ = infos;
}

std::size_t PluginServer::GreetingsSent() const {
  std::lock_guard lock(mutex_);
  return greetingsSent_;
}

std::vector<PluginServer::Record> PluginServer::Records() const {
  std::vector<Record> records;
  for (Frame& frame : link_.Frames()) {
    if (frame.header.type == kXtkRecordType) records.push_back({frame.header.subCode, std::move(frame.body)});
  }
  return records;
}

bool PluginServer::SendDllInfos(const DllInfos& infos) {
  const DllInfosBytes body = WriteDllInfos(infos);
  return SendRecord(XTK_MSG_DLL_INFOS, body);
}

bool PluginServer::SendDataSet(int index, std::span<const std::uint8_t> body) {
  const std::uint8_t code = DataSetCode(index);
  return code != 0 && SendRecord(code, body);
}

void PluginServer::OnLinked(SOCKET s) {
  DllInfos infos;
  {
    std::lock_guard lock(mutex_);
    if (!greet_) return;
    infos = greeting_;
  }
  FrameHeader header;
  header.type = kXtkRecordType;
  header.subCode = XTK_MSG_DLL_INFOS;
  const DllInfosBytes body = WriteDllInfos(infos);
  // Counted before the send: a client may read the record before the send returns.
  {
    std::lock_guard lock(mutex_);
    ++greetingsSent_;
  }
  if (!link_.SendOn(s, BuildFrame(FRAME_SYNC_NETWORK, header, body))) {
    {
      std::lock_guard lock(mutex_);
      --greetingsSent_;
    }
    link_.Log("XTK_MSG_DLL_INFOS could not be sent");
    return;
  }
  link_.Log("sent XTK_MSG_DLL_INFOS (" + InfosText(infos) + ")");
}

void PluginServer::OnFrame(SOCKET, const Frame& frame) { link_.Log(FrameText(frame)); }
