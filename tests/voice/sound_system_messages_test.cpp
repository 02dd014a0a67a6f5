// The sound systems under PortAudio report missing devices on the standard error;
// once quieted, their lines stay off it while the program's own still reach it.
#include "voice/sound_system_messages.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "support/child_process.h"

namespace {

// What the calls wrote to the standard error descriptor, which is restored after.
template <typename Calls>
std::string StandardErrorOf(const std::string& path, Calls calls) {
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (saved < 0 || file == nullptr) return "cannot capture";
  dup2(fileno(file), STDERR_FILENO);
  calls();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::fclose(file);
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A device and a server that exist on no machine: each library complains about them.
void AskForMissingDevices() {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "tk_no_such_device", SND_PCM_STREAM_PLAYBACK, 0) == 0) snd_pcm_close(pcm);
  jack_status_t status{};
  const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
  if (jack_client_t* client = jack_client_open("tk_test", options, &status, "tk_no_such_server")) jack_client_close(client);
}

TEST(SoundSystemMessages, TheLibrariesLinesStayOffTheStandardErrorAndTheProgramsStayOn) {
  TempFolder folder;
  const std::string path = folder.Path() + "/stderr.txt";
  QuietSoundSystemMessages();
  QuietSoundSystemMessages();  // a second call changes nothing
  const std::string written = StandardErrorOf(path, [] {
    AskForMissingDevices();
    std::fprintf(stderr, "Tavelkor: own line\n");
  });
  EXPECT_EQ(written, "Tavelkor: own line\n");
}

}  // namespace
