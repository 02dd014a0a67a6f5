// The own radios as the voice system needs them: the COM texts ("%.2f" MHz)
// and which radio is selected. The own-aircraft state lives in a lower folder
// that is filled by the simulator link; whoever owns it installs a reader here.
#pragma once

#include <string>

struct OwnRadios {
  std::string com1Text;
  std::string com2Text;
  bool com1Selected = false;
  bool com2Selected = false;
  bool bothSelected = false;
};

using OwnRadiosReader = OwnRadios (*)();

// Any thread; null removes the reader.
void SetOwnRadiosReader(OwnRadiosReader reader);
// The radios now; all empty and unselected while no reader is installed.
OwnRadios ReadOwnRadios();
