#include "app/bridge_message.h"

#include <atomic>
#include <cstring>
#include <span>
#include <string>

#include "app/app_globals.h"
#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/print_dlg.h"
#include "base/trace_output.h"
#include "core/big_tables.h"
#include "core/settings.h"
#include "win/richedit.h"
#include "win/window.h"

namespace {

std::atomic<HWND> g_bridgeWindow{0};

constexpr COLORREF kColourBits = 0x00FFFFFF;

// The module names some colours by value: those become the trace colours it means.
COLORREF BridgeColour(LPARAM value) {
  switch (value) {
    case 0x14A7F5:
      return Klib().Colour(kColourEmphasis);
    case 0x20C040:
      return Klib().Colour(kColour25);
    case 0xFF1010:
      return Klib().Colour(kColour24);
    case 0:
      return Klib().Colour(kColourNormal);
    case 0x1010FF:
      return Klib().Colour(kColourError);
    default:
      return static_cast<COLORREF>(value) & kColourBits;
  }
}

// The NUL-ended text at `offset` in buffer 1, cut at the buffer's end; none
// for an offset outside the buffer or before the buffer exists.
bool TextInBufferOne(LPARAM offset, std::string& text) {
  const win::SharedMemory& buffer = g_bridgeExchangeBuffers().buffer1;
  if (!buffer.IsOpen()) return false;
  const std::span<const std::uint8_t> bytes = buffer.Bytes();
  if (offset < 0 || static_cast<std::uint64_t>(offset) >= bytes.size()) return false;
  const std::span<const std::uint8_t> rest = bytes.subspan(static_cast<std::size_t>(offset));
  const void* end = std::memchr(rest.data(), 0, rest.size());
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - rest.data()) : rest.size();
  text.assign(reinterpret_cast<const char*>(rest.data()), length);
  return true;
}

// One line in the given colour; the output's format is put back after it.
void PrintLineIn(COLORREF colour, const char* text) {
  WithTraceOutput([&](CPrintDlg& output) {
    const DWORD effects = output.Effects();
    const COLORREF before = output.Colour();
    output.SetFormat(effects, colour);
    output.PrintLine("%s", text);
    output.SetFormat(effects, before);
  });
}

LPARAM AddressOf(const win::SharedMemory& block) {
  return block.IsOpen() ? reinterpret_cast<LPARAM>(block.Bytes().data()) : 0;
}

void Hello(HWND module) {
  g_bridgeWindow = module;
  const BridgeExchangeBuffers& buffers = g_bridgeExchangeBuffers();
  PostMessageA(module, TavelkorMessageId(), kBridgeBufferOne, AddressOf(buffers.buffer1));
  PostMessageA(module, TavelkorMessageId(), kBridgeBufferTwo, AddressOf(buffers.buffer2));
}

}  // namespace

HWND BridgeWindow() { return g_bridgeWindow.load(); }

LRESULT OnTavelkorMsg(HWND, WPARAM code, LPARAM value) {
  std::string text;
  switch (code) {
    case kBridgeHello:
      Hello(static_cast<HWND>(value));
      return 0;
    case kBridgeLost:
      g_bridgeWindow = 0;
      if (Klib().TraceBit(0)) {
        PrintLineIn(Klib().Colour(kColourError), PickLanguage("Bridge lost.", "Passerelle perdue.", "Pasarela perdida."));
      }
      return 0;
    case kBridgeBeginBlock:
      WithTraceOutput([](CPrintDlg& output) { output.RemoveDelimiters('{', '}'); });
      return 0;
    case kBridgeEndBlock:
      WithTraceOutput([](CPrintDlg& output) { output.RemoveDelimitedText('{', '}'); });
      return 0;
    case kBridgeEffects:
      if (CMainThread* main = Klib().mainThread.load()) main->SetEffects(static_cast<DWORD>(value) & kPrintFormatMask);
      return 0;
    case kBridgePrint:
      if (TextInBufferOne(value, text)) WithTraceOutput([&](CPrintDlg& output) { output.Print("%s", text.c_str()); });
      return 0;
    case kBridgePrintLine:
      if (TextInBufferOne(value, text)) {
        WithTraceOutput([&](CPrintDlg& output) { output.PrintLine("%s", text.c_str()); });
      }
      return 0;
    case kBridgeColour:
      WithTraceOutput([&](CPrintDlg& output) { output.SetFormat(output.Effects() & CFE_BOLD, BridgeColour(value)); });
      return 0;
    case kBridgeExchangeBufferError:
      PrintLineIn(Klib().Colour(kColourError),
                  PickLanguage("Bridge : Error creating xchange buffer D2E.",
                               "Passerelle : Erreur de cr\xE9" "ation du tampon d'\xE9" "change D2E.",
                               "Pasarela : Error en la zona de cambio D2E."));
      return 0;
    case kBridgePrintBufferError:
      WithTraceOutput([](CPrintDlg& output) {
        output.PrintLine("%s", PickLanguage("Bridge : Error on printing buffer.",
                                            "Passerelle : Erreur sur le tampon d'impression.",
                                            "Pasarela : Error en la zona de impresi\xF3n."));
      });
      return 0;
    case kBridgeGone:
      g_bridgeWindow = 0;
      return 0;
    case kBridgeLiveness:
      return 1;
    default:
      return 0;
  }
}

void TellBridgeClientGone(HWND mainDialog) {
  const HWND module = g_bridgeWindow.exchange(0);
  if (module != 0) PostMessageA(module, TavelkorMessageId(), kBridgeGone, static_cast<LPARAM>(mainDialog));
}
