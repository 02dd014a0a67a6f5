// Hostile callers of the client's listening port: bytes a stranger might send
// (inputs that once broke a parser, kept as files, and frames announcing
// bodies far past any bound), each written on a call of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostileInput {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Every regular file under the folders (one level of subfolders), by name.
std::vector<HostileInput> HostileInputsFromFolders(const std::vector<std::string>& folders);
// Frames of the network's and the add-on link's sync words whose headers
// announce oversize bodies, a header cut short and bytes without a sync word.
std::vector<HostileInput> OversizeFrames();

struct HostileOutcome {
  bool called = false;
  bool sentAll = false;
  // The client ended the call within the bound, and how long after the last byte.
  bool closedByClient = false;
  int closeMs = 0;
};

// Calls 127.0.0.1:port, writes the bytes and waits up to waitMs for the
// client to end the call; the call is then reset either way.
HostileOutcome CallAndWrite(std::uint16_t port, const std::vector<std::uint8_t>& bytes, int waitMs);
