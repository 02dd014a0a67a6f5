#include "sim/peer_model_choice.h"

#include <cstdio>
#include <cstring>

#include "sim/ai_lock.h"

namespace {

template <std::size_t N>
void Put(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

template <typename... Args>
std::string Line(const char* format, Args... args) {
  const int size = std::snprintf(nullptr, 0, format, args...);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

// Three letters of the callsign name the airline; anything else names none.
std::string AirlineOf(const std::string& callsign) {
  if (callsign.size() < 3) return {};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto c = static_cast<unsigned char>(callsign[i]);
    if (c > 127 || !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return {};
  }
  return callsign.substr(0, 3);
}

bool TakeRule(PeerModelResult& result, const RemoteModelChoice& choice, PeerModelStep step) {
  if (choice.title[0] == '\0') return false;
  result.step = step;
  result.title = choice.title;
  result.icaoType = choice.icaoType;
  result.classCode = choice.classCode;
  return true;
}

}  // namespace

PeerModelSteps ProgramPeerModelSteps() {
  PeerModelSteps steps;
  steps.remoteRules = [](RemoteModelChoice& peer) { return ApplyRemoteAircraftRules(&peer); };
  steps.nearest = [](ModelQuery& query) { return ChooseLocalModelLocked(query); };
  steps.defaultRules = [](RemoteModelChoice& peer) { return ApplyRemoteDefaultRules(&peer); };
  return steps;
}

std::optional<FixedDefaultModel> FixedDefaultFor(const PeerModelRequest& request, std::int32_t ownCode) {
  const bool xp9 = ownCode >= 9000 && ownCode <= 9999;
  const bool xp10 = ownCode >= 10000 && ownCode <= 10999;
  if (!xp9 && !xp10) return std::nullopt;
  const std::string& type = request.icaoType;
  if (type == "C441" || type == "C421" || type == "C21T") return FixedDefaultModel{"Beech Baron 58", "BE58", nullptr};
  if (!request.classCode.empty() && request.classCode[0] == 'H') {
    return FixedDefaultModel{"Helicopters\\Bell 206\\Jetranger.acf", "B06", nullptr};
  }
  switch (request.category) {
    case 1:
      if (xp10) return FixedDefaultModel{"Heavy Metal\\B747-400 United\\747-400 United.acf", "B744", "L4J"};
      return FixedDefaultModel{"Heavy Metal\\B777-200 British Airways\\Speed-Bird.acf", "B772", "L2J"};
    case 2:
      return FixedDefaultModel{"Gliders\\ASK21\\ASK21.acf", "GLID", "L1P"};
    case 3:
      return FixedDefaultModel{"Helicopters\\Bell 206\\Jetranger.acf", "B06", "H1T"};
    case 4:
      return FixedDefaultModel{"X-Planes\\X-15\\X-15.ACF", "X15", "L2J"};
    case 5:
      if (xp10) return FixedDefaultModel{"General Aviation\\KingAir C90B\\KingAirC90B.acf", "BE9L", "L2T"};
      return FixedDefaultModel{"General Aviation\\King Air B200\\King Air B200.acf", "BE20", "L2T"};
    default:
      return FixedDefaultModel{"General Aviation\\Cessna 172SP\\Cessna_172SP.acf", "C172", "L1P"};
  }
}

std::uint8_t CategoryFromClass(const std::string& classCode, std::uint8_t category) {
  if (classCode.size() >= 3) {
    switch (classCode[2]) {
      case 'J': category = 1; break;
      case 'P': category = 0; break;
      case 'T': category = 5; break;
      default: break;
    }
  }
  if (!classCode.empty() && classCode[0] == 'H') category = 3;
  return category;
}

PeerModelResult ChoosePeerModel(const PeerModelRequest& request, const PeerModelSteps& steps, std::int32_t ownCode) {
  PeerModelResult result;
  const char* cs = request.callsign.c_str();
  // The rules and the table are read under the AI lock, taken before any other.
  AiGuard ai;

  RemoteModelChoice rules;
  Put(rules.title, request.title);
  Put(rules.classCode, request.classCode);
  const int ruled = steps.remoteRules ? steps.remoteRules(rules) : kRemoteRuleNone;
  result.traces.push_back(Line("IOVER1 %s : %s, %s, %s, %d", cs, rules.title, rules.icaoType, rules.classCode, ruled));
  bool chosen = ruled > 0 && TakeRule(result, rules, PeerModelStep::kRemoteRules);

  if (!chosen) {
    ModelQuery query;
    Put(query.title, request.title);
    Put(query.icaoType, request.icaoType);
    Put(query.airline, AirlineOf(request.callsign));
    result.traces.push_back(Line("AVANTI %s : %s, %s, %s, %d, %s", cs, query.title, query.icaoType,
                                 request.classCode.c_str(), static_cast<int>(request.category), query.airline));
    result.nearestScore = steps.nearest ? steps.nearest(query) : kChoiceNothing;
    if (result.nearestScore > kNearestModelThreshold && query.title[0] != '\0') {
      result.step = PeerModelStep::kNearest;
      result.title = query.title;
      result.icaoType = query.icaoType;
      result.classCode = query.classCode;
      chosen = true;
    } else {
      result.traces.push_back(Line("NONEAREST %s : %s, %s, %s, %d", cs, query.title, query.icaoType,
                                   request.classCode.c_str(), result.nearestScore));
    }
  }

  if (!chosen) {
    RemoteModelChoice defaults;
    Put(defaults.title, request.title);
    Put(defaults.classCode, request.classCode);
    const int defaulted = steps.defaultRules ? steps.defaultRules(defaults) : kRemoteRuleNone;
    result.traces.push_back(
        Line("IOVER2 %s : %s, %s, %s, %d", cs, defaults.title, defaults.icaoType, defaults.classCode, defaulted));
    chosen = defaulted > 0 && TakeRule(result, defaults, PeerModelStep::kDefaultRules);
  }

  if (!chosen) {
    if (const auto fixed = FixedDefaultFor(request, ownCode)) {
      result.step = PeerModelStep::kFixedDefault;
      result.title = fixed->title;
      result.icaoType = fixed->icaoType;
      result.classCode = fixed->classCode != nullptr ? fixed->classCode : request.classCode;
    } else {
      result.title = request.title;
      result.icaoType = request.icaoType;
      result.classCode = request.classCode;
    }
  }
  result.category = CategoryFromClass(result.classCode, request.category);
  result.traces.push_back(Line("APRETI code %d, %s : %s, %s, %s, %d, %s", static_cast<int>(ownCode), cs,
                               result.title.c_str(), result.icaoType.c_str(), result.classCode.c_str(),
                               result.nearestScore, request.title.c_str()));
  return result;
}
