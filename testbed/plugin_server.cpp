#include "testbed/plugin_server.h"

#include "base/klib_settings.h"
#include "net/frame_format.h"

#include <algorithm>
#include <chrono>
#include <thread>

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

// The client links to its plug-in once at a time; a second caller waits for the first to end.
PluginServer::PluginServer(std::uint16_t port)
    : link_(port, kMaxClientFrameBody, 1, FrameLinkServer::WhenFull::Waits) {
  FrameLinkServer::Hooks hooks;
  hooks.linked = [this](FrameLinkServer::LinkId, SOCKET s) { OnLinked(s); };
  hooks.frame = [this](FrameLinkServer::LinkId, SOCKET s, const Frame& frame) { OnFrame(s, frame); };
  hooks.tick = [this](FrameLinkServer::LinkId, SOCKET s) { OnTick(s); };
  hooks.ended = [this](FrameLinkServer::LinkId) {
    for (const std::string& line : ai_.RemoveAll()) link_.Log(line);
  };
  link_.Start(std::move(hooks));
}

PluginServer::~PluginServer() { link_.Stop(); }

std::string PluginServer::PortMapEntry() const {
  return std::to_string(kClientPluginPort) + "=" + std::to_string(Port());
}

void PluginServer::SetGreeting(Greeting when) {
  std::lock_guard lock(mutex_);
  greet_ = when;
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

void PluginServer::SetFlight(const FlightScript& flight) {
  std::lock_guard lock(mutex_);
  flight_ = flight;
}

void PluginServer::SetStreamInterval(int milliseconds) {
  std::lock_guard lock(mutex_);
  streamIntervalMs_ = std::max(milliseconds, 0);
}

std::uint64_t PluginServer::SamplesSent() const {
  std::lock_guard lock(mutex_);
  return samplesSent_;
}

FlightSample PluginServer::LastSample() const {
  std::lock_guard lock(mutex_);
  return lastSample_;
}

bool PluginServer::WaitForSamples(std::uint64_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return samplesSent_ >= count; });
}

void PluginServer::SetAcfTitles(std::vector<std::string> titles) {
  std::lock_guard lock(mutex_);
  acfTitles_ = std::move(titles);
}

void PluginServer::SetAircraftTitle(std::string title) {
  std::lock_guard lock(mutex_);
  aircraftTitle_ = std::move(title);
}

bool PluginServer::SendAircraftLoaded(std::string_view title) {
  return SendRecord(XTK_MSG_USER_AIRCRAFT_LOADED, WriteUserAircraftLoaded(title));
}

bool PluginServer::SendAddPeerCallback(std::uint16_t way, std::uint8_t result, std::uint8_t detail) {
  return SendRecord(XTK_MSG_ADDPEER_CALLBACK, WriteAddPeerCallback(way, result, detail));
}

bool PluginServer::SendRemovePeerCallback(std::uint32_t way) {
  return SendRecord(XTK_MSG_REMOVEPEER_CALLBACK, WriteRemovePeerCallback(way));
}

void PluginServer::HoldRemovalAnswers(bool hold) {
  std::lock_guard lock(mutex_);
  holdRemovalAnswers_ = hold;
}

std::size_t PluginServer::ReleaseRemovalAnswers() {
  std::vector<std::uint32_t> ways;
  {
    std::lock_guard lock(mutex_);
    ways.swap(heldRemovalAnswers_);
  }
  std::size_t sent = 0;
  for (const std::uint32_t way : ways) sent += SendRemovePeerCallback(way) ? 1 : 0;
  return sent;
}

bool PluginServer::SendTraceText(std::string_view text) { return SendTraceRecord(1, WriteTraceText(text)); }

std::vector<std::uint8_t> PluginServer::DataSet2Frame(std::uint16_t code, std::size_t size) const {
  FlightSample sample;
  {
    std::lock_guard lock(mutex_);
    sample = flight_.start;
  }
  sample.transponderCode = code;
  const DataSet2Bytes full = WriteDataSet2(sample);
  std::vector<std::uint8_t> body(size, 0);
  std::copy_n(full.begin(), std::min(size, full.size()), body.begin());
  FrameHeader header;
  header.type = kXtkRecordType;
  header.subCode = XTK_MSG_PLANE_DATASET2;
  return BuildFrame(FRAME_SYNC_NETWORK, header, body);
}

bool PluginServer::InjectFault(Fault fault) {
  std::lock_guard order(sendOrder_);
  FrameHeader header;
  header.type = kXtkRecordType;
  switch (fault) {
    case Fault::GarbageBeforeFrame: {
      std::vector<std::uint8_t> bytes = {0x00, 0xA1, 0xB2, 0x17, 0xFF, 'g', 'a', 'r', 'b', 'a', 'g', 'e', 0xC3};
      const std::vector<std::uint8_t> frame = DataSet2Frame(kGarbageCode, kDataSet2Size);
      bytes.insert(bytes.end(), frame.begin(), frame.end());
      link_.Log("fault: garbage before a frame");
      return SendRaw(bytes);
    }
    case Fault::SplitSyncWord: {
      const std::vector<std::uint8_t> frame = DataSet2Frame(kSplitCode, kDataSet2Size);
      link_.Log("fault: a sync word in two sends");
      if (!SendRaw(std::span(frame).first(2))) return false;
      // Apart in time, so that the client's receive sees the first half alone.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return SendRaw(std::span(frame).subspan(2));
    }
    case Fault::TruncatedBody: {
      const std::vector<std::uint8_t> frame = DataSet2Frame(kGarbageCode, kDataSet2Size);
      link_.Log("fault: a truncated body");
      return SendRaw(std::span(frame).first(4 + 8 + 10));
    }
    case Fault::OverlongHeader: {
      std::vector<std::uint8_t> bytes = DataSet2Frame(kGarbageCode, 100);
      const std::vector<std::uint8_t> inside = DataSet2Frame(kInsideCode, kDataSet2Size);
      bytes.resize(4 + 8);
      bytes.insert(bytes.end(), inside.begin(), inside.end());
      link_.Log("fault: a header announcing more than follows");
      return SendRaw(bytes);
    }
    case Fault::ShortRecord:
      link_.Log("fault: a short record");
      return SendRaw(DataSet2Frame(kShortCode, 20));
    case Fault::SurplusRecord:
      link_.Log("fault: a record with surplus bytes");
      return SendRaw(DataSet2Frame(kSurplusCode, 40));
    case Fault::UnknownType: {
      link_.Log("fault: a frame of an unknown type");
      const std::array<std::uint8_t, 4> body{1, 2, 3, 4};
      return SendFrame(0x55, 1, body);
    }
    case Fault::UnknownCode: {
      link_.Log("fault: an unknown XTK code");
      const std::array<std::uint8_t, 4> body{1, 2, 3, 4};
      return SendRecord(99, body);
    }
    case Fault::LongTrace: {
      link_.Log("fault: a trace text of 0x5000 bytes");
      const std::string text(0x5000, 'x');
      return SendTraceRecord(1, WriteTraceText(text));
    }
    case Fault::OversizedBody: {
      link_.Log("fault: a body longer than the client reads");
      header.subCode = XTK_MSG_PLANE_DATASET1;
      header.length = 204'801;
      const FrameSyncBytes sync = WriteFrameSync(FRAME_SYNC_NETWORK);
      const FrameHeaderBytes head = WriteFrameHeader(header);
      std::vector<std::uint8_t> bytes(sync.size() + head.size());
      std::copy(head.begin(), head.end(), std::copy(sync.begin(), sync.end(), bytes.begin()));
      return SendRaw(bytes);
    }
  }
  return false;
}

void PluginServer::OnLinked(SOCKET s) {
  // A new link streams only after its own handshake.
  link_.SetTickInterval(0);
  {
    std::lock_guard lock(mutex_);
    if (greet_ != Greeting::OnLink) return;
  }
  SendGreeting(s);
}

void PluginServer::SendGreeting(SOCKET s) {
  DllInfos infos;
  {
    std::lock_guard lock(mutex_);
    infos = greeting_;
    // Counted before the send: a client may read the record before the send returns.
    ++greetingsSent_;
  }
  const DllInfosBytes body = WriteDllInfos(infos);
  if (!SendRecordOn(s, XTK_MSG_DLL_INFOS, body)) {
    {
      std::lock_guard lock(mutex_);
      --greetingsSent_;
    }
    link_.Log("XTK_MSG_DLL_INFOS could not be sent");
    return;
  }
  link_.Log("sent XTK_MSG_DLL_INFOS (" + InfosText(infos) + ")");
}

bool PluginServer::SendRecordOn(SOCKET s, std::uint8_t code, std::span<const std::uint8_t> body) {
  FrameHeader header;
  header.type = kXtkRecordType;
  header.subCode = code;
  return link_.SendOn(s, BuildFrame(FRAME_SYNC_NETWORK, header, body));
}

void PluginServer::OnFrame(SOCKET s, const Frame& frame) {
  link_.Log(FrameText(frame));
  if (frame.header.type != kXtkRecordType) return;
  switch (frame.header.subCode) {
    case XTK_CMD_HELLO: {
      std::lock_guard lock(mutex_);
      if (greet_ != Greeting::OnHello) return;
    }
      SendGreeting(s);
      return;
    case XTK_CMD_DLL_INFOS_ACK: {
      int interval = 0;
      {
        std::lock_guard lock(mutex_);
        interval = streamIntervalMs_;
      }
      link_.SetTickInterval(interval);
      if (interval > 0) link_.Log("streaming the flight every " + std::to_string(interval) + " ms");
      return;
    }
    case XTK_CMD_MODELS_SCANNED: {
      std::string title;
      {
        std::lock_guard lock(mutex_);
        title = aircraftTitle_;
      }
      if (SendRecordOn(s, XTK_MSG_USER_AIRCRAFT_LOADED, WriteUserAircraftLoaded(title))) {
        link_.Log("sent XTK_MSG_USER_AIRCRAFT_LOADED (" + title + ")");
      }
      return;
    }
    case XTK_CMD_GET_ACF_TABLE: {
      GetAcfTableCommand request;
      if (!ReadGetAcfTable(frame.body, request)) return;
      std::vector<std::string> titles;
      {
        std::lock_guard lock(mutex_);
        titles = acfTitles_;
      }
      const auto count = static_cast<std::uint16_t>(std::min(titles.size(), kAcfSlots));
      SendRecordOn(s, XTK_MSG_ACF_TABLE, WriteAcfTable(request.way, count, request.mode, titles));
      return;
    }
    case XTK_CMD_ADD_PEER: {
      bool created = false;
      std::uint16_t way = 0;
      link_.Log(ai_.Add(frame.body, created, way));
      SendRecordOn(s, XTK_MSG_ADDPEER_CALLBACK,
                   WriteAddPeerCallback(way, created ? 1 : 0, created ? 0 : kRefusedDetail));
      return;
    }
    case XTK_CMD_REMOVE_PEER: {
      std::uint32_t way = 0;
      if (!ReadPeerWay(frame.header.subCode, frame.body, way)) return;
      if (const auto line = ai_.Remove(way)) link_.Log(*line);
      {
        std::lock_guard lock(mutex_);
        if (holdRemovalAnswers_) {
          heldRemovalAnswers_.push_back(way);
          return;
        }
      }
      SendRecordOn(s, XTK_MSG_REMOVEPEER_CALLBACK, WriteRemovePeerCallback(way));
      return;
    }
    case XTK_CMD_PEER_POSITION:
    case XTK_CMD_PEER_FULL_STATE:
    case XTK_CMD_PEER_FLAGS:
    case XTK_CMD_PEER_AERO:
    case XTK_CMD_PEER_STATE:
    case XTK_CMD_PEER_ENGINES:
    case XTK_CMD_PEER_GEAR:
    case XTK_CMD_PEER_GEAR2:
      if (const auto line = ai_.Refresh(frame.header.subCode, frame.body)) link_.Log(*line);
      return;
    default:
      return;
  }
}

void PluginServer::OnTick(SOCKET s) {
  std::lock_guard order(sendOrder_);
  FlightSample sample;
  {
    std::lock_guard lock(mutex_);
    sample = flight_.At(samplesSent_);
  }
  const bool sent = SendRecordOn(s, XTK_MSG_PLANE_DATASET1, WriteDataSet1(sample)) &&
                    SendRecordOn(s, XTK_MSG_PLANE_DATASET2, WriteDataSet2(sample)) &&
                    SendRecordOn(s, XTK_MSG_PLANE_DATASET3, WriteDataSet3(sample)) &&
                    SendRecordOn(s, XTK_MSG_PLANE_DATASET4, WriteDataSet4(sample));
  if (!sent) return;
  {
    std::lock_guard lock(mutex_);
    ++samplesSent_;
    lastSample_ = sample;
  }
  changed_.notify_all();
}
