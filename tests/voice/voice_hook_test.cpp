#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "net/received_voice_hook.h"
#include "scripted_audio.h"
#include "voice/portaudio_library.h"
#include "voice/voice_engine.h"

namespace {
std::vector<std::uint8_t> g_heard;
void Heard(std::span<const std::uint8_t> frame) { g_heard.assign(frame.begin(), frame.end()); }
}  // namespace

TEST(ReceivedVoiceHook, FramesGoToTheRegisteredPlayerOnly) {
  const std::vector<std::uint8_t> frame{0x2C, 1, 2, 3};
  g_heard.clear();
  DeliverReceivedVoice(frame);
  EXPECT_TRUE(g_heard.empty());
  SetReceivedVoiceHandler(&Heard);
  DeliverReceivedVoice(frame);
  EXPECT_EQ(g_heard, frame);
  SetReceivedVoiceHandler(nullptr);
  g_heard.clear();
  DeliverReceivedVoice(frame);
  EXPECT_TRUE(g_heard.empty());
}

// The machine's own sound system: with devices the stream runs, without any
// the thread reports and ends. Either way nothing hangs and all is released.
TEST(PortAudioLibrary, TheMachinesDevicesOpenOrAreReportedMissing) {
  PortAudioLibrary audio;
  RecordingVoiceOutput output;
  RecordingNodeLink node;
  {
    VoiceEngine engine(audio, output, node);
    ASSERT_EQ(engine.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return engine.Running() || engine.ThreadEnded(); }, std::chrono::seconds(60)));
    if (engine.ThreadEnded()) {
      EXPECT_EQ(engine.ThreadResult(), kVoiceThreadNoStream);
      bool reported = false;
      for (const std::string& line : output.Lines())
        reported = reported || line.starts_with("[PAU] VoiceSystem Record callback init failed(");
      EXPECT_TRUE(reported);
    }
    engine.Stop();
    EXPECT_FALSE(engine.Running());
  }
}
