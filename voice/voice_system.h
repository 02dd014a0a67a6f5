// The program's one voice system: the engine on the machine's sound devices,
// printing in the chat window and sending through the node way.
#pragma once

#include <cstdint>
#include <span>

class VoiceEngine;

VoiceEngine& TheVoiceEngine();
// Reads the [SETUP] voice keys (push-to-talk keys, joystick button, devices, levels) into the engine.
void LoadVoiceSettings(VoiceEngine& engine, const char* path = nullptr);
// The first call loads the settings and takes over the node way's received
// voice; every call starts the engine unless it runs. 0, or the engine's failure.
int StartVoiceSystem();
// Waits for the old thread at most kVoiceRestartWait (kVoiceRestartNotStopped when it did not end).
int RestartVoiceSystem();
bool VoiceSystemStarted();
// At quit, before the windows it prints into go: stops the engine, waiting
// for its thread at most kVoiceQuitWaitMs. False when the thread did not end in time.
inline constexpr int kVoiceQuitWaitMs = 2000;
bool StopVoiceSystem();
// The node way's received frames.
void PlayReceivedVoice(std::span<const std::uint8_t> frame);
