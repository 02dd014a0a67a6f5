#include "sim/own_aircraft_link.h"

#include <algorithm>
#include <atomic>

#include "base/message_box.h"
#include "core/aircraft_change_hook.h"
#include "core/own_aircraft_events.h"
#include "core/own_aircraft_state.h"
#include "core/text_fields.h"
#include "sim/plugin_link.h"
#include "sim/plugin_link_body.h"
#include "sim/own_type_match.h"

std::string TitleForPeers(const std::string& title) {
  std::string peers = title;
  std::replace(peers.begin(), peers.end(), ':', ';');
  return peers;
}

namespace {
// The first aircraft reported counts as a change: the pilot confirms its type too.
std::atomic<bool> g_anyAircraftLoaded{false};
}  // namespace

void ApplyUserAircraftLoaded(const OwnIdentityRecord& record) {
  const std::string title = IdentityRecordTitle(record);
  bool changed = !g_anyAircraftLoaded.exchange(true);
  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    OwnModel& model = own.model;
    if (FieldText(model.title) != title) changed = true;
    // A title is loaded once its type is matched: peers are then sent the whole identity.
    if (title.empty()) model.identityLoaded = true;
    model.identityRecord = record;
    CopyCut(model.title.data(), model.title.size(), title);
    CopyCut(model.titleForPeers.data(), model.titleForPeers.size(),
            title.empty() ? std::string(kReloadAircraftTitle) : TitleForPeers(title));
    // Until the match below, peers are told the type there was.
    if (!title.empty()) SetIdentityRecordType(model.identityRecord, model.parameterWord, FieldText(model.icaoType));
  });
  if (title.empty()) {
    ShowMessage("Information", "%s",
                "Tavelkor could not detect your aircraft. Would you please reload your aircraft in FS ?");
    return;
  }
  MatchTitleToIcao(kNoChosenTypeIndex);
  if (changed) ui_hook::AircraftChanged();
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
