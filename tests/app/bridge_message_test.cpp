#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "app/bridge_message.h"
#include "base/print_dlg.h"
#include "core/big_tables.h"
#include "core/settings.h"
#include "support/klib_fixture.h"
#include "win/richedit.h"
#include "win/window.h"

namespace {

constexpr COLORREF kStartColour = 0x0A0B0C;

class BridgeMessage : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    edit_.Create(0, nullptr, 1);
    print_.AttachRichEdit(&edit_, nullptr);
    print_.SetFormat(0, kStartColour);
    Klib().traceOutput = &print_;
    const auto pid = static_cast<std::uint32_t>(getpid());
    ASSERT_TRUE(Buffers().buffer1.Create(BridgeBufferName(pid, 1), kBridgeExchangeBufferSize));
    ASSERT_TRUE(Buffers().buffer2.Create(BridgeBufferName(pid, 2), kBridgeExchangeBufferSize));
    Put(0, "Hello bridge");
    Put(50, "second text");
    // The buffer's last bytes, with no NUL after them.
    const std::string tail = "TAIL!";
    std::copy(tail.begin(), tail.end(), Buffer1().end() - static_cast<std::ptrdiff_t>(tail.size()));
    Language = 0;
  }
  void TearDown() override {
    TellBridgeClientGone(0);
    Klib().traceOutput = nullptr;
    Buffers().buffer1.Close();
    Buffers().buffer2.Close();
    Language = 0;
    KlibFixture::TearDown();
  }

  static BridgeExchangeBuffers& Buffers() { return g_bridgeExchangeBuffers(); }
  static std::span<std::uint8_t> Buffer1() { return Buffers().buffer1.Bytes(); }
  static void Put(std::size_t offset, const std::string& text) {
    std::copy(text.begin(), text.end(), Buffer1().begin() + static_cast<std::ptrdiff_t>(offset));
    Buffer1()[offset + text.size()] = 0;
  }

  // The printed text without its line breaks.
  std::string Printed() const {
    std::string text = edit_.Text();
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
    return text;
  }
  // The colour of the run holding `text`, or 1 when no run holds it.
  COLORREF ColourOf(const std::string& text) const {
    for (const TextRun& run : edit_.Runs()) {
      if (run.text.find(text) != std::string::npos) return run.colour;
    }
    return 1;
  }

  CRichEditCtrl edit_;
  CPrintDlg print_;
};

TEST_F(BridgeMessage, EachCodeHasItsEffectAndAnswer) {
  const std::int64_t size = static_cast<std::int64_t>(kBridgeExchangeBufferSize);
  const struct {
    WPARAM code;
    std::int64_t value;
    LRESULT answer;
    const char* printed;
  } cases[] = {
      {104, 0, 0, "Hello bridge"},  // buffer 1 from its start
      {103, 0, 0, "Hello bridge"},
      {104, 50, 0, "second text"},
      {103, 53, 0, "ond text"},
      {103, size - 5, 0, "TAIL!"},  // stops at the buffer's end
      {104, size - 1, 0, "!"},
      {103, size, 0, ""},  // outside the buffer: nothing
      {104, size, 0, ""},
      {104, -1, 0, ""},
      {103, std::numeric_limits<std::int64_t>::min(), 0, ""},
      {104, std::numeric_limits<std::int64_t>::max(), 0, ""},
      {106, 0, 0, "Bridge : Error creating xchange buffer D2E."},
      {107, 0, 0, "Bridge : Error on printing buffer."},
      {1320, 0, 1, ""},
      {1319, 0, 0, ""},
      {2, 0, 0, ""},
      {99, 0, 0, ""},
      {108, 0, 0, ""},
      {1000, 0, 0, ""},
      {1299, 0, 0, ""},
      {1301, 0, 0, ""},
      {1321, 0, 0, ""},
      {0xFFFFFFFF, 0, 0, ""},
  };
  for (const auto& c : cases) {
    print_.Clear();
    EXPECT_EQ(OnTavelkorMsg(0, c.code, static_cast<LPARAM>(c.value)), c.answer) << c.code << " " << c.value;
    EXPECT_EQ(Printed(), c.printed) << c.code << " " << c.value;
  }
}

TEST_F(BridgeMessage, TextsArePrintedInTheTraceOutputsFormat) {
  print_.SetFormat(CFE_ITALIC, 0x112233);
  OnTavelkorMsg(0, kBridgePrintLine, 0);
  EXPECT_EQ(ColourOf("Hello bridge"), 0x112233u);
  // A '%' in the module's text is printed as it stands.
  Put(300, "100% sure %s");
  OnTavelkorMsg(0, kBridgePrint, 300);
  EXPECT_NE(edit_.Text().find("100% sure %s"), std::string::npos);
}

TEST_F(BridgeMessage, NothingIsReadBeforeTheBuffersExist) {
  Buffers().buffer1.Close();
  EXPECT_EQ(OnTavelkorMsg(0, kBridgePrintLine, 0), 0);
  EXPECT_EQ(OnTavelkorMsg(0, kBridgePrint, 0), 0);
  EXPECT_EQ(Printed(), "");
}

TEST_F(BridgeMessage, ErrorTextsFollowTheLanguageAndTheLostOneTheTraceBit) {
  const struct {
    int language;
    WPARAM code;
    bool traceBit0;
    const char* printed;
    bool errorColour;
  } cases[] = {
      {1, kBridgeLost, true, "Passerelle perdue.", true},
      {2, kBridgeLost, true, "Pasarela perdida.", true},
      {0, kBridgeLost, true, "Bridge lost.", true},
      {3, kBridgeLost, true, "Bridge lost.", true},
      {1, kBridgeLost, false, "", false},
      {1, kBridgeExchangeBufferError, false, "Passerelle : Erreur de cr\xE9" "ation du tampon d'\xE9" "change D2E.", true},
      {2, kBridgeExchangeBufferError, false, "Pasarela : Error en la zona de cambio D2E.", true},
      {1, kBridgePrintBufferError, false, "Passerelle : Erreur sur le tampon d'impression.", false},
      {2, kBridgePrintBufferError, false, "Pasarela : Error en la zona de impresi\xF3n.", false},
  };
  for (const auto& c : cases) {
    print_.Clear();
    Language = c.language;
    Klib().traceMask = c.traceBit0 ? 1u : 0xFFFFFFFEu;
    EXPECT_EQ(OnTavelkorMsg(0, c.code, 0), 0);
    EXPECT_EQ(Printed(), c.printed) << c.language << " " << c.code;
    if (*c.printed != '\0') {
      EXPECT_EQ(ColourOf(c.printed), c.errorColour ? Klib().Colour(kColourError) : kStartColour) << c.printed;
    }
    // The error colour is not left behind.
    EXPECT_EQ(print_.Colour(), kStartColour);
  }
}

TEST_F(BridgeMessage, TheColourCodeKeepsTheBoldStateAndNamesTheTraceColours) {
  const struct {
    std::int64_t value;
    COLORREF colour;
  } cases[] = {
      {0x14A7F5, Klib().Colour(19)}, {0x20C040, Klib().Colour(25)}, {0xFF1010, Klib().Colour(24)},
      {0, Klib().Colour(17)},        {0x1010FF, Klib().Colour(20)}, {0x123456, 0x123456},
      {0x7F123456, 0x123456},        {-1, 0xFFFFFF},
  };
  ASSERT_NE(Klib().Colour(25), 0x20C040u);  // the trace colours are not the values naming them
  for (const auto& c : cases) {
    for (DWORD effects : {DWORD{0}, DWORD{CFE_BOLD | CFE_ITALIC}}) {
      print_.SetFormat(effects, kStartColour);
      EXPECT_EQ(OnTavelkorMsg(0, kBridgeColour, static_cast<LPARAM>(c.value)), 0);
      EXPECT_EQ(print_.Colour(), c.colour) << std::hex << c.value;
      EXPECT_EQ(print_.Effects(), effects & CFE_BOLD) << std::hex << c.value;
    }
  }
  print_.SetFormat(0, kStartColour);
  OnTavelkorMsg(0, kBridgeColour, 0x123456);
  OnTavelkorMsg(0, kBridgePrintLine, 50);
  EXPECT_EQ(ColourOf("second text"), 0x123456u);
}

TEST_F(BridgeMessage, TheEffectsGoToTheMainThreadMaskedToTheirBits) {
  EXPECT_EQ(OnTavelkorMsg(0, kBridgeEffects, CFE_BOLD), 0);
  EXPECT_EQ(main_->StoredEffects(), DWORD{CFE_BOLD});
  EXPECT_EQ(print_.Effects(), DWORD{CFE_BOLD});
  OnTavelkorMsg(0, kBridgeEffects, static_cast<LPARAM>(-1));
  EXPECT_EQ(main_->StoredEffects(), kPrintFormatMask);
  OnTavelkorMsg(0, kBridgeEffects, 0);
  EXPECT_EQ(main_->StoredEffects(), 0u);
}

TEST_F(BridgeMessage, DelimitedBlocksLoseTheirMarksOrTheirText) {
  const struct {
    WPARAM code;
    const char* left;
  } cases[] = {
      {kBridgeBeginBlock, "before inside after"},
      {kBridgeEndBlock, "before  after"},
  };
  for (const auto& c : cases) {
    print_.Clear();
    print_.PrintText("before {inside} after");
    EXPECT_EQ(OnTavelkorMsg(0, c.code, 0), 0);
    EXPECT_EQ(Printed(), c.left) << c.code;
  }
}

// A window of the test's thread standing for the module's.
class ModuleProbe : public CWnd {
 public:
  ~ModuleProbe() override { DestroyWindow(); }
};

std::vector<MSG> TakePosts(HWND hwnd) {
  std::vector<MSG> posts;
  MSG msg;
  while (PeekMessageA(&msg, hwnd, TavelkorMessageId(), TavelkorMessageId(), PM_REMOVE)) posts.push_back(msg);
  return posts;
}

TEST_F(BridgeMessage, HelloIsAnsweredWithBothBuffersAndQuittingSaysGoodbye) {
  ModuleProbe module;
  ASSERT_TRUE(module.CreateHandle(WindowCreateParams{}));
  EXPECT_EQ(OnTavelkorMsg(0, kBridgeHello, static_cast<LPARAM>(module.m_hWnd)), 0);
  EXPECT_EQ(BridgeWindow(), module.m_hWnd);
  std::vector<MSG> posts = TakePosts(module.m_hWnd);
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].wParam, WPARAM{kBridgeBufferOne});
  EXPECT_EQ(posts[0].lParam, reinterpret_cast<LPARAM>(Buffers().buffer1.Bytes().data()));
  EXPECT_EQ(posts[1].wParam, WPARAM{kBridgeBufferTwo});
  EXPECT_EQ(posts[1].lParam, reinterpret_cast<LPARAM>(Buffers().buffer2.Bytes().data()));

  const HWND mainDialog = 0x00123456;
  TellBridgeClientGone(mainDialog);
  posts = TakePosts(module.m_hWnd);
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wParam, WPARAM{kBridgeGone});
  EXPECT_EQ(posts[0].lParam, static_cast<LPARAM>(mainDialog));
  EXPECT_EQ(BridgeWindow(), 0u);
  TellBridgeClientGone(mainDialog);
  EXPECT_TRUE(TakePosts(module.m_hWnd).empty());
}

TEST_F(BridgeMessage, TheModuleIsForgottenWhenLostOrGone) {
  ModuleProbe module;
  ASSERT_TRUE(module.CreateHandle(WindowCreateParams{}));
  for (WPARAM forget : {WPARAM{kBridgeLost}, WPARAM{kBridgeGone}}) {
    OnTavelkorMsg(0, kBridgeHello, static_cast<LPARAM>(module.m_hWnd));
    TakePosts(module.m_hWnd);
    OnTavelkorMsg(0, forget, 0);
    EXPECT_EQ(BridgeWindow(), 0u) << forget;
    TellBridgeClientGone(1);
    EXPECT_TRUE(TakePosts(module.m_hWnd).empty()) << forget;
  }
}

}  // namespace
