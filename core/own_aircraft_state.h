// The client's picture of the pilot's own aircraft: position, attitude,
// speeds, radios, transponder, controls and the loaded model. The plug-in
// link writes the data-set groups from its thread, the once-a-second poll
// writes the working copies on the UI thread, and the network threads read
// it while they build records. Values of more than one word would tear if
// read while written, so every access goes through one lock and readers take
// a whole copy (Snapshot) rather than single fields.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

inline constexpr std::size_t kOwnTitleSize = 112;
inline constexpr std::size_t kOwnIcaoTypeSize = 8;
inline constexpr std::size_t kOwnClassCodeSize = 8;
inline constexpr std::size_t kOwnFifthColumnSize = 8;
inline constexpr std::size_t kOwnComTextSize = 8;  // "123.45" and a terminator, with room
inline constexpr std::size_t kOwnIdentityRecordSize = 140;
inline constexpr std::uint32_t kOwnDefaultSquawk = 1200;
inline constexpr char kOwnDefaultTitle[] = "Cessna Skyhawk 172SP";
inline constexpr char kOwnDefaultIcaoType[] = "C172";

using OwnTitle = std::array<char, kOwnTitleSize>;
using OwnComText = std::array<char, kOwnComTextSize>;

// Position, attitude and speeds (the first data set), as stored: feet, feet
// per second, degrees, knots.
struct OwnFlightData {
  double altitudeFeet = 0.0;
  std::int32_t altitudeWholeFeet = 0;   // altitude + 0.5, truncated
  std::int16_t altitudeFraction = 0;    // (altitude - whole) x 65,536, truncated
  double latitude = 0.0;
  double longitude = 0.0;
  double velocityX = 0.0;
  double velocityY = 0.0;
  double velocityZ = 0.0;
  double pitch = 0.0;
  double bank = 0.0;
  double trueHeading = 0.0;
  std::int32_t trueHeadingRounded = 0;
  double heading2 = 0.0;
  double heading3 = 0.0;
  double speed1Knots = 0.0;
  std::int32_t speed1Rounded = 0;
  double speed2 = 0.0;
  std::int32_t speed2Rounded = 0;
  double valueM = 0.0;
  std::int32_t valueMThousandths = 0;   // rounded value x 1,000
  std::uint32_t onGround = 1;           // the link's value; nonzero = on the ground
};

// Transponder and radios (the second data set).
struct OwnRadioData {
  std::uint32_t transponderCode = kOwnDefaultSquawk;
  char transponderMode = 'S';
  OwnComText com1{};
  OwnComText com2{};
  std::uint32_t com1Selected = 0;
  std::uint32_t com2Selected = 0;
  std::uint32_t bothSelected = 0;
  // The plug-in has reported a code: from then on its code is the one reported.
  bool simulatorCodeKnown = false;
  // The mode the plug-in last reported: its letter is taken only when that
  // mode moves, so the dashboard's own choice stands until the simulator's
  // switch is turned.
  std::uint16_t simulatorMode = 0;
  bool simulatorModeKnown = false;
};

// Control, switch and engine values (the third data set).
struct OwnControls {
  std::array<std::int32_t, 8> values{};  // values[0..2] are negated, as the plug-in's axes run the other way
  std::int32_t value4Scaled = 0;         // values[3] x 40 / 100
  std::uint16_t controlWord = 0;
  std::array<std::uint32_t, 4> switches{};
  std::array<std::int32_t, 4> engines{};
};

// The short state (the fourth data set).
struct OwnShortState {
  std::uint16_t moving = 0;
  std::uint16_t shortValue = 0;
};

// The own engine kinds, as the class code's letters give them.
inline constexpr std::uint8_t kOwnEnginePiston = 0;
inline constexpr std::uint8_t kOwnEngineJet = 1;
inline constexpr std::uint8_t kOwnEngineHelicopter = 3;
inline constexpr std::uint8_t kOwnEngineTurboprop = 5;

// The loaded model.
struct OwnModel {
  OwnTitle title{};
  OwnTitle titleForPeers{};
  std::array<char, kOwnIcaoTypeSize> icaoType{};
  // The record of the aircraft type table that gave the type, -1 until one did.
  std::int32_t typeIndex = -1;
  std::array<char, kOwnClassCodeSize> classCode{};
  std::array<char, kOwnFifthColumnSize> fifthColumn{};
  std::uint8_t engineKind = kOwnEnginePiston;
  // The military or special flag of the matched model; peers read it as the aircraft-parameter word.
  std::int32_t parameterWord = 0;
  // The installed model's cross-simulator placement offsets.
  std::array<double, 3> placementOffsets{};
  std::array<std::uint8_t, kOwnIdentityRecordSize> identityRecord{};
  bool identityLoaded = false;
};

// What the poll derives each second and the network is told.
struct OwnWorkingCopies {
  std::uint32_t onGround = 1;
  OwnComText com1{};
  OwnComText com2{};
  std::uint32_t com1Selected = 0;
  std::uint32_t com2Selected = 0;
  std::uint32_t bothSelected = 0;
};

// A plain copy of the whole state, taken under the lock.
struct OwnAircraftSnapshot {
  OwnFlightData flight;
  OwnRadioData radios;
  OwnControls controls;
  OwnShortState shortState;
  OwnModel model;
  OwnWorkingCopies working;
};

// The defaults that hold until the plug-in has sent data.
OwnAircraftSnapshot DefaultOwnAircraft();

class OwnAircraftState {
 public:
  OwnAircraftState();

  OwnAircraftSnapshot Snapshot() const;
  // The flight data alone (a reader per received peer position needs no more).
  OwnFlightData Flight() const;

  // One writer per group; each replaces its group whole.
  void SetFlightData(const OwnFlightData& flight);
  // Also refreshes the working copies of the selection flags and COM texts.
  void SetRadioData(const OwnRadioData& radios);
  void SetControls(const OwnControls& controls);
  void SetShortState(const OwnShortState& shortState);
  void SetModel(const OwnModel& model);
  void SetWorkingCopies(const OwnWorkingCopies& working);

  // Changes made together under the lock (read-modify-write of several groups).
  void Update(const std::function<void(OwnAircraftSnapshot&)>& change);

  // Back to the defaults (start-up and tests).
  void Reset();

  // Tests: `hook` runs inside every access, on the accessing thread with the
  // lock held; an empty hook removes it. HeldForTest tells from another thread
  // whether some thread holds the lock.
  void SetHeldHookForTest(std::function<void()> hook);
  bool HeldForTest() const;

 private:
  void Held() const {
    if (heldHook_) heldHook_();
  }

  mutable std::mutex lock_;
  OwnAircraftSnapshot state_;
  std::function<void()> heldHook_;  // under lock_
};

// The program's one own aircraft.
OwnAircraftState& g_ownAircraft();
