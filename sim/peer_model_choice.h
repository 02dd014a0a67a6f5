// The local model that shows a remote pilot, chosen in a fixed order: the
// remote-aircraft rules, the nearest installed model (taken above 50), the
// remote default rules by class code, and last the fixed defaults of the own
// simulator. The steps are passed in so that the order can be tried alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/local_model_choice.h"
#include "sim/rule_appliers.h"

inline constexpr int kNearestModelThreshold = 50;

struct PeerModelRequest {
  std::string callsign;
  std::string title;
  std::string icaoType;
  std::string classCode;
  std::uint8_t category = 0;  // 0 piston, 1 jet, 2 glider, 3 helicopter, 4 rocket plane, 5 turboprop
};

// The step that chose the model.
enum class PeerModelStep { kNone, kRemoteRules, kNearest, kDefaultRules, kFixedDefault };

struct PeerModelResult {
  PeerModelStep step = PeerModelStep::kNone;
  std::string title;
  std::string icaoType;
  std::string classCode;
  int nearestScore = 0;
  std::uint8_t category = 0;
  std::vector<std::string> traces;  // the lines of the choice, in order
};

struct PeerModelSteps {
  std::function<int(RemoteModelChoice&)> remoteRules;
  std::function<int(ModelQuery&)> nearest;
  std::function<int(RemoteModelChoice&)> defaultRules;
};
// The program's steps: its rules file and working model table (under AiLock).
PeerModelSteps ProgramPeerModelSteps();

struct FixedDefaultModel {
  const char* title;
  const char* icaoType;
  const char* classCode;  // null: the request's stays
};
// The fixed default for a peer; nothing for own codes outside 9000..10999.
std::optional<FixedDefaultModel> FixedDefaultFor(const PeerModelRequest& request, std::int32_t ownCode);
// Third letter 'J' 1, 'P' 0, 'T' 5; first letter 'H' 3; else the category as it was.
std::uint8_t CategoryFromClass(const std::string& classCode, std::uint8_t category);

PeerModelResult ChoosePeerModel(const PeerModelRequest& request, const PeerModelSteps& steps, std::int32_t ownCode);
