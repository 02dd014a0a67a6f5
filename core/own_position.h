// The own aircraft's position as the simulator link last reported it. The three
// values change together, so readers always get one consistent fix.
#pragma once

struct OwnPositionFix {
  double latitude = 0.0;      // degrees, north positive
  double longitude = 0.0;     // degrees, east positive
  double altitudeFeet = 0.0;  // above mean sea level
};

// A copy of the last fix (all zero before the first one).
OwnPositionFix OwnPosition();
// Written by the simulator link (and by tests).
void SetOwnPosition(const OwnPositionFix& fix);

// The working copy of the own aircraft's on-ground flag: on the ground until
// the plug-in reports otherwise. The inactivity countdown runs only in the air.
bool OwnOnGround();
// Both the link's value and the working copy (the poll copies the one into the other).
void SetOwnOnGround(bool onGround);
