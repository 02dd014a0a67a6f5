// PortAudio probes every sound system it knows at start (ALSA's cards and plug-ins,
// a JACK server), and on a machine without them ALSA and JACK write some sixty lines
// of their own to the standard error. Their message handlers are pointed at one that
// drops the text, so the terminal keeps the program's own lines only; what the voice
// system makes of a missing device it says in the chat window.
#pragma once

// Once per process, before PortAudio starts; later calls do nothing.
void QuietSoundSystemMessages();
