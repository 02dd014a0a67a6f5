#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "win/brush.h"
#include "win/sound.h"

namespace {

TEST(Brushes, KeepTheirColourUntilDeleted) {
  const std::size_t before = LiveBrushCount();
  const HBRUSH dark = CreateSolidBrush(0x3D2F28);
  const HBRUSH panel = CreateSolidBrush(0xFF34261E);  // the unused top byte is dropped
  ASSERT_NE(dark, 0u);
  ASSERT_NE(panel, 0u);
  EXPECT_NE(dark, panel);
  EXPECT_EQ(BrushColour(dark), COLORREF{0x3D2F28});
  EXPECT_EQ(BrushColour(panel), COLORREF{0x34261E});
  EXPECT_EQ(LiveBrushCount(), before + 2);
  EXPECT_TRUE(DeleteObject(dark));
  EXPECT_FALSE(DeleteObject(dark));  // once only
  EXPECT_FALSE(BrushColour(dark));
  EXPECT_FALSE(DeleteObject(0));
  EXPECT_TRUE(DeleteObject(panel));
  EXPECT_EQ(LiveBrushCount(), before);
}

TEST(Brushes, TheFailureHookFailsTheKthCreationOnce) {
  FailBrushCreationForTest(3);
  std::vector<HBRUSH> made;
  for (int i = 0; i < 5; ++i) made.push_back(CreateSolidBrush(RGB(1, 2, 3)));
  EXPECT_NE(made[0], 0u);
  EXPECT_NE(made[1], 0u);
  EXPECT_EQ(made[2], 0u);
  EXPECT_NE(made[3], 0u);
  EXPECT_NE(made[4], 0u);
  for (HBRUSH b : made) DeleteObject(b);

  FailBrushCreationForTest(1);
  FailBrushCreationForTest(0);  // cancelled
  const HBRUSH ok = CreateSolidBrush(0);
  EXPECT_NE(ok, 0u);
  DeleteObject(ok);
}

TEST(Brushes, TheObjectOwnsItsBrush) {
  const std::size_t before = LiveBrushCount();
  {
    CBrush brush;
    ASSERT_TRUE(brush.CreateSolidBrush(0x3D2F28));
    EXPECT_FALSE(brush.CreateSolidBrush(0));  // one brush per object
    EXPECT_EQ(BrushColour(brush), COLORREF{0x3D2F28});
    FailBrushCreationForTest(1);
    CBrush failed;
    EXPECT_FALSE(failed.CreateSolidBrush(0));
    EXPECT_EQ(static_cast<HBRUSH>(failed), 0u);
  }
  EXPECT_EQ(LiveBrushCount(), before);
}

TEST(Sounds, EveryCallIsRecordedWithItsAnswer) {
  TempFolder folder;
  const std::string ding = folder.Path() + "/DING.WAV";
  std::ofstream(ding) << "RIFF";
  const std::string missing = folder.Path() + "/NOTIFY.WAV";
  ClearPlayedSounds();

  struct Case {
    const char* name;
    DWORD flags;
    BOOL result;
  };
  const std::vector<Case> cases = {
      {ding.c_str(), SND_ASYNC | SND_FILENAME | SND_NODEFAULT | SND_NOWAIT, TRUE},
      {missing.c_str(), SND_ASYNC | SND_FILENAME | SND_NODEFAULT, FALSE},
      {missing.c_str(), SND_ASYNC | SND_FILENAME, TRUE},  // the default sound stands in
      {folder.Path().c_str(), SND_FILENAME | SND_NODEFAULT, FALSE},  // a folder is no sound
      {"SystemAsterisk", SND_ALIAS | SND_ASYNC, TRUE},
      {nullptr, 0, TRUE},
  };
  for (const Case& c : cases) EXPECT_EQ(PlaySoundA(c.name, nullptr, c.flags), c.result);

  const std::vector<PlayedSound> played = PlayedSounds();
  ASSERT_EQ(played.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(played[i].name, cases[i].name != nullptr ? cases[i].name : "");
    EXPECT_EQ(played[i].flags, cases[i].flags);
    EXPECT_EQ(played[i].result, cases[i].result);
  }
  ClearPlayedSounds();
  EXPECT_TRUE(PlayedSounds().empty());
}

TEST(Sounds, AMemorySoundIsNotReadAsAName) {
  ClearPlayedSounds();
  const unsigned char wave[4] = {'R', 'I', 'F', 'F'};  // not terminated
  EXPECT_TRUE(PlaySoundA(reinterpret_cast<const char*>(wave), nullptr, SND_MEMORY | SND_ASYNC));
  // SND_RESOURCE shares SND_MEMORY's bit but names a resource.
  EXPECT_TRUE(PlaySoundA("DING", nullptr, SND_RESOURCE));
  const std::vector<PlayedSound> played = PlayedSounds();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[0].name, "<memory>");
  EXPECT_EQ(played[1].name, "DING");
}

}  // namespace
