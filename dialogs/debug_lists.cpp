#include "dialogs/debug_lists.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"  // Language
#include "core/text_fields.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/network_setup_dialog.h"  // ParseDottedAddress
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/web_task_way.h"
#include "win/richedit.h"

namespace {
constexpr double kMetresPerNm = 1852.0;
constexpr double kMetresShownInNm = 3705.0;
constexpr DWORD kBold = CFE_BOLD;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  std::array<char, 512> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  return std::string(text.data());
}

COLORREF Field(int field) { return Klib().Colour(field); }

class LineBuilder {
 public:
  explicit LineBuilder(bool newLine) { line_.newLine = newLine; }
  LineBuilder& Add(DWORD effects, int field, std::string text) {
    line_.runs.push_back(DebugRun{effects, Field(field), std::move(text)});
    return *this;
  }
  DebugLine Take() { return std::move(line_); }

 private:
  DebugLine line_;
};

std::array<std::uint8_t, 4> Octets(std::uint32_t networkOrderAddress) {
  std::array<std::uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), &networkOrderAddress, bytes.size());
  return bytes;
}

// Rank of the sort: state 0, then established, then the rest.
int SortRank(const ListedWay& way) {
  if (way.linkState == 0) return 0;
  if ((way.linkState & kWayLoggedIn) != 0) return 1;
  return 2;
}

std::string DistanceText(double metres) {
  if (metres >= kMetresShownInNm) return Format("%.1f Nm, ", metres / kMetresPerNm);
  return Format("%d meters, ", static_cast<int>(metres));
}

bool SameNetwork(std::uint32_t peerAddress, const std::optional<std::array<std::uint8_t, 4>>& own) {
  if (!own) return false;
  const auto peer = Octets(peerAddress);
  return std::equal(peer.begin(), peer.begin() + 3, own->begin());
}

DebugLine PilotLine(const ListedWay& way, int number, const PilotListContext& context) {
  const WayRecord& r = way.record;
  LineBuilder line(true);
  line.Add(kBold, kColourNormal, Format("[%d] %s", number, std::string(FieldText(r.callsign)).c_str()));
  line.Add(0, kColour27,
           Format(" : %s %s", std::string(FieldText(r.firstName)).c_str(), std::string(FieldText(r.lastName)).c_str()));
  line.Add(0, kColourNormal, ", ");
  line.Add(0, SameNetwork(r.peerAddress, context.ownAddress) ? kColour25 : kColourError, AddressText(r.peerAddress));
  const int ownFeet = static_cast<int>(context.ownAltitudeFeet);
  const int peerFeet = static_cast<int>(r.position.altitude);
  line.Add(0, kColourNormal, DistanceText(r.distanceMetres) + Format("%+d ft, ", peerFeet - ownFeet));
  line.Add(0, kColourNormal, r.pilot.onGround ? "onground, " : "airborne, ");
  if (context.debugLists) {
    if (way.linkUp) {
      line.Add(0, kColour25, "connected on = ");
      line.Add(0, kColour26, Format("%s:%d", way.host.c_str(), static_cast<int>(way.port)));
    } else {
      line.Add(0, kColourError, "NOT connected");
    }
    line.Add(0, kColour27, Format(" TimeOut %ds ", static_cast<int>(way.timeoutSeconds)));
    line.Add(0, kColourNormal, " Tx ");
    const bool voice = (r.voiceFlags & kWayVoiceRadioBits) != 0;
    line.Add(0, voice ? kColour25 : kColourError, voice ? "ON" : "OFF");
    line.Add(0, kColourNormal, ", ");
  }
  line.Add(kBold, r.simulatorCode == 2002 ? kColour24 : kColour25, SimulatorName(r.simulatorCode));
  line.Add(0, kColourNormal, ", ");
  line.Add(0, kColour25, std::string(FieldText(r.announced.title)));
  return line.Take();
}

DebugLine Header(const char* text) { return LineBuilder(false).Add(kBold, kColourNormal, text).Take(); }
}  // namespace

std::unique_ptr<WayTableCopy> CopyWayTable() {
  std::unique_ptr<WayTableCopy> copy(new (std::nothrow) WayTableCopy());
  if (copy == nullptr) return nullptr;
  try {
    WayTableGuard guard;
    const WayTableArray& table = WayTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
      ListedWay& listed = (*copy)[i];
      listed.record = table[i];
      const COrvSok* way = table[i].way;
      listed.hasWay = way != nullptr;
      if (way == nullptr) continue;
      listed.wayId = way->WayId();
      listed.linkState = way->LoggedInBits();
      listed.linkUp = way->IsConnected();
      listed.timeoutSeconds = way->PilotLink().timeoutSeconds.load();
      listed.host = way->ConnectedHost();
      listed.port = way->ConnectedPort();
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return copy;
}

int ComparePeersByDistance(const ListedWay& a, const ListedWay& b) {
  const int rankA = SortRank(a);
  const int rankB = SortRank(b);
  if (rankA != rankB) return rankA < rankB ? -1 : 1;
  if (rankA != 1) return 0;
  const double da = a.record.distanceMetres;
  const double db = b.record.distanceMetres;
  if (da < db) return -1;
  if (db < da) return 1;
  return 0;
}

void SortPeersByDistance(std::span<ListedWay> ways) {
  std::stable_sort(ways.begin(), ways.end(),
                   [](const ListedWay& a, const ListedWay& b) { return ComparePeersByDistance(a, b) < 0; });
}

std::string SimulatorName(std::int32_t code) {
  if (code < 2006) return Format("FS%d", code);
  if (code == 2006) return "FSX";
  if (code >= 3000 && code <= 3999) return Format("P3D v%d", code - 3000);
  if (code >= 9000) return Format("XPlane%d", code / 1000);
  return Format("Unknown Simulator V%d", code);
}

std::string AddressText(std::uint32_t networkOrderAddress, std::optional<char> fourth) {
  const auto bytes = Octets(networkOrderAddress);
  char last = fourth ? *fourth : static_cast<char>(bytes[3]);
  if (static_cast<unsigned char>(last) < 32) last = '?';
  return Format("%d.%d.%d.%c, ", bytes[0], bytes[1], bytes[2], last);
}

std::optional<std::array<std::uint8_t, 4>> DottedAddressBytes(std::string_view text) {
  const std::optional<DWORD> packed = ParseDottedAddress(text);
  if (!packed) return std::nullopt;
  return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(*packed >> 24), static_cast<std::uint8_t>(*packed >> 16),
                                     static_cast<std::uint8_t>(*packed >> 8), static_cast<std::uint8_t>(*packed)};
}

DebugOutput PilotListLines(std::span<const ListedWay> sorted, const PilotListContext& context) {
  DebugOutput out;
  out.push_back(Header("\r\n\tPilots list, sorted by distance :"));
  int printed = 0;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    const ListedWay& way = sorted[i];
    const WayRecord& r = way.record;
    if (r.peerKind != 'P' || (way.linkState & kWayLoggedIn) == 0 || (r.stateFlags & kWayInvisible) != 0) continue;
    ++printed;
    const int number = context.debugLists ? static_cast<int>(i) + 1 : printed;
    out.push_back(PilotLine(way, number, context));
  }
  if (printed == 0) {
    const char* none = context.language == 1   ? " Aucun pilote dans le rayon d'action."
                       : context.language == 2 ? " Ning\xFAn piloto en el rango."
                                               : " No pilots in range.";
    out.push_back(LineBuilder(true).Add(0, kColourNormal, none).Take());
  }
  return out;
}

DebugOutput AtcListLines(std::span<const ListedWay> ways, std::int32_t language) {
  DebugOutput out;
  out.push_back(Header("\r\n\tAtc's list :"));
  int number = 0;
  for (const ListedWay& way : ways) {
    const WayRecord& r = way.record;
    if (r.peerKind != 'A' || (r.stateFlags & kWayAllocated) == 0) continue;
    ++number;
    LineBuilder line(true);
    line.Add(kBold, kColourNormal, Format("[%d] %s", number, std::string(FieldText(r.callsign)).c_str()));
    line.Add(0, kColourNormal, " : V ");
    line.Add(0, kColour25, AddressText(r.peerAddress, 'B'));
    line.Add(0, kColourNormal, Format("Range %d Nm, ", static_cast<int>(r.controller.rangeNm)));
    line.Add(kBold, kColour25,
             Format("%d.%03d Mhz", static_cast<int>(r.controller.frequencyMhz),
                    static_cast<int>(r.controller.frequencyKhz)));
    line.Add(0, kColour24,
             Format(" %s %s", std::string(FieldText(r.firstName)).c_str(), std::string(FieldText(r.lastName)).c_str()));
    out.push_back(line.Take());
  }
  if (number == 0) {
    const char* none = language == 1   ? " Aucun controleur dans le rayon d'action."
                       : language == 2 ? " Ning\xFAn controlador en el rango."
                                       : " No controller in range.";
    out.push_back(LineBuilder(true).Add(0, kColourNormal, none).Take());
  }
  return out;
}

DebugOutput NodeDumpLines(std::span<const ListedWay> ways) {
  DebugOutput out;
  out.push_back(LineBuilder(false).Add(kBold, kColourEmphasis, " Orvx :\r\n").Take());
  for (std::size_t i = 0; i < ways.size(); ++i) {
    const ListedWay& way = ways[i];
    const auto& block = way.record.simObjectBlock;
    std::array<std::int32_t, 4> words{};
    for (std::size_t w = 0; w < words.size(); ++w) {
      std::uint32_t value = 0;
      for (std::size_t b = 0; b < 4; ++b) value |= static_cast<std::uint32_t>(block[w * 4 + b]) << (8 * b);
      words[w] = static_cast<std::int32_t>(value);
    }
    out.push_back(LineBuilder(i != 0)
                      .Add(0, kColourEmphasis,
                           Format("[%d] porv %d, pDPP %d.%d.%d.%d, %s.", static_cast<int>(i),
                                  way.hasWay ? static_cast<int>(way.wayId) : 0, words[0], words[1], words[2], words[3],
                                  std::string(FieldText(way.record.callsign)).c_str()))
                      .Take());
  }
  return out;
}

DebugLine DebugProtocolLine(bool on) {
  return LineBuilder(true).Add(kBold, on ? kColourError : kColour25, on ? "DBGP ON" : "DBGP OFF").Take();
}

DebugLine ListCopyFailedLine() {
  return LineBuilder(true).Add(kBold, kColourError, "Error when allocating ListOnlinePlayers()").Take();
}

void PrintDebugOutput(const DebugOutput& output) {
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  std::vector<PrintRun> runs;
  for (const DebugLine& line : output) {
    runs.clear();
    for (const DebugRun& run : line.runs) runs.push_back(PrintRun{run.effects, run.colour, run.text});
    chat->PrintRuns(runs, line.newLine);
  }
  chat->SetFormat(0, Klib().Colour(kColourNormal));
}

void ListOnlinePlayers() { ListOnlinePlayersFrom(CopyWayTable()); }

void ListOnlinePlayersFrom(std::unique_ptr<WayTableCopy> copy) {
  if (copy == nullptr) {
    if (Klib().TraceBit(0)) PrintDebugOutput({ListCopyFailedLine()});
    return;
  }
  SortPeersByDistance(*copy);
  PilotListContext context;
  context.debugLists = Klib().TraceBit(0);
  context.ownAltitudeFeet = g_ownAircraft().Flight().altitudeFeet;
  context.ownAddress = DottedAddressBytes(OwnPublicAddress());
  context.language = Language.load();
  PrintDebugOutput(PilotListLines(*copy, context));
  copy.reset();
  DumpAtcList();
}

void DumpAtcList() {
  const std::unique_ptr<WayTableCopy> copy = CopyWayTable();
  if (copy == nullptr) return;
  PrintDebugOutput(AtcListLines(*copy, Language.load()));
}

void DumpNodes() {
  if (Klib().mainThread.load() == nullptr) return;
  const std::unique_ptr<WayTableCopy> copy = CopyWayTable();
  if (copy == nullptr) return;
  PrintDebugOutput(NodeDumpLines(*copy));
}
