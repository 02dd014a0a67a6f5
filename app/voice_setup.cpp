#include "app/voice_setup.h"

#include "core/text_fields.h"

namespace {
OwnRadios ReadProgramRadios() { return OwnRadiosFrom(g_ownAircraft().Snapshot().working); }
}  // namespace

OwnRadios OwnRadiosFrom(const OwnWorkingCopies& working) {
  OwnRadios radios;
  radios.com1Text = std::string(FieldText(working.com1));
  radios.com2Text = std::string(FieldText(working.com2));
  radios.com1Selected = working.com1Selected != 0;
  radios.com2Selected = working.com2Selected != 0;
  radios.bothSelected = working.bothSelected != 0;
  return radios;
}

void InstallVoiceHooks() { SetOwnRadiosReader(&ReadProgramRadios); }
