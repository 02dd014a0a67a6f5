#include "win/system_params.h"

#include "win/fonts.h"
#include "win/system_metrics.h"

BOOL SystemParametersInfoA(UINT action, UINT size, void* parameter, UINT) {
  if (action != SPI_GETNONCLIENTMETRICS || parameter == nullptr) return FALSE;
  auto* metrics = static_cast<NONCLIENTMETRICSA*>(parameter);
  if (size != sizeof(NONCLIENTMETRICSA) || metrics->cbSize != sizeof(NONCLIENTMETRICSA)) return FALSE;
  const LOGFONTA font = DefaultGuiLogFont();
  *metrics = NONCLIENTMETRICSA{};
  metrics->iBorderWidth = 1;
  metrics->iScrollWidth = 17;
  metrics->iScrollHeight = 17;
  metrics->iCaptionWidth = 18;
  metrics->iCaptionHeight = 18;
  metrics->iSmCaptionWidth = 12;
  metrics->iSmCaptionHeight = 15;
  metrics->iMenuWidth = 18;
  metrics->iMenuHeight = GetSystemMetrics(SM_CYMENU);
  metrics->lfCaptionFont = font;
  metrics->lfSmCaptionFont = font;
  metrics->lfMenuFont = font;
  metrics->lfStatusFont = font;
  metrics->lfMessageFont = font;
  return TRUE;
}
