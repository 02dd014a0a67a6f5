// The trackbar control: a range, a position within it, tick marks and the
// sizes the keys and the mouse move by. Its parts lie as win/trackbar_layout.h
// says.
//
// The position always lies within the range: TBM_SETPOS clamps it, and a
// change of the range pulls it in. A range whose maximum is below its minimum
// keeps the position at the minimum. The page size is a fifth of the range
// until TBM_SETPAGESIZE sets one; the line size is 1.
//
// TBM_GETCHANNELRECT of a vertical trackbar answers the channel with x and y
// exchanged, as the platform does; TBM_GETTHUMBRECT answers the thumb as it lies.
//
// What a user does tells the parent, with WM_HSCROLL (WM_VSCROLL when
// vertical), wParam MAKELONG(code, position for TB_THUMBTRACK and
// TB_THUMBPOSITION), lParam the control:
//   keys: left/up TB_LINEUP, right/down TB_LINEDOWN, page up TB_PAGEUP, page
//   down TB_PAGEDOWN, home TB_TOP, end TB_BOTTOM, each after the position
//   moved; the key's release TB_ENDTRACK.
//   mouse: a press in the channel beside the thumb pages one page towards
//   the press (TB_PAGEUP or TB_PAGEDOWN); a press on the thumb takes the
//   capture and each move tracks it (TB_THUMBTRACK); the release after a
//   drag tells TB_THUMBPOSITION, and every release TB_ENDTRACK.
//
// Painting: the background (the parent's WM_CTLCOLORSTATIC brush, else the
// button face), then the custom-draw stages go to the parent as WM_NOTIFY
// NM_CUSTOMDRAW, whose answer decides what is drawn by default:
//   CDDS_PREPAINT; CDRF_SKIPDEFAULT ends the paint, CDRF_NOTIFYITEMDRAW asks
//   for the items, CDRF_NOTIFYPOSTPAINT for CDDS_POSTPAINT at the end;
//   then for the ticks (TBCD_TICS, black), the channel (TBCD_CHANNEL) and the
//   thumb (TBCD_THUMB), in that order, CDDS_ITEMPREPAINT when asked for
//   (CDRF_SKIPDEFAULT skips the part, CDRF_NOTIFYPOSTPAINT asks for its
//   CDDS_ITEMPOSTPAINT) and the part itself.
// The stages draw on one off-screen image of the client area, copied to the
// window at the end, so what a stage reads back from the context is what the
// earlier stages drew.
#pragma once

#include <string>

#include "win/control_base.h"
#include "win/trackbar_layout.h"

constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;

constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
constexpr UINT TBM_GETNUMTICS = WM_USER + 16;
constexpr UINT TBM_SETTICFREQ = WM_USER + 20;
constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
constexpr UINT TBM_GETTHUMBRECT = WM_USER + 25;
constexpr UINT TBM_GETCHANNELRECT = WM_USER + 26;
constexpr UINT TBM_SETTHUMBLENGTH = WM_USER + 27;
constexpr UINT TBM_GETTHUMBLENGTH = WM_USER + 28;

constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

// NMCUSTOMDRAW's dwItemSpec for the trackbar's parts.
constexpr DWORD TBCD_TICS = 0x0001;
constexpr DWORD TBCD_THUMB = 0x0002;
constexpr DWORD TBCD_CHANNEL = 0x0003;

class CSliderCtrl : public CControlBase {
 public:
  explicit CSliderCtrl(DWORD style = TBS_HORZ, std::string text = {});
  ~CSliderCtrl() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return "trackbar"; }

  // The class library's calls, through the messages above.
  int GetPos();
  void SetPos(int pos);
  void GetRange(int& min, int& max);
  int GetRangeMin();
  int GetRangeMax();
  void SetRange(int min, int max, BOOL redraw = FALSE);
  void SetRangeMin(int min, BOOL redraw = FALSE);
  void SetRangeMax(int max, BOOL redraw = FALSE);
  void SetTicFreq(int freq);
  UINT GetNumTics();
  int GetPageSize();
  int SetPageSize(int size);
  int GetLineSize();
  int SetLineSize(int size);
  void GetChannelRect(RECT* rect);
  void GetThumbRect(RECT* rect);
  int GetThumbLength();
  void SetThumbLength(int length);

 private:
  struct Drag {
    bool tracking = false;  // the thumb follows the mouse
    bool moved = false;     // a track notice was sent since the press
    LONG grab = 0;          // the press's distance from the thumb's centre
  };

  win::TrackbarState StateLocked() const;
  win::TrackbarLayout Layout() const;
  // Sets the range's ends under the lock and pulls the position in.
  void SetRangeLocked(int min, int max);
  void Redraw();
  void Notify(WORD code, int pos = 0);
  // Moves to `pos` (clamped); TRUE when it moved.
  bool MoveTo(int pos);
  LRESULT OnKeyDown(WPARAM key);
  LRESULT OnKeyUp(WPARAM key);
  LRESULT OnButtonDown(LPARAM where);
  LRESULT OnMouseMove(LPARAM where);
  LRESULT OnButtonUp();
  // Sends one custom-draw stage to the parent; the answer.
  LRESULT CustomDraw(DWORD stage, HDC dc, const RECT& rect, DWORD_PTR item);

 protected:
  void PaintControl(HDC dc, const RECT& client, HBRUSH background) override;

  // Guarded by mutex_.
  int min_ = 0;
  int max_ = 100;
  int pos_ = 0;
  int ticFreq_ = 1;
  int lineSize_ = 1;
  int pageSize_ = 20;
  bool pageSizeSet_ = false;
  LONG thumbLength_ = win::kTrackbarDefaultThumbLength;
  // Owner thread only.
  Drag drag_;
};
