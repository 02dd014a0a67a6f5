#include "app/weather_worker.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <string>

#include "app/app_globals.h"
#include "core/great_circle.h"
#include "app/main_class.h"
#include "core/main_dialog_state.h"
#include "core/own_position.h"
#include "app/remote_file.h"
#include "core/settings.h"
#include "base/klib_settings.h"
#include "net/way_table_lock.h"
#include "core/airport_db.h"
#include "win/ascii_case.h"
#include "win/clock.h"
#include "win/window.h"

std::atomic<CAllPurposeThread*> g_pWeatherWorker{nullptr};

namespace {
constexpr std::string_view kNoMetarMarker = "NO METAR FOR";

std::atomic<ControllerWeatherLookup> g_controllerLookup{nullptr};
std::atomic<float> g_lastStationElevationMetres{0.0f};

// Every worker made here, so that ended ones can be deleted. Writes of the
// global go under the same lock as the main worker's clearing.
struct WorkerRegistry {
  std::mutex lock;
  std::vector<std::unique_ptr<CAllPurposeThread>> workers;
};

WorkerRegistry& Registry() {
  static auto* registry = new WorkerRegistry();
  return *registry;
}

// At most 4 characters of `code`, upper-cased, always terminated.
AirportCode StationCode(std::string_view code) {
  AirportCode station{};
  for (std::size_t i = 0; i < code.size() && i + 1 < station.size() && code[i] != '\0'; ++i)
    station[i] = AsciiToUpper(code[i]);
  return station;
}

AirportCode StationCode(const char* code) { return StationCode(std::string_view(code, strnlen(code, 4))); }

std::string WeatherBaseUrl() {
  std::lock_guard lock(SettingsTextLock());
  const auto& url = g_weatherSettings.url;
  return std::string(url.data(), strnlen(url.data(), url.size()));
}

int CompareDistance(double a, double b) {
  // NaN never occurs in the sort below (it becomes +infinity); here it sorts last.
  const bool aNan = std::isnan(a);
  const bool bNan = std::isnan(b);
  if (aNan || bNan) return aNan == bNan ? 0 : (aNan ? 1 : -1);
  return a < b ? -1 : (a > b ? 1 : 0);
}

// The one or two line ends the server puts after the report.
std::string_view CutTrailingLineEnds(std::string_view text) {
  for (int i = 0; i < 2 && !text.empty() && (text.back() == '\r' || text.back() == '\n'); ++i)
    text.remove_suffix(1);
  return text;
}
}  // namespace

CAllPurposeThread::CAllPurposeThread(void* ownerSlot, const char* name) : CBaseThread(ownerSlot, name, 0) {}

void CAllPurposeThread::SetRequestedIcao(std::string_view icao) { requestedIcao_ = StationCode(icao); }

DWORD CAllPurposeThread::ProcessMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_NOP:
    case kWeatherNopMessage:
      return 1;
    case THRDMSG_STOP:
      RequestStop(kWeatherStoppedExitCode);
      return 1;
    case THRDMSG_QUIT:
      PostQuitMessage(0);
      return 1;
    default:
      return 0;
  }
}

DWORD CAllPurposeThread::VTFX(DWORD) {
  while (!StopRequested() && !Klib().Exiting()) {
    DMessage message;
    while (PopMessage(message) != 0) {
      ProcessMessage(message);
      DropPendingPayload();
    }
    // A stop taken from the queue ends the worker before its job, with its own exit code.
    if (StopRequested() || Klib().Exiting()) break;
    OnIdle();
    Sleep(kWeatherIdleSleepMs);
  }
  DWORD reasons = 0;
  if (StopRequested()) reasons |= kWeatherExitStopped;
  if (Klib().Exiting()) reasons |= kWeatherExitLibraryClosing;
  return reasons;
}

void CAllPurposeThread::OnIdle() {
  if (job_ == kWeatherJobIdle) {
    Sleep(kWeatherNoJobSleepMs);
    return;
  }
  if (job_ == kWeatherJobMetar) {
    if (requestedIcao_[0] != '\0') {
      RequestMetar(requestedIcao_.data(), false, true);
    } else {
      FindNearestMetarStation();
    }
  }
  // One job per worker.
  RequestStop(kWeatherJobDoneExitCode);
}

void CAllPurposeThread::FindNearestMetarStation() {
  const AirportDb& db = g_airportDb();
  if (db.records == nullptr || db.count <= 0) return;
  const OwnPositionFix own = OwnPosition();
  // A private order: the shared table is read by other threads and stays as loaded.
  const std::vector<StationDistance> order = StationsByDistance(db, own.latitude, own.longitude);
  const std::size_t candidates = std::min<std::size_t>(order.size(), kMetarCandidateCount);

  const FlightPlanAirports plan = GetFlightPlanAirports();
  for (std::size_t i = 0; i < candidates; ++i) {
    const AirportRecord& airport = db.records[order[i].index];
    const AirportCode code = StationCode(airport.Icao());
    if (order[i].distance < kFlightPlanStationMetres && IsFlightPlanAirport(plan, code.data())) {
      g_lastStationElevationMetres = static_cast<float>(airport.elevation / kFeetPerMetre);
      RequestMetar(code.data(), true, true);
      return;
    }
  }

  if (!g_sessionOpen.load()) return;
  const std::uint32_t simulator = g_ownSimulatorCode.load();
  if (simulator < kSingleStationSimulatorCode) {
    for (std::size_t i = 0; i < candidates; ++i) {
      if (!g_sessionOpen.load() || Klib().Exiting()) return;
      const AirportCode code = StationCode(db.records[order[i].index].Icao());
      if (RequestMetar(code.data(), false, true) >= 0) return;
    }
  } else if (simulator < kXPlaneSimulatorCode) {
    if (candidates > 0 && order[0].distance < kSingleStationMetres) {
      const AirportCode code = StationCode(db.records[order[0].index].Icao());
      RequestMetar(code.data(), false, true);
    }
  }
}

int CAllPurposeThread::RequestMetar(const char* code, bool flagged, bool showBanner) {
  if (code == nullptr || code[0] == '\0') {
    if (Klib().TraceBit(0)) {
      SetTraceColour(Klib().Colour(kColourError));
      TraceLine("%s", "WEATHER UWOTA : null pointer.");
    }
    return kMetarNoCode;
  }
  const AirportCode station = StationCode(code);
  const std::string_view stationText(station.data());

  if (ControllerWeatherLookup lookup = g_controllerLookup.load()) {
    WayTableGuard guard;
    if (lookup(station.data())) return kMetarFromController;
  }

  std::string url = WeatherBaseUrl();
  url += '/';
  url += stationText;
  url += ".TXT";
  // One byte more than the fetch may fill: the reply is always terminated.
  auto reply = std::make_unique<std::array<char, kRemoteFileMaxBytes + 1>>();
  std::size_t received = 0;
  if (GetRemoteFile(url.c_str(), std::span(*reply).first(kRemoteFileMaxBytes), &received) == 0)
    return kMetarFetchFailed;
  received = std::min(received, kRemoteFileMaxBytes);
  (*reply)[received] = '\0';

  std::string_view text(reply->data(), strnlen(reply->data(), received));
  if (text.find(kNoMetarMarker) != std::string_view::npos) text = {};

  if (text.find(stationText) != std::string_view::npos) {
    text = CutTrailingLineEnds(text);
    // An offset past the text leaves an empty report, never a read beyond it.
    const std::size_t offset = std::min<std::size_t>(g_weatherSettings.offset.load(), text.size());
    const std::string metar(text.substr(offset));
    if (displayKind_ == kWeatherPrintTrace) {
      SetTraceColour(Klib().Colour(kColour26));
      TraceLine("%s", metar.c_str());
      return kMetarPrinted;
    }
    if (showBanner) SetMetarLabel(metar.c_str(), flagged);
    return kMetarShown;
  }

  if (displayKind_ == kWeatherShowBanner) SetMetarLabel(nullptr, false);
  return kMetarNotFound;
}

void OnUpdateWeather() {
  if (g_networkState.load() == 0) return;
  StartWeatherWorker("APTWUP1", kWeatherShowBanner, {});
}

CAllPurposeThread* StartWeatherWorker(const char* name, int displayKind, std::string_view icao) {
  SetWeatherWorkerEndHandler(&g_pWeatherWorker, &CollectWeatherWorkerEnd);
  ReapEndedWeatherWorkers();

  auto created = std::unique_ptr<CAllPurposeThread>(new (std::nothrow) CAllPurposeThread(&g_pWeatherWorker, name));
  if (created == nullptr) return nullptr;
  CAllPurposeThread* worker = created.get();
  worker->SetJob(kWeatherJobMetar);
  worker->SetDisplayKind(displayKind);
  worker->SetRequestedIcao(icao);
  {
    WorkerRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    registry.workers.push_back(std::move(created));
    g_pWeatherWorker = worker;
  }
  if (worker->StartThread(1, kDefaultQueueSize) != 1) {
    std::unique_ptr<CAllPurposeThread> failed;
    {
      WorkerRegistry& registry = Registry();
      std::lock_guard lock(registry.lock);
      CAllPurposeThread* expected = worker;
      g_pWeatherWorker.compare_exchange_strong(expected, nullptr);
      auto it = std::find_if(registry.workers.begin(), registry.workers.end(),
                             [worker](const auto& held) { return held.get() == worker; });
      if (it != registry.workers.end()) {
        failed = std::move(*it);
        registry.workers.erase(it);
      }
    }
    return nullptr;
  }
  return worker;
}

int ReapEndedWeatherWorkers() {
  std::vector<std::unique_ptr<CAllPurposeThread>> finished;
  {
    WorkerRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    const CAllPurposeThread* current = g_pWeatherWorker.load();
    auto keep = std::stable_partition(registry.workers.begin(), registry.workers.end(), [current](const auto& w) {
      return w.get() == current || !w->Ended();
    });
    finished.assign(std::make_move_iterator(keep), std::make_move_iterator(registry.workers.end()));
    registry.workers.erase(keep, registry.workers.end());
  }
  // Deleted outside the lock: a worker's last steps (its end notice) may still
  // be running, and the main worker's collection must not wait for them.
  const int count = static_cast<int>(finished.size());
  finished.clear();
  return count;
}

void CollectWeatherWorkerEnd(MainClass& collector) {
  WorkerRegistry& registry = Registry();
  std::lock_guard lock(registry.lock);
  CAllPurposeThread* current = g_pWeatherWorker.load();
  // A worker that is still running is a newer one than the worker that ended.
  if (current == nullptr || !current->Ended()) return;
  collector.TraceThreadEnd(current);
  g_pWeatherWorker = nullptr;
}

void SetControllerWeatherLookup(ControllerWeatherLookup lookup) { g_controllerLookup = lookup; }

int CompareAirportDistance(const AirportRecord& a, const AirportRecord& b) {
  return CompareDistance(a.distance, b.distance);
}

std::vector<StationDistance> StationsByDistance(const AirportDb& db, double latitude, double longitude) {
  std::vector<StationDistance> order;
  if (db.records == nullptr || db.count <= 0) return order;
  order.reserve(static_cast<std::size_t>(db.count));
  for (int i = 0; i < db.count; ++i) {
    const AirportRecord& airport = db.records[i];
    double distance = GreatCircleMetres(airport.latitude, airport.longitude, latitude, longitude);
    // The sort needs a strict order: a broken position sorts last.
    if (std::isnan(distance)) distance = std::numeric_limits<double>::infinity();
    order.push_back({i, distance});
  }
  std::stable_sort(order.begin(), order.end(), [](const StationDistance& a, const StationDistance& b) {
    return CompareDistance(a.distance, b.distance) < 0;
  });
  return order;
}

float LastStationElevationMetres() { return g_lastStationElevationMetres.load(); }
