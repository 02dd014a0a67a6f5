#include "win/fonts.h"

#include <cstdio>
#include <cstring>

#include "win/gdi_table.h"

LOGFONTA DefaultGuiLogFont() {
  LOGFONTA f;
  f.lfHeight = -11;  // 8 points at 96 dots an inch
  f.lfWeight = FW_NORMAL;
  f.lfCharSet = DEFAULT_CHARSET;
  std::snprintf(f.lfFaceName, sizeof f.lfFaceName, "%s", "MS Shell Dlg");
  return f;
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (font == nullptr) return 0;
  LOGFONTA log = *font;
  log.lfFaceName[LF_FACESIZE - 1] = '\0';
  auto& t = win::detail::Table();
  std::lock_guard lock(t.mutex);
  return win::detail::AddObject(t, win::detail::FontObject{log});
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* face) {
  LOGFONTA log;
  log.lfHeight = height;
  log.lfWidth = width;
  log.lfEscapement = escapement;
  log.lfOrientation = orientation;
  log.lfWeight = weight;
  log.lfItalic = static_cast<BYTE>(italic != 0);
  log.lfUnderline = static_cast<BYTE>(underline != 0);
  log.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  log.lfCharSet = static_cast<BYTE>(charSet);
  log.lfOutPrecision = static_cast<BYTE>(outPrecision);
  log.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  log.lfQuality = static_cast<BYTE>(quality);
  log.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (face != nullptr) std::snprintf(log.lfFaceName, sizeof log.lfFaceName, "%s", face);
  return CreateFontIndirectA(&log);
}
