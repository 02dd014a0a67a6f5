#include "sim/own_aircraft_link.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "base/message_box.h"
#include "core/own_aircraft_events.h"
#include "core/own_aircraft_state.h"
#include "core/text_fields.h"
#include "sim/plugin_link.h"
#include "sim/plugin_link_body.h"
#include "sim/title_matcher.h"
#include "sim/title_type_scorer.h"

namespace {
std::atomic<OwnTypeResolver> g_ownTypeResolver{nullptr};

std::string DefaultOwnTypeResolver(const std::string& title) {
  std::array<char, kTitleTypeBufferSize> type{};
  int military = 0;
  if (MatchTitleToIcaoType(title, type.data(), &military) > 0 && type[0] != '\0') return type.data();
  type.fill('\0');
  if (GuessIcaoTypeFromTitle(title.c_str(), type.data()) > 0 && type[0] != '\0') return type.data();
  return {};
}

template <std::size_t N>
void CopyText(std::array<char, N>& field, const std::string& text) {
  CopyCut(field.data(), field.size(), text);
}
}  // namespace

void SetOwnTypeResolver(OwnTypeResolver resolver) { g_ownTypeResolver = resolver; }

std::string ResolveOwnAircraftType(const std::string& title) {
  const OwnTypeResolver resolver = g_ownTypeResolver.load();
  return resolver != nullptr ? resolver(title) : DefaultOwnTypeResolver(title);
}

std::string TitleForPeers(const std::string& title) {
  std::string peers = title;
  std::replace(peers.begin(), peers.end(), ':', ';');
  return peers;
}

void ApplyUserAircraftLoaded(const OwnIdentityRecord& record) {
  const std::string title = IdentityRecordTitle(record);
  // The matcher runs outside the state's lock: it may take a while over the tables.
  const std::string type = title.empty() ? std::string() : ResolveOwnAircraftType(title);
  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    OwnModel& model = own.model;
    model.identityLoaded = true;
    CopyText(model.title, title);
    if (title.empty()) {
      CopyText(model.titleForPeers, kReloadAircraftTitle);
      std::copy(record.begin(), record.end(), model.identityRecord.begin());
      return;
    }
    CopyText(model.titleForPeers, TitleForPeers(title));
    // No type found: the previous one stays.
    if (!type.empty()) CopyText(model.icaoType, type);
    OwnIdentityRecord identity = record;
    SetIdentityRecordType(identity, model.parameterWord, FieldText(model.icaoType));
    model.identityRecord = identity;
  });
  if (title.empty()) {
    ShowMessage("Information", "%s",
                "Tavelkor could not detect your aircraft. Would you please reload your aircraft in FS ?");
  }
}

void CXPlaneLink::OnDataSet1(const Frame& frame) {
  RecordBytes<kDataSet1Size> body{};
  if (!TakeBody(frame, body, "HRFX_22")) return;
  g_ownAircraft().SetFlightData(ReadDataSet1(body));
  own_aircraft_event::BroadcastOwnPosition();
}

void CXPlaneLink::OnDataSet2(const Frame& frame) {
  RecordBytes<kDataSet2Size> body{};
  if (!TakeBody(frame, body, "HRFX_24")) return;
  const DataSet2Record record = ReadDataSet2(body);
  // One change under the lock: the mode character that an unknown mode leaves is the current one.
  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    own.radios = ApplyDataSet2(record, own.radios);
    own.working.com1 = own.radios.com1;
    own.working.com2 = own.radios.com2;
    own.working.com1Selected = own.radios.com1Selected;
    own.working.com2Selected = own.radios.com2Selected;
    own.working.bothSelected = own.radios.bothSelected;
  });
}

void CXPlaneLink::OnDataSet3(const Frame& frame) {
  RecordBytes<kDataSet3Size> body{};
  if (!TakeBody(frame, body, "HRFX_26")) return;
  g_ownAircraft().SetControls(ReadDataSet3(body));
  own_aircraft_event::BroadcastOwnAircraftState();
}

void CXPlaneLink::OnDataSet4(const Frame& frame) {
  RecordBytes<kDataSet4Size> body{};
  if (!TakeBody(frame, body, "HRFX_27b")) return;
  g_ownAircraft().SetShortState(ReadDataSet4(body));
  own_aircraft_event::BroadcastOwnShortState();
}
