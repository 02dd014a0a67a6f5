// Two real clients on one stand-in network: each runs in a demo tree of its
// own (its own Aircraft folder, settings and listening port) with a plug-in
// stand-in of its own that flies its own scripted flight; both log in to the
// same node stand-in, which introduces them to each other. Tests of what the
// two see of each other (traffic, chat, voice) build on it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/wait_until.h"
#include "testbed/automation_client.h"
#include "testbed/node_server.h"
#include "testbed/plugin_records.h"
#include "testbed/plugin_server.h"
#include "testbed/web_page_server.h"

inline constexpr int kTwoClientsStartMs = 30'000;
inline constexpr int kTwoClientsWaitMs = 20'000;

// One run of a rich edit as automation's `runs` tells it.
struct ShownRun {
  unsigned colour = 0;  // COLORREF, 0x00BBGGRR
  unsigned effects = 0;
  std::string text;     // as automation writes it (backslash escapes)
};

struct ClientSide {
  std::string callsign;
  std::vector<std::string> models;  // below its Aircraft folder, '/' separated
  plugin_link::FlightScript flight;
  std::string moreSettings;              // more lines of its settings file ("\r\n" ended)
  std::vector<std::string> environment;  // more NAME=VALUE lines of its program's environment

  TempFolder tree;
  PluginServer plugin;
  std::string program;
  std::uint16_t listeningPort = 0;
  std::unique_ptr<ChildProcess> process;
  AutomationClient automation;

  // The answer's lines; the closing "ok" is checked.
  std::vector<std::string> Ask(const std::string& line);
  // The last dump; empty when the text never showed.
  std::string DumpUntil(const std::string& text, int timeoutMs = kTwoClientsWaitMs);
  // The runs of a rich edit (the chat window's output: 7057 7005).
  std::vector<ShownRun> Runs(int templateId = 7057, int controlId = 7005);
  // Waits until a run of that colour and effects holds the text, and the run
  // after it (when `then` is not empty) starts with `then`.
  bool WaitForRun(unsigned colour, unsigned effects, const std::string& text, const std::string& then = {},
                  int timeoutMs = kTwoClientsWaitMs);
  std::string Stderr() const { return process ? process->Stderr() : std::string(); }
};

class TwoClients : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Lays out the side's tree and settings and starts its program; it opens
  // its session once its plug-in stand-in greets it.
  void Start(ClientSide& side);
  // The two halves of Start: the program started, then its session open.
  void Launch(ClientSide& side);
  void WaitForSession(ClientSide& side);
  // Picks the first server and clicks Connect; true once the node answered its login.
  bool LogIn(ClientSide& side);
  // Both started and logged in, `first_` before `second_`: the node then
  // tells the second to call the first.
  void StartBothAndLogIn();
  // The ordered quit; its exit status.
  int Quit(ClientSide& side);

  WebPageServer web_;
  NodeServer node_;
  ClientSide first_;
  ClientSide second_;
};
