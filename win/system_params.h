// SystemParametersInfoA, for what the client asks of it: the metrics of the
// non-client area, whose fonts are the default dialog font here.
#pragma once

#include "win/gdi_types.h"

constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;

struct NONCLIENTMETRICSA {
  UINT cbSize = sizeof(NONCLIENTMETRICSA);
  int iBorderWidth = 0;
  int iScrollWidth = 0;
  int iScrollHeight = 0;
  int iCaptionWidth = 0;
  int iCaptionHeight = 0;
  LOGFONTA lfCaptionFont{};
  int iSmCaptionWidth = 0;
  int iSmCaptionHeight = 0;
  LOGFONTA lfSmCaptionFont{};
  int iMenuWidth = 0;
  int iMenuHeight = 0;
  LOGFONTA lfMenuFont{};
  LOGFONTA lfStatusFont{};
  LOGFONTA lfMessageFont{};
  int iPaddedBorderWidth = 0;
};

// FALSE for another action, or when cbSize (and size) is not that of the record.
BOOL SystemParametersInfoA(UINT action, UINT size, void* parameter, UINT winIni);
