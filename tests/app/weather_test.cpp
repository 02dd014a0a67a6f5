#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "core/flight_plan_airports.h"
#include "core/great_circle.h"
#include "app/main_class.h"
#include "core/main_dialog_state.h"
#include "app/metar_banner.h"
#include "core/nearest_airport.h"
#include "core/own_position.h"
#include "core/settings.h"
#include "app/weather_worker.h"
#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "dialogs/chat_dialog.h"
#include "net/way_table_lock.h"
#include "core/airport_db.h"
#include "core/table_memory.h"
#include "core/text_fields.h"
#include "support/klib_fixture.h"
#include "testbed/metar_server.h"
#include "win/clock.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/window.h"

namespace {

constexpr const char* kLfpgReport = "2026/12/10 09:00\nLFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015\n";
constexpr const char* kLfpgMetar = "LFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015";
constexpr const char* kSixBlanks = "      ";
constexpr const char* kNoMetarBanner = "No METAR available yet.     Tavelkor v11.0.4.B      ";

AirportRecord Airport(std::string_view icao, double latitude, double longitude, float elevationFeet = 0.0f) {
  AirportRecord record{};
  CopyCut(record.icao, icao);
  record.latitude = static_cast<float>(latitude);
  record.longitude = static_cast<float>(longitude);
  record.elevation = elevationFeet;
  return record;
}

// Fills a table through the table's own storage, as the loader does.
void FillTable(AirportDb& db, const std::vector<AirportRecord>& airports) {
  db.Clear();
  db.records.reset(AllocateTableRecords<AirportRecord>(airports.size()));
  ASSERT_NE(db.records, nullptr);
  for (std::size_t i = 0; i < airports.size(); ++i) db.records[i] = airports[i];
  db.count = static_cast<int>(airports.size());
}

// Degrees of latitude that make `metres` along a meridian.
double DegreesFor(double metres) { return metres / kEarthRadiusMetres / kDegreesToRadians; }
double NauticalMiles(double nm) { return DegreesFor(nm * kMetresPerNauticalMile); }

void SetWeatherUrl(const std::string& url) {
  std::lock_guard lock(SettingsTextLock());
  g_weatherSettings.url = SettingText<kWeatherUrlSize>(url);
}

// The station codes a server was asked for, in order.
std::vector<std::string> FetchedStations(const MetarServer& server) {
  std::vector<std::string> codes;
  const std::string prefix = "GET " + server.BasePath() + "/";
  for (const std::string& line : server.RequestLines()) {
    if (line.rfind(prefix, 0) != 0) continue;
    const auto end = line.find(".TXT", prefix.size());
    codes.push_back(line.substr(prefix.size(), end == std::string::npos ? std::string::npos : end - prefix.size()));
  }
  return codes;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20'000) {
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    if (done()) return true;
    Sleep(5);
  }
  return done();
}

// The program-wide state the weather code reads, set to a known start and put back after.
void ResetWeatherState() {
  // A worker that an earlier test of this process started must not count here.
  if (CAllPurposeThread* left = g_pWeatherWorker.load()) {
    EXPECT_TRUE(left->WaitForEnd(30'000));
    g_pWeatherWorker = nullptr;
  }
  ReapEndedWeatherWorkers();
  SetWeatherUrl(setting_default::kWeatherUrl);
  g_weatherSettings.offset = setting_default::kWeatherOffset;
  ResetMetarBanner();
  ResetNearestAirport();
  ClearFlightPlanAirports();
  SetOwnPosition({});
  SetControllerWeatherLookup(nullptr);
  g_networkState = 0;
  g_sessionOpen = false;
  g_ownSimulatorCode = 9000;
  g_airportDb().Clear();
}

class WeatherTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    ResetWeatherState();
    ASSERT_TRUE(server_.Ok());
    SetWeatherUrl(server_.BaseUrl());
    server_.SetStation("LFPG", kLfpgReport);
  }
  void TearDown() override {
    Klib().traceOutput = nullptr;
    g_pChatDlg = nullptr;
    ResetWeatherState();
    KlibFixture::TearDown();
  }

  MetarServer server_;
  CAllPurposeThread worker_{nullptr, "APTWUP1"};
};

}  // namespace

// --- RequestMetar -----------------------------------------------------------

TEST_F(WeatherTest, RequestMetarResultsAndBanner) {
  struct Case {
    const char* name;
    const char* station;  // served report, or null for none
    const char* report;
    int forcedStatus;
    std::uint16_t offset;
    int displayKind;
    bool flagged;
    bool showBanner;
    int result;
    const char* banner;  // expected afterwards; the banner starts as "previous      "
  };
  const std::string previous = std::string("previous") + kSixBlanks;
  const Case cases[] = {
      {"flagged report", "LFPG", kLfpgReport, 0, 17, 0, true, true, 2, "*LFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015      "},
      {"plain report", "LFPG", kLfpgReport, 0, 17, 0, false, true, 2, "LFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015      "},
      {"CR LF cut", "LFPG", "2026/12/10 09:00\r\nLFPG 100900Z CAVOK\r\n", 0, 18, 0, false, true, 2,
       "LFPG 100900Z CAVOK      "},
      {"no report text", "LFPG", "NO METAR FOR LFPG\n", 0, 17, 0, false, true, -2, kNoMetarBanner},
      {"unknown station", nullptr, nullptr, 0, 17, 0, true, true, -2, kNoMetarBanner},
      {"reply without the code", "LFPG", "2026/12/10 09:00\nEGLL 100850Z 22008KT\n", 0, 17, 0, false, true, -2,
       kNoMetarBanner},
      {"offset beyond the text", "LFPG", kLfpgReport, 0, 500, 0, false, true, 2, kSixBlanks},
      {"offset at the end", "LFPG", "LFPG 1\n", 0, 6, 0, false, true, 2, kSixBlanks},
      {"percent signs shown as they are", "LFPG", "2026/12/10 09:00\nLFPG %s%n%d\n", 0, 17, 0, false, true, 2,
       "LFPG %s%n%d      "},
      {"failed fetch leaves the banner", "LFPG", kLfpgReport, 500, 17, 0, true, true, -1, nullptr},
      {"no banner wanted", "LFPG", kLfpgReport, 0, 17, 0, false, false, 2, nullptr},
      {"printed to the trace", "LFPG", kLfpgReport, 0, 17, 1, false, true, 1, nullptr},
      {"chat display keeps the banner without a report", "LFPG", "NO METAR FOR LFPG\n", 0, 17, 2, false, true, -2,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.station != nullptr) {
      server_.SetStation(c.station, c.report);
    } else {
      server_.RemoveStation("LFPG");
    }
    server_.SetForcedStatus(c.forcedStatus);
    g_weatherSettings.offset = c.offset;
    SetMetarLabel("previous", false);
    worker_.SetDisplayKind(c.displayKind);
    EXPECT_EQ(worker_.RequestMetar("LFPG", c.flagged, c.showBanner), c.result);
    EXPECT_EQ(MetarBanner(), c.banner != nullptr ? std::string(c.banner) : previous);
  }
}

TEST_F(WeatherTest, RequestMetarAsksForTheStationFileUnderTheBase) {
  EXPECT_EQ(worker_.RequestMetar("lfpg", false, true), 2);  // typed codes are upper-cased
  EXPECT_EQ(worker_.RequestMetar("LFPGXX", false, true), 2);  // cut to four characters
  const auto lines = server_.RequestLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "GET /metar/LFPG.TXT HTTP/1.1");
  EXPECT_EQ(lines[1], "GET /metar/LFPG.TXT HTTP/1.1");
}

TEST_F(WeatherTest, ReportLongerThanTheBufferIsCutAndTerminated) {
  std::string report = std::string("2026/12/10 09:00\nLFPG ") + std::string(12'000, 'X');
  server_.SetStation("LFPG", report);
  EXPECT_EQ(worker_.RequestMetar("LFPG", false, true), 2);
  const std::string expected = report.substr(17, kRemoteFileMaxBytes - 17) + kSixBlanks;
  EXPECT_EQ(MetarBanner(), expected);
}

TEST_F(WeatherTest, NullCodeIsTracedAndAsksNothing) {
  CRichEditCtrl edit;
  edit.Create(0, nullptr, 1);
  CPrintDlg print;
  print.AttachRichEdit(&edit, nullptr);
  Klib().traceOutput = &print;
  Klib().traceMask = 1;
  SetMetarLabel("previous", false);
  EXPECT_EQ(worker_.RequestMetar(nullptr, true, true), 0);
  EXPECT_EQ(worker_.RequestMetar("", true, true), 0);
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(MetarBanner(), std::string("previous") + kSixBlanks);
  EXPECT_EQ(edit.Text(), "\r\nWEATHER UWOTA : null pointer.\r\nWEATHER UWOTA : null pointer.");
  EXPECT_EQ(print.Colour(), Klib().Colour(kColourError));

  const std::string before = edit.Text();
  Klib().traceMask = 0;
  EXPECT_EQ(worker_.RequestMetar(nullptr, true, true), 0);
  EXPECT_EQ(edit.Text(), before);
}

TEST_F(WeatherTest, PrintedReportGoesToTheTraceInItsColour) {
  CRichEditCtrl edit;
  edit.Create(0, nullptr, 1);
  CPrintDlg print;
  print.AttachRichEdit(&edit, nullptr);
  Klib().traceOutput = &print;
  worker_.SetDisplayKind(kWeatherPrintTrace);
  EXPECT_EQ(worker_.RequestMetar("LFPG", false, true), 1);
  EXPECT_EQ(edit.Text(), std::string("\r\n") + kLfpgMetar);
  EXPECT_EQ(print.Colour(), Klib().Colour(kColour26));
}

namespace {
std::atomic<int> g_lookupCalls{0};
std::atomic<int> g_lookupNesting{0};
std::string g_lookupCode;

bool ControllerServesLfpg(const char* icao) {
  ++g_lookupCalls;
  g_lookupNesting = WayTableLock().Nesting();
  g_lookupCode = icao;
  return std::string_view(icao) == "LFPG";
}
}  // namespace

TEST_F(WeatherTest, ControllerServingTheStationAnswersTenUnderTheWayTableLock) {
  SetControllerWeatherLookup(&ControllerServesLfpg);
  g_lookupCalls = 0;
  EXPECT_EQ(worker_.RequestMetar("lfpg", false, true), 10);
  EXPECT_EQ(g_lookupCalls.load(), 1);
  EXPECT_EQ(g_lookupCode, "LFPG");
  EXPECT_GT(g_lookupNesting.load(), 0);
  EXPECT_EQ(WayTableLock().Nesting(), 0);
  EXPECT_EQ(server_.RequestCount(), 0u);

  server_.SetStation("EGLL", "2026/12/10 09:00\nEGLL 100850Z 22008KT\n");
  EXPECT_EQ(worker_.RequestMetar("EGLL", false, true), 2);
  EXPECT_EQ(FetchedStations(server_), std::vector<std::string>{"EGLL"});
}

// --- SetMetarLabel ----------------------------------------------------------

TEST_F(WeatherTest, MetarLabelBecomesTheChatTitle) {
  CCchatDlg chat;
  ASSERT_EQ(chat.Create(kChatTemplate, nullptr), TRUE);
  g_pChatDlg = &chat;
  const struct {
    const char* text;
    bool flagged;
    const char* banner;
  } cases[] = {
      {kLfpgMetar, true, "*LFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015      "},
      {kLfpgMetar, false, "LFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015      "},
      {nullptr, true, kNoMetarBanner},
      {"", false, kSixBlanks},
  };
  for (const auto& c : cases) {
    SetMetarLabel(c.text, c.flagged);
    EXPECT_EQ(MetarBanner(), c.banner);
    std::string title;
    chat.GetWindowText(title);
    EXPECT_EQ(title, c.banner);
  }
}

TEST_F(WeatherTest, WorkerSetsTheTitleThroughTheUiThread) {
  CCchatDlg chat;
  ASSERT_EQ(chat.Create(kChatTemplate, nullptr), TRUE);
  g_pChatDlg = &chat;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    SetMetarLabel(kLfpgMetar, true);
    done = true;
  });
  // This thread owns the window: it serves the writer's call while it pumps.
  while (!done.load()) {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(1);
  }
  writer.join();
  std::string title;
  chat.GetWindowText(title);
  EXPECT_EQ(title, std::string("*") + kLfpgMetar + kSixBlanks);
}

TEST_F(WeatherTest, BannerWritersAndReadersOnManyThreadsSeeWholeTexts) {
  const std::string a = std::string("*") + std::string(3000, 'A') + kSixBlanks;
  const std::string b = std::string(5000, 'B') + kSixBlanks;
  std::atomic<bool> bad{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string text(t % 2 == 0 ? 3000 : 5000, t % 2 == 0 ? 'A' : 'B');
      for (int i = 0; i < 200; ++i) {
        SetMetarLabel(text.c_str(), t % 2 == 0);
        const std::string seen = MetarBanner();
        if (seen != a && seen != b) bad = true;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(bad.load());
}

// --- The station search ----------------------------------------------------

TEST_F(WeatherTest, FlightPlanAirportAmongTheTenNearestIsFetchedFlagged) {
  // Own aircraft north of LFPG; nine nearer airports, all with reports, so any
  // other choice would show.
  const double base = 49.0;
  struct Case {
    const char* name;
    double destinationNm;
    int nearerAirports;
    std::uint32_t simulator;
    bool departure;  // the departure rather than the destination matches
    std::vector<std::string> fetched;
    bool flagged;
  };
  const Case cases[] = {
      {"destination at 59 NM, tenth nearest", 59.0, 9, 9000, false, {"LFPG"}, true},
      {"departure at 59 NM", 59.0, 3, 9000, true, {"LFPG"}, true},
      {"at 61 NM: not the flight plan's, X-Plane fetches nothing", 61.0, 0, 9000, false, {}, false},
      {"eleventh nearest: X-Plane fetches nothing", 30.0, 10, 9000, false, {}, false},
      {"at 61 NM with a single-station simulator: the nearest only", 61.0, 2, 3000, false, {"AA00"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<AirportRecord> airports;
    airports.push_back(Airport("ZFAR", base + 20.0, 2.5));
    airports.push_back(Airport("LFPG", base, 2.5, 392.0f));
    const double own = base + NauticalMiles(c.destinationNm);
    for (int i = 0; i < c.nearerAirports; ++i) {
      const std::string code = "AA0" + std::to_string(i);
      // Spread between the own position and the destination, nearest first.
      airports.push_back(Airport(code, own - NauticalMiles(c.destinationNm) * (i + 1) / (c.nearerAirports + 2), 2.5));
      server_.SetStation(code, "2026/12/10 09:00\n" + code + " 100900Z 00000KT\n");
    }
    FillTable(g_airportDb(), airports);
    SetOwnPosition({own, 2.5, 3000.0});
    if (c.departure) {
      SetFlightPlanAirports("lfpg", "EGLL");
    } else {
      SetFlightPlanAirports("EGLL", "LFPG");
    }
    g_sessionOpen = true;
    g_ownSimulatorCode = c.simulator;
    ResetMetarBanner();
    const std::size_t before = server_.RequestCount();

    worker_.FindNearestMetarStation();

    std::vector<std::string> fetched = FetchedStations(server_);
    fetched.erase(fetched.begin(), fetched.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(fetched, c.fetched);
    if (c.flagged) {
      EXPECT_EQ(MetarBanner(), std::string("*") + kLfpgMetar + kSixBlanks);
      EXPECT_NEAR(LastStationElevationMetres(), 392.0 / 3.2808, 1e-3);
    } else if (c.fetched.empty()) {
      EXPECT_EQ(MetarBanner(), "");
    } else {
      EXPECT_EQ(MetarBanner().substr(0, 1), "A");
    }
  }
}

TEST_F(WeatherTest, WithoutAFlightPlanTheSimulatorDecides) {
  // Twelve airports north of the own aircraft, 5 NM apart; only the third has a report.
  std::vector<AirportRecord> airports;
  std::vector<std::string> codes;
  for (int i = 0; i < 12; ++i) {
    codes.push_back(std::string("K").append(1, static_cast<char>('A' + i)).append("XX"));
    airports.push_back(Airport(codes.back(), 40.0 + NauticalMiles(5.0 * (i + 1)), -75.0));
  }
  server_.SetStation("KCXX", "2026/12/10 09:00\nKCXX 100900Z 00000KT\n");
  const std::vector<std::string> firstThree(codes.begin(), codes.begin() + 3);
  const std::vector<std::string> firstTen(codes.begin(), codes.begin() + 10);
  struct Case {
    const char* name;
    std::uint32_t simulator;
    bool sessionOpen;
    bool reportAtThird;
    double offsetNm;  // moves the own aircraft south, away from all of them
    std::vector<std::string> fetched;
  };
  const Case cases[] = {
      {"older simulator: in turn until a report", 1000, true, true, 0.0, firstThree},
      {"older simulator: no report anywhere, ten at most", 0, true, false, 0.0, firstTen},
      {"older simulator, session closed: nothing", 1000, false, true, 0.0, {}},
      {"single-station simulator: the nearest within 50 NM", 2006, true, true, 0.0, {"KAXX"}},
      {"single-station simulator: the nearest beyond 50 NM", 3999, true, true, 46.0, {}},
      {"X-Plane: nothing", 9000, true, true, 0.0, {}},
      {"X-Plane lowest code: nothing", 4000, true, true, 0.0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.reportAtThird) {
      server_.SetStation("KCXX", "2026/12/10 09:00\nKCXX 100900Z 00000KT\n");
    } else {
      server_.RemoveStation("KCXX");
    }
    FillTable(g_airportDb(), airports);
    SetOwnPosition({40.0 - NauticalMiles(c.offsetNm), -75.0, 0.0});
    g_sessionOpen = c.sessionOpen;
    g_ownSimulatorCode = c.simulator;
    const std::size_t before = server_.RequestCount();
    worker_.FindNearestMetarStation();
    std::vector<std::string> fetched = FetchedStations(server_);
    fetched.erase(fetched.begin(), fetched.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(fetched, c.fetched);
  }
}

TEST_F(WeatherTest, XPlaneWithoutFlightPlanFetchesNothingAndEmptyTableIsQuiet) {
  g_sessionOpen = true;
  g_ownSimulatorCode = 9000;
  worker_.FindNearestMetarStation();  // no airports at all
  FillTable(g_airportDb(), {Airport("LFPG", 49.0, 2.5), Airport("LFPO", 48.72, 2.38)});
  SetOwnPosition({49.0, 2.5, 0.0});
  worker_.FindNearestMetarStation();
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(MetarBanner(), "");
}

TEST_F(WeatherTest, SearchLeavesTheSharedTableAsLoaded) {
  std::vector<AirportRecord> airports = {Airport("FAR1", 10.0, 10.0), Airport("NEAR", 45.01, 5.0),
                                         Airport("MID1", 46.0, 5.0), Airport("LFPG", 45.0, 5.0),
                                         Airport("FAR2", -30.0, 100.0)};
  FillTable(g_airportDb(), airports);
  SetOwnPosition({45.0, 5.0, 0.0});
  SetFlightPlanAirports("", "LFPG");
  worker_.FindNearestMetarStation();
  EXPECT_EQ(FetchedStations(server_), std::vector<std::string>{"LFPG"});
  const AirportDb& db = g_airportDb();
  ASSERT_EQ(db.count, 5);
  for (int i = 0; i < db.count; ++i) {
    EXPECT_EQ(db.records[i].Icao(), airports[i].Icao());
    EXPECT_EQ(db.records[i].distance, 0.0);
  }

  const auto order = StationsByDistance(db, 45.0, 5.0);
  ASSERT_EQ(order.size(), 5u);
  const int expected[] = {3, 1, 2, 0, 4};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(order[i].index, expected[i]) << i;
  EXPECT_EQ(order[0].distance, 0.0);
}

TEST_F(WeatherTest, StationOrderKeepsTiesInTableOrderAndPutsBrokenPositionsLast) {
  AirportDb db;
  FillTable(db, {Airport("EAST", 0.0, 1.0), Airport("WEST", 0.0, -1.0), Airport("NRTH", 1.0, 0.0),
                 Airport("NEAR", 0.0, 0.5)});
  auto order = StationsByDistance(db, 0.0, 0.0);
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order[0].index, 3);
  EXPECT_EQ(order[1].index, 0);
  EXPECT_EQ(order[2].index, 1);
  EXPECT_EQ(order[1].distance, order[2].distance);

  db.records[1].latitude = std::numeric_limits<float>::quiet_NaN();
  order = StationsByDistance(db, 0.0, 0.0);
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order[3].index, 1);
  EXPECT_TRUE(std::isinf(order[3].distance));
}

TEST(CompareAirportDistance, AscendingThreeWay) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double a, b;
    int result;
  } cases[] = {{1.0, 2.0, -1}, {2.0, 1.0, 1}, {3.0, 3.0, 0}, {nan, 1.0, 1}, {1.0, nan, -1}, {nan, nan, 0}};
  for (const auto& c : cases) {
    AirportRecord a{};
    AirportRecord b{};
    a.distance = c.a;
    b.distance = c.b;
    EXPECT_EQ(CompareAirportDistance(a, b), c.result) << c.a << " vs " << c.b;
  }
}

// --- The worker thread ------------------------------------------------------

TEST_F(WeatherTest, WorkerMessages) {
  CAllPurposeThread worker(nullptr, "APTWUP2");
  EXPECT_EQ(worker.Job(), kWeatherJobMetar);
  EXPECT_EQ(worker.DisplayKind(), kWeatherShowBanner);
  EXPECT_STREQ(worker.RequestedIcao(), "");
  EXPECT_EQ(worker.ProcessMessage({THRDMSG_NOP, 0, 0}), 1u);
  EXPECT_EQ(worker.ProcessMessage({kWeatherNopMessage, 0, 0}), 1u);
  EXPECT_EQ(worker.ProcessMessage({THRDMSG_SEND, 0, 0}), 0u);
  EXPECT_FALSE(worker.StopRequested());
  EXPECT_EQ(worker.ProcessMessage({THRDMSG_STOP, 0, 0}), 1u);
  EXPECT_TRUE(worker.StopRequested());
  EXPECT_EQ(worker.ExitCode(), kWeatherStoppedExitCode);
}

TEST_F(WeatherTest, IdleWorkerRunsUntilStopped) {
  CAllPurposeThread worker(nullptr, "APTWUP2");
  worker.SetJob(kWeatherJobIdle);
  ASSERT_EQ(worker.StartThread(1, 0), 1);
  EXPECT_FALSE(worker.Ended());
  ASSERT_EQ(CBaseThread::Post(nullptr, &worker, THRDMSG_STOP, 0, 0, "test"), 1);
  ASSERT_TRUE(worker.WaitForEnd(5000));
  EXPECT_EQ(worker.ExitCode(), kWeatherStoppedExitCode);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(WeatherTest, StopTakenBeforeTheJobEndsTheWorkerWithoutIt) {
  CAllPurposeThread worker(nullptr, "APTWUP2");
  worker.SetRequestedIcao("LFPG");
  // Without the first-delay waiver the body waits for a message before anything else.
  ASSERT_EQ(worker.StartThread(0, 0), 1);
  ASSERT_EQ(CBaseThread::Post(nullptr, &worker, THRDMSG_STOP, 0, 0, "test"), 1);
  ASSERT_TRUE(worker.WaitForEnd(5000));
  EXPECT_EQ(worker.ExitCode(), kWeatherStoppedExitCode);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(WeatherTest, WorkerWithAStationDoesThatOneJob) {
  CAllPurposeThread worker(nullptr, "APTWUP2");
  worker.SetRequestedIcao("lfpg");
  EXPECT_STREQ(worker.RequestedIcao(), "LFPG");
  ASSERT_EQ(worker.StartThread(1, 0), 1);
  ASSERT_TRUE(worker.WaitForEnd(10'000));
  EXPECT_EQ(worker.ExitCode(), kWeatherJobDoneExitCode);
  EXPECT_EQ(FetchedStations(server_), std::vector<std::string>{"LFPG"});
  EXPECT_EQ(MetarBanner(), std::string(kLfpgMetar) + kSixBlanks);  // asked for, not flagged
}

TEST_F(WeatherTest, OnUpdateWeatherOnlyWhileLoggedIn) {
  g_networkState = 0;
  OnUpdateWeather();
  EXPECT_EQ(g_pWeatherWorker.load(), nullptr);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(WeatherTest, AnOlderWorkersEndNeverClearsANewerWorker) {
  // The older worker asks for a station and ends.
  CAllPurposeThread* older = StartWeatherWorker("APTWUP2", kWeatherShowBanner, "LFPG");
  ASSERT_NE(older, nullptr);
  ASSERT_TRUE(older->WaitForEnd(10'000));
  EXPECT_EQ(g_pWeatherWorker.load(), older);

  // The newer one is held in its fetch by a slow server.
  auto slow = std::make_unique<MetarServer>();
  ASSERT_TRUE(slow->Ok());
  slow->SetReplyDelayMs(MetarServer::kIoTimeoutMs);
  SetWeatherUrl(slow->BaseUrl());
  CAllPurposeThread* newer = StartWeatherWorker("APTWUP2", kWeatherShowBanner, "EGLL");
  ASSERT_NE(newer, nullptr);
  EXPECT_EQ(g_pWeatherWorker.load(), newer);
  ASSERT_TRUE(slow->WaitForRequests(1, 5000));

  // The older worker's end reaches the main worker now.
  MainClass collector(nullptr);
  collector.OnThreadEnded(&g_pWeatherWorker);
  EXPECT_EQ(g_pWeatherWorker.load(), newer);
  // The older one is deleted; the running one is kept.
  EXPECT_EQ(ReapEndedWeatherWorkers(), 1);
  EXPECT_EQ(ReapEndedWeatherWorkers(), 0);

  slow.reset();  // the fetch fails at once
  ASSERT_TRUE(newer->WaitForEnd(10'000));
  EXPECT_EQ(newer->ExitCode(), kWeatherJobDoneExitCode);
  collector.OnThreadEnded(&g_pWeatherWorker);
  EXPECT_EQ(g_pWeatherWorker.load(), nullptr);
  EXPECT_EQ(ReapEndedWeatherWorkers(), 1);
}

namespace {
// The library running with the program's own main worker, which collects thread ends.
class WeatherWorkerLifeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetWeatherState();
    main_ = std::make_unique<MainClass>(&mainSlot_);
    ASSERT_EQ(main_->StartThread(1, 0), 1);
    Klib().mainThread = main_.get();
    ASSERT_EQ(KlibInit(KlibGetSettings()), 0);
    ASSERT_TRUE(server_.Ok());
    SetWeatherUrl(server_.BaseUrl());
    server_.SetStation("LFPG", kLfpgReport);
  }
  void TearDown() override {
    main_->RequestStop(0);
    main_->WaitForEnd(5000);
    KlibShutdown();
    Klib().mainThread = nullptr;
    main_.reset();
    Klib().exitFlag = 0;
    ReapEndedWeatherWorkers();
    ResetWeatherState();
  }

  MainClass* mainSlot_ = nullptr;
  std::unique_ptr<MainClass> main_;
  MetarServer server_;
};
}  // namespace

TEST_F(WeatherWorkerLifeTest, OnUpdateWeatherStartsAWorkerThatDoesOneJobAndIsCollected) {
  FillTable(g_airportDb(), {Airport("EGLL", 51.47, -0.46), Airport("LFPG", 49.01, 2.55)});
  SetOwnPosition({49.2, 2.6, 1500.0});
  g_networkState = 2;
  g_sessionOpen = true;
  g_ownSimulatorCode = 1000;

  // The server holds its answer, so the worker is certainly still in its fetch
  // (and the global's) while the test looks at it.
  server_.HoldReplies();
  OnUpdateWeather();
  CAllPurposeThread* worker = g_pWeatherWorker.load();
  ASSERT_NE(worker, nullptr);
  EXPECT_STREQ(worker->Name(), "APTWUP1");
  EXPECT_EQ(worker->OwnerSlot(), static_cast<void*>(&g_pWeatherWorker));
  ASSERT_TRUE(server_.WaitForRequests(1, 20'000));
  EXPECT_FALSE(worker->Ended());
  server_.ReleaseReplies();
  ASSERT_TRUE(worker->WaitForEnd(20'000));
  EXPECT_EQ(worker->ExitCode(), kWeatherJobDoneExitCode);
  EXPECT_EQ(FetchedStations(server_), std::vector<std::string>{"LFPG"});
  EXPECT_EQ(MetarBanner(), std::string(kLfpgMetar) + kSixBlanks);

  // The main worker takes the end notice and clears the global.
  EXPECT_TRUE(WaitUntil([] { return g_pWeatherWorker.load() == nullptr; }));
  EXPECT_EQ(ReapEndedWeatherWorkers(), 1);

  // The next duty makes a new worker.
  server_.HoldReplies();
  OnUpdateWeather();
  CAllPurposeThread* next = g_pWeatherWorker.load();
  ASSERT_NE(next, nullptr);
  ASSERT_TRUE(server_.WaitForRequests(2, 20'000));
  server_.ReleaseReplies();
  ASSERT_TRUE(next->WaitForEnd(20'000));
  EXPECT_TRUE(WaitUntil([] { return g_pWeatherWorker.load() == nullptr; }));
  EXPECT_EQ(server_.RequestCount(), 2u);
}

// --- Nearest airport --------------------------------------------------------

namespace {
class NearestAirportTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetNearestAirport(); }
  void TearDown() override { ResetNearestAirport(); }
  AirportDb db_;
};
}  // namespace

TEST_F(NearestAirportTest, AltitudeTermCountsAndTheResultIsStored) {
  // LOWA is nearer over the ground, but the aircraft flies at the height of LOWB.
  FillTable(db_, {Airport("LOWA", 47.0 + DegreesFor(10'000.0), 11.0, 0.0f),
                  Airport("LOWB", 47.0 - DegreesFor(12'000.0), 11.0, 9000.0f)});
  const OwnPositionFix own{47.0, 11.0, 9000.0};
  EXPECT_EQ(FindNearestAirport(db_, own), 1);
  NearestAirport nearest = CurrentNearestAirport();
  EXPECT_STREQ(nearest.icao.data(), "LOWB");
  EXPECT_EQ(nearest.distanceNm, 6);  // 12,000 m
  EXPECT_FLOAT_EQ(static_cast<float>(nearest.latitude), db_.records[1].latitude);
  EXPECT_FLOAT_EQ(static_cast<float>(nearest.longitude), 11.0f);
  EXPECT_FLOAT_EQ(nearest.elevation, 9000.0f);

  // On the ground the first is nearer.
  EXPECT_EQ(FindNearestAirport(db_, {47.0, 11.0, 0.0}), 0);
  EXPECT_STREQ(CurrentNearestAirport().icao.data(), "LOWA");
  EXPECT_EQ(CurrentNearestAirport().distanceNm, 5);  // 10,000 m
}

TEST_F(NearestAirportTest, NothingWithinAThousandMiles) {
  const struct {
    const char* name;
    double ownLatitude;
    double ownAltitudeFeet;
    int result;
  } cases[] = {
      {"999.5 NM", -NauticalMiles(999.5), 0.0, 0},
      {"1,001 NM", -NauticalMiles(1001.0), 0.0, -1},
      {"near, but 2,000 km above", 0.0, 2'000'000.0 * 3.2808, -1},
      {"no position", std::numeric_limits<double>::quiet_NaN(), 0.0, -1},
  };
  FillTable(db_, {Airport("FAR1", 0.0, 0.0)});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FindNearestAirport(db_, {0.0, 0.0, 0.0});  // a previous result to be replaced
    EXPECT_EQ(FindNearestAirport(db_, {c.ownLatitude, 0.0, c.ownAltitudeFeet}), c.result);
    const NearestAirport nearest = CurrentNearestAirport();
    if (c.result < 0) {
      EXPECT_STREQ(nearest.icao.data(), "");
      EXPECT_EQ(nearest.distanceNm, 0);
    } else {
      EXPECT_STREQ(nearest.icao.data(), "FAR1");
      EXPECT_EQ(nearest.distanceNm, 999);  // whole miles, truncated
    }
  }
  AirportDb empty;
  EXPECT_EQ(FindNearestAirport(empty, {0.0, 0.0, 0.0}), -1);
}

TEST_F(NearestAirportTest, EqualDistancesKeepTheFirstAndTheGlobalTableIsUsed) {
  FillTable(db_, {Airport("EAST", 0.0, 1.0), Airport("WEST", 0.0, -1.0)});
  EXPECT_EQ(FindNearestAirport(db_, {0.0, 0.0, 0.0}), 0);

  FillTable(g_airportDb(), {Airport("WEST", 0.0, -1.0), Airport("EAST", 0.0, 0.9)});
  SetOwnPosition({0.0, 0.0, 0.0});
  EXPECT_EQ(FindNearestAirport(), 1);
  EXPECT_STREQ(CurrentNearestAirport().icao.data(), "EAST");
  g_airportDb().Clear();
  SetOwnPosition({});
}

TEST(GreatCircle, IdenticalPositionsGiveZeroNotNaN) {
  // Find a latitude where sin^2 + cos^2 rounds above 1: acos of it would be NaN.
  int tried = 0;
  int found = 0;
  for (int i = 1; i < 9000 && found < 5; ++i, ++tried) {
    const double latitude = static_cast<float>(i * 0.01);
    const double phi = latitude * kDegreesToRadians;
    const double cosine = std::sin(phi) * std::sin(phi) + std::cos(phi) * std::cos(phi) * std::cos(0.0);
    if (!(cosine > 1.0)) continue;
    ++found;
    ASSERT_TRUE(std::isnan(std::acos(cosine)));
    EXPECT_EQ(GreatCircleMetres(latitude, 7.0, latitude, 7.0), 0.0) << latitude;

    AirportDb db;
    FillTable(db, {Airport("SAME", latitude, 7.0, 100.0f)});
    ResetNearestAirport();
    EXPECT_EQ(FindNearestAirport(db, {latitude, 7.0, 100.0}), 0);
    EXPECT_EQ(CurrentNearestAirport().distanceNm, 0);
    EXPECT_EQ(StationsByDistance(db, latitude, 7.0)[0].distance, 0.0);
  }
  EXPECT_GT(found, 0) << "no rounding case among " << tried << " latitudes";
  ResetNearestAirport();
}

TEST(GreatCircle, DistancesInWholeMetres) {
  EXPECT_EQ(GreatCircleMetres(0.0, 0.0, 1.0, 0.0), std::trunc(kEarthRadiusMetres * kDegreesToRadians));
  EXPECT_EQ(GreatCircleMetres(0.0, 0.0, 0.0, 180.0), std::trunc(kEarthRadiusMetres * std::acos(-1.0)));
  EXPECT_EQ(GreatCircleMetres(90.0, 0.0, -90.0, 0.0), std::trunc(kEarthRadiusMetres * std::acos(-1.0)));
  EXPECT_TRUE(std::isnan(GreatCircleMetres(std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0, 0.0)));
  EXPECT_EQ(FeetToWholeMetres(3300.0), 1005.0);
  EXPECT_EQ(FeetToWholeMetres(-3300.0), -1005.0);
}

TEST(FlightPlanAirports, CodesAreCutUpperCasedAndEmptyNeverMatches) {
  SetFlightPlanAirports("lfpgx", "");
  const FlightPlanAirports plan = GetFlightPlanAirports();
  EXPECT_STREQ(plan.departure.data(), "LFPG");
  EXPECT_STREQ(plan.destination.data(), "");
  EXPECT_TRUE(IsFlightPlanAirport(plan, "lfpg"));
  EXPECT_FALSE(IsFlightPlanAirport(plan, ""));
  EXPECT_FALSE(IsFlightPlanAirport(plan, "LFPO"));
  ClearFlightPlanAirports();
  EXPECT_FALSE(IsFlightPlanAirport(GetFlightPlanAirports(), "LFPG"));
}
