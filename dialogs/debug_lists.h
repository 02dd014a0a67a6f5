// The lists a user asks for in the chat output: the linked pilots sorted by
// distance, the controllers, the way dump, and the protocol debug line. Each
// list is built from a copy of the way table taken under WayTableLock and
// printed after the lock is left, so that no way thread waits on the output.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/way_record.h"
#include "win/types.h"

// One stretch of a list line in its effects and colour.
struct DebugRun {
  DWORD effects = 0;
  COLORREF colour = 0;
  std::string text;
};
struct DebugLine {
  bool newLine = false;  // printed on a line of its own
  std::vector<DebugRun> runs;
};
using DebugOutput = std::vector<DebugLine>;

// A way's record with what its way object told of its link at the copy.
struct ListedWay {
  WayRecord record;
  bool hasWay = false;
  std::int32_t wayId = 0;
  DWORD linkState = 0;  // the way's logged-in bits; bit 0: the peer link is established
  bool linkUp = false;
  std::uint16_t timeoutSeconds = 0;
  std::string host;
  WORD port = 0;
};
using WayTableCopy = std::array<ListedWay, kPeerWayCount>;

// What the pilot list compares the peers with.
struct PilotListContext {
  bool debugLists = false;  // trace bit 0: positions, links and voice shown
  double ownAltitudeFeet = 0.0;
  std::optional<std::array<std::uint8_t, 4>> ownAddress;  // the own public address
  std::int32_t language = 0;
};

// The copy, or null when it could not be made. Takes WayTableLock.
std::unique_ptr<WayTableCopy> CopyWayTable();

// Negative, 0 or positive: ways whose state word is 0 first, then those with
// the peer link established by distance, then the rest. A total order, so
// that the sort is stable and well defined.
int ComparePeersByDistance(const ListedWay& a, const ListedWay& b);
void SortPeersByDistance(std::span<ListedWay> ways);

// "FS%d", "FSX", "P3D v%d", "XPlane%d" or "Unknown Simulator V%d".
std::string SimulatorName(std::int32_t code);
// "%d.%d.%d.%c, " with the fourth byte as a character, '?' when it is a control character.
std::string AddressText(std::uint32_t networkOrderAddress, std::optional<char> fourth = std::nullopt);
// The dotted text's four bytes, or nothing.
std::optional<std::array<std::uint8_t, 4>> DottedAddressBytes(std::string_view text);

// The pilot list of a sorted copy: its header, one line per linked pilot
// shown, or the no-pilot line.
DebugOutput PilotListLines(std::span<const ListedWay> sorted, const PilotListContext& context);
// The controller list in table order.
DebugOutput AtcListLines(std::span<const ListedWay> ways, std::int32_t language);
// One line per way record.
DebugOutput NodeDumpLines(std::span<const ListedWay> ways);
DebugLine DebugProtocolLine(bool on);
// What the failed copy prints (only with the debug-lists bit).
DebugLine ListCopyFailedLine();

// Into the chat output (nothing without a chat window).
void PrintDebugOutput(const DebugOutput& output);

// The pilot list, then the controller list. A failed copy ends it with its
// line when the debug-lists bit is set, and always prints no list.
void ListOnlinePlayers();
void ListOnlinePlayersFrom(std::unique_ptr<WayTableCopy> copy);
void DumpAtcList();
// Only while the main thread exists.
void DumpNodes();
