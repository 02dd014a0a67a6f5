// The weather worker: a short-lived thread that does one weather job (fetch the
// METAR of a station and show it in the chat window's title, or print it) and
// ends, so the transfer never blocks the UI or a socket thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/flight_plan_airports.h"
#include "app/metar_banner.h"
#include "base/base_thread.h"

struct AirportDb;
struct AirportRecord;
class MainClass;

constexpr DWORD kWeatherJobDoneExitCode = 67409;
constexpr DWORD kWeatherStoppedExitCode = 67410;
constexpr std::uint32_t kWeatherNopMessage = 0xAEE0;
constexpr DWORD kWeatherIdleSleepMs = 10;
constexpr DWORD kWeatherNoJobSleepMs = 300;

// Reasons returned by the worker body when it leaves.
constexpr DWORD kWeatherExitStopped = 1;
constexpr DWORD kWeatherExitLibraryClosing = 4;

enum WeatherJob : int { kWeatherJobIdle = 0, kWeatherJobMetar = 2 };
// 0 banner, 1 print in the trace output, 2 and 3 the chat commands' own displays.
enum WeatherDisplay : int { kWeatherShowBanner = 0, kWeatherPrintTrace = 1, kWeatherChat2 = 2, kWeatherChat3 = 3 };

// RequestMetar results.
constexpr int kMetarFromController = 10;  // a connected controller serves the station
constexpr int kMetarShown = 2;
constexpr int kMetarPrinted = 1;
constexpr int kMetarNoCode = 0;
constexpr int kMetarFetchFailed = -1;
constexpr int kMetarNotFound = -2;

// Station search limits.
constexpr int kMetarCandidateCount = 10;
constexpr double kFlightPlanStationMetres = 111'120.0;  // 60 NM
constexpr double kSingleStationMetres = 92'600.0;       // 50 NM
// Own simulator codes: below this every nearby station is tried, from it only
// the nearest one, from kXPlaneSimulatorCode none.
constexpr std::uint32_t kSingleStationSimulatorCode = 2006;
constexpr std::uint32_t kXPlaneSimulatorCode = 4000;

class CAllPurposeThread : public CBaseThread {
 public:
  CAllPurposeThread(void* ownerSlot, const char* name);

  DWORD ProcessMessage(const DMessage& message) override;
  DWORD VTFX(DWORD argument) override;
  void OnIdle() override;

  // The job, display kind and station are set before StartThread.
  int Job() const { return job_; }
  void SetJob(int job) { job_ = job; }
  int DisplayKind() const { return displayKind_; }
  void SetDisplayKind(int kind) { displayKind_ = kind; }
  // Empty: find a station near the own aircraft. Cut to 4 characters, upper-cased.
  const char* RequestedIcao() const { return requestedIcao_.data(); }
  void SetRequestedIcao(std::string_view icao);

  // The flight plan's airport when it lies within 60 NM among the ten nearest,
  // else by the own simulator: the ten nearest in turn, the nearest within 50 NM, or none.
  void FindNearestMetarStation();
  // Fetches "<[WEATHER] url>/<code>.TXT" and shows or prints the report:
  // 10, 2 (banner), 1 (printed), 0 (no code), -1 (fetch failed), -2 (no report).
  int RequestMetar(const char* code, bool flagged, bool showBanner);

 private:
  int job_ = kWeatherJobMetar;
  int displayKind_ = kWeatherShowBanner;
  AirportCode requestedIcao_{};
};

// The latest weather worker (its owner slot). A newer worker simply replaces it.
extern std::atomic<CAllPurposeThread*> g_pWeatherWorker;

// Menu 32804 and the periodic weather duty: while logged in, a worker "APTWUP1"
// that finds a station and shows its METAR in the banner.
void OnUpdateWeather();
// Creates a worker (owner slot g_pWeatherWorker, job 2), stores it in the global
// and starts it at once; null when the thread could not start. The objects stay
// owned here: ended workers that the global no longer holds are deleted by the next call.
CAllPurposeThread* StartWeatherWorker(const char* name, int displayKind, std::string_view icao);
// Deletes ended workers that the global no longer holds; the number deleted.
int ReapEndedWeatherWorkers();
// The main worker's handling of a weather worker's end: the global is cleared only
// while the worker it holds has ended, so an older worker's end never clears a newer one.
void CollectWeatherWorkerEnd(MainClass& collector);

// Whether a connected controller way serves the station's weather; called under
// the way-table lock. Installed by the way table; none means no controller does.
using ControllerWeatherLookup = bool (*)(const char* icao);
void SetControllerWeatherLookup(ControllerWeatherLookup lookup);

// Ascending by the distance field: -1, 0 or 1 (a NaN distance sorts last).
int CompareAirportDistance(const AirportRecord& a, const AirportRecord& b);

// One airport of the station search: its index in the table and its distance.
struct StationDistance {
  int index = 0;
  double distance = 0.0;  // whole metres; +infinity for a position that gives none
};
// Every airport of the table by ascending distance from the position, ties in
// table order. The table itself is only read.
std::vector<StationDistance> StationsByDistance(const AirportDb& db, double latitude, double longitude);

// Elevation in metres of the flight-plan station last requested.
float LastStationElevationMetres();
