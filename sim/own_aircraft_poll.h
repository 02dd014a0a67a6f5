// The once-a-second look at the own aircraft (UI thread): it derives the
// working copies, finds what changed since the network was last told, shows
// the selected radio in the main dialog, and announces the changes to the
// node way, the controller ways and the pilot ways. Small accessors hand
// single values to the rest of the client.
#pragma once

#include <cstddef>
#include <cstdint>

// Change-mask bits (the pilot-changes items of the node way, by bit).
inline constexpr std::uint32_t kOwnChangeOnGround = 0x1;
inline constexpr std::uint32_t kOwnChangeRadios = 0x2;
inline constexpr std::uint32_t kOwnChangeTransponder = 0x4;
inline constexpr std::uint32_t kOwnChangeDashFlag = 0x8;
inline constexpr std::uint32_t kOwnChangeTransponderMode = 0x10;
inline constexpr std::uint32_t kOwnChangeNearestAirport = 0x20;
inline constexpr std::uint32_t kOwnChangeTitle = 0x40;
inline constexpr std::uint32_t kOwnChangeIcaoType = 0x80;
// The pilot change mask: the session status changed.
inline constexpr std::uint32_t kPilotChangeSessionStatus = 0x20000;
// The main dialog's radio status.
inline constexpr int kRadioStatusId = 7112;
inline constexpr char kNoRadioText[] = "---";

// One pass; the change mask it announced (0 for none).
std::uint32_t PollOwnAircraftState();
// The values the network was just given (the login carries them): the poll's
// last-sent copies are taken from the state. UI thread, at the login's acceptance.
void MarkOwnAircraftReported();
// The controller list asks for the radios to be announced again on the next third second.
void RequestRadioReselect();
// Back to the start: counters, last-sent copies, the status shown (tests and a new start).
void ResetOwnAircraftPoll();

// ---- Accessors: 1, or 0 for a null destination ----
// 1200 while the plug-in has not reported a code; the simulator's code stays once it has.
int SetDefaultOwnSquawk();
int GetOwnSpeed(double* destination);
int GetOwnTrueHeading(double* destination);
int GetOwnCom1Text(char* destination, std::size_t size);
int GetOwnCom2Text(char* destination, std::size_t size);
int GetOwnCom1Selected(std::uint32_t* destination);
int GetOwnCom2Selected(std::uint32_t* destination);
int GetOwnComBothSelected(std::uint32_t* destination);
int GetOwnOnGround(std::uint32_t* destination);
// A frequency text of the form 1xx.yy gives 1; the link has no command to
// tune a radio, so nothing reaches the simulator.
int TuneCom1Frequency(const char* text);
// With the link up: the plug-in is asked to set the simulator's date and time.
int RequestSimDateTimeSync();
// With the link up: the plug-in sets the simulator's transponder.
int SetSimSquawk(std::uint32_t code);
