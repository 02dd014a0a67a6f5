#include "two_clients_fixture.h"

#include <cstdio>
#include <fstream>

#include "support/free_port.h"
#include "testbed/aircraft_tree.h"

std::vector<std::string> ClientSide::Ask(const std::string& line) {
  std::vector<std::string> answer = automation.Request(line);
  EXPECT_FALSE(answer.empty()) << callsign << ": " << line;
  if (!answer.empty()) {
    EXPECT_EQ(answer.back(), "ok") << callsign << ": " << line;
  }
  return answer;
}

std::string ClientSide::DumpUntil(const std::string& text, int timeoutMs) {
  std::string dump;
  const bool shown = WaitUntil(timeoutMs, [&] {
    dump = JoinedLines(automation.Request("dump"));
    return dump.find(text) != std::string::npos;
  });
  return shown ? dump : std::string();
}

std::vector<ShownRun> ClientSide::Runs(int templateId, int controlId) {
  std::vector<ShownRun> runs;
  for (const std::string& line :
       automation.Request("runs " + std::to_string(templateId) + " " + std::to_string(controlId))) {
    ShownRun run;
    int used = 0;
    // "run <BBGGRR> <effects> <text>": the text starts after exactly one blank.
    if (std::sscanf(line.c_str(), "run %x %u%n", &run.colour, &run.effects, &used) == 2 && used > 0 &&
        static_cast<std::size_t>(used) < line.size() && line[static_cast<std::size_t>(used)] == ' ') {
      run.text = line.substr(static_cast<std::size_t>(used) + 1);
      runs.push_back(std::move(run));
    }
  }
  return runs;
}

bool ClientSide::WaitForRun(unsigned colour, unsigned effects, const std::string& text, const std::string& then,
                            int timeoutMs) {
  return WaitUntil(timeoutMs, [&] {
    const std::vector<ShownRun> runs = Runs();
    for (std::size_t i = 0; i < runs.size(); ++i) {
      if (runs[i].colour != colour || runs[i].effects != effects || runs[i].text.find(text) == std::string::npos) {
        continue;
      }
      if (then.empty() || (i + 1 < runs.size() && runs[i + 1].text.rfind(then, 0) == 0)) return true;
    }
    return false;
  });
}

void TwoClients::SetUp() {
  ASSERT_TRUE(web_.Ok() && node_.Ok());
  web_.SetLines(WebPageServer::HubListLines("203.0.113.7", "127.0.0.1:" + std::to_string(node_.Port())));
  // The tests drive many seconds at once: each heartbeat of a client is answered.
  node_.SetAnswerHeartbeats(true);

  first_.callsign = "TEST01";
  first_.models = {"Laminar Research/Cessna 172SP/Cessna_172SP.acf", "Heavy Metal/B738/B738.acf"};
  first_.flight = plugin_link::DemoFlight();  // east, along 49.0097 N

  second_.callsign = "TEST02";
  second_.models = {"General Aviation/Cessna 172SP/Cessna_172SP_xp12.acf", "Airliners/A320neo/A320.acf"};
  second_.flight = plugin_link::DemoFlight();
  second_.flight.start.latitude = 48.9800;  // north, along 2.5600 E, lower
  second_.flight.start.longitude = 2.5600;
  second_.flight.start.altitudeFeet = 3'500.0;
  second_.flight.start.trueHeading = 0.0F;
  second_.flight.start.transponderCode = 3312;
  second_.flight.latitudeStep = 0.0004;
  second_.flight.longitudeStep = 0.0;
}

void TwoClients::TearDown() {
  for (ClientSide* side : {&second_, &first_}) {
    if (side->process && side->process->Running()) {
      side->automation.Request("quit");
      if (side->process->WaitForExit(kTwoClientsWaitMs) < 0) side->process->Signal(SIGKILL);
    }
  }
}

void TwoClients::Start(ClientSide& side) {
  ASSERT_NO_FATAL_FAILURE(Launch(side));
  ASSERT_NO_FATAL_FAILURE(WaitForSession(side));
}

void TwoClients::Launch(ClientSide& side) {
  ASSERT_TRUE(side.plugin.Ok());
  side.program = MakeXPlaneTreeWithData(side.tree.Path());
  for (const std::string& model : side.models) ASSERT_TRUE(MakeEmptyFile(side.tree.Path() + "/Aircraft", model));
  side.listeningPort = FreeLoopbackPort();
  {
    // Each its own listening port, as the node then names it to the other.
    std::ofstream ini(side.program + "/Tavelkor.ini", std::ios::binary);
    ini << "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=" << side.callsign
        << "\r\nPilotPW=secret\r\n[NETWORK]\r\nOrvenaPortNumber=" << side.listeningPort
        << "\r\n[FLIGHT PLAN]\r\nCallSign=" << side.callsign << "\r\n"
        << side.moreSettings;
  }
  side.plugin.SetFlight(side.flight);
  side.plugin.SetGreeting(PluginServer::Greeting::OnHello);
  side.plugin.SetStreamInterval(50);
  const std::string socketPath = side.tree.Path() + "/automation.sock";
  const std::string portMap = "TK_PORTMAP=55007=" + std::to_string(side.plugin.Port()) + ",80=" + std::to_string(web_.Port());
  std::vector<std::string> environment{"TK_AUTOMATION=" + socketPath, portMap};
  environment.insert(environment.end(), side.environment.begin(), side.environment.end());
  side.process = std::make_unique<ChildProcess>(TK_BINARY, side.program, environment);
  ASSERT_TRUE(side.automation.Connect(socketPath, kTwoClientsStartMs)) << side.Stderr();
}

void TwoClients::WaitForSession(ClientSide& side) {
  ASSERT_FALSE(side.DumpUntil("You have joined your session.", kTwoClientsStartMs).empty()) << side.Stderr();
}

bool TwoClients::LogIn(ClientSide& side) {
  const std::size_t before = node_.LoginsAnswered();
  side.Ask("command 7055 33000");
  side.Ask("click 7055 7212");
  return WaitUntil(kTwoClientsWaitMs, [&] {
    return node_.LoginsAnswered() > before && node_.ClientByCallsign(side.callsign).has_value();
  });
}

void TwoClients::StartBothAndLogIn() {
  // Both start together: their start-ups take seconds each.
  ASSERT_NO_FATAL_FAILURE(Launch(first_));
  ASSERT_NO_FATAL_FAILURE(Launch(second_));
  ASSERT_NO_FATAL_FAILURE(WaitForSession(first_));
  ASSERT_NO_FATAL_FAILURE(WaitForSession(second_));
  ASSERT_TRUE(LogIn(first_)) << first_.Stderr();
  ASSERT_TRUE(LogIn(second_)) << second_.Stderr();
}

int TwoClients::Quit(ClientSide& side) {
  side.Ask("quit");
  return side.process->WaitForExit(kTwoClientsWaitMs);
}
