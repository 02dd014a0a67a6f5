// An owner-drawn push button that draws everything itself: background,
// border, an icon or a bitmap with a transparent colour, the caption and the
// focus rectangle, in the looks normal, hover, pressed, focused and disabled.
// It may also behave as a check box, open a URL or a popup menu on click,
// play sounds, show a tooltip and its own cursor.
//
// The button lives on the thread that owns its window; it is bound to a
// template's button by subclassing (PreSubclassWindow), which makes the
// window owner-drawn.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "controls/bc_menu.h"
#include "controls/button_image_layout.h"
#include "win/button_ctrl.h"
#include "win/gdi.h"
#include "win/tooltip_ctrl.h"

// Stand-ins for a second bitmap: a grey or a darker copy of the first.
inline constexpr HBITMAP kBitmapGreyCopy = static_cast<HBITMAP>(-2);
inline constexpr HBITMAP kBitmapDarkerCopy = static_cast<HBITMAP>(-3);

class CButtonST : public CButton {
 public:
  // Results of the setters.
  enum : DWORD {
    BTNST_OK = 0,
    BTNST_INVALIDRESOURCE = 1,
    BTNST_FAILEDMASK = 2,
    BTNST_INVALIDINDEX = 3,
    BTNST_INVALIDALIGN = 4,
  };
  // The six colours.
  enum : BYTE {
    BTNST_COLOR_BK_IN = 0,     // background while hovered or pressed
    BTNST_COLOR_FG_IN = 1,     // text while hovered or pressed
    BTNST_COLOR_BK_OUT = 2,    // background otherwise
    BTNST_COLOR_FG_OUT = 3,    // text otherwise
    BTNST_COLOR_BK_FOCUS = 4,  // background while focused
    BTNST_COLOR_FG_FOCUS = 5,  // text while focused
    BTNST_MAX_COLORS = 6,
  };
  enum : BYTE { ST_ALIGN_HORIZ = 0, ST_ALIGN_VERT = 1, ST_ALIGN_HORIZ_RIGHT = 2, ST_ALIGN_OVERLAP = 3 };

  CButtonST();
  ~CButtonST() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void PreSubclassWindow() override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void DrawItem(DRAWITEMSTRUCT* draw) override;

  // Images. The button owns every handle given to it.
  DWORD SetBitmaps(HBITMAP bitmapIn, COLORREF transparentIn, HBITMAP bitmapOut = 0, COLORREF transparentOut = 0);
  void SetBitmapResource(UINT resourceId, COLORREF transparent);
  DWORD SetIcon(HICON iconIn, HICON iconOut = 0);
  DWORD SetImageAlignment(BYTE align, BOOL repaint = TRUE);
  BYTE GetImageAlignment() const { return align_; }
  void SizeToContent();

  // Colours.
  DWORD SetColor(BYTE index, COLORREF colour, BOOL repaint = TRUE);
  DWORD GetColor(BYTE index, COLORREF* colour) const;
  DWORD SetDefaultColors(BOOL repaint = TRUE);

  // Looks.
  DWORD SetFlat(BOOL flat = TRUE, BOOL repaint = TRUE);
  DWORD SetAlwaysTrack(BOOL alwaysTrack = TRUE);
  DWORD DrawBorder(BOOL enable = TRUE, BOOL repaint = TRUE);
  DWORD DrawFlatFocus(BOOL drawFlatFocus, BOOL repaint = TRUE);
  DWORD DrawTransparent(BOOL repaint = FALSE);
  DWORD SetPressedStyle(BOOL showPressed, BOOL repaint = TRUE);
  void SetDisabledEmbossed(BOOL embossed) { disabledEmbossed_ = embossed != FALSE; }
  BOOL GetDefault() const { return isDefault_ ? TRUE : FALSE; }
  BOOL IsCheckBox() const { return isCheckBox_ ? TRUE : FALSE; }
  // Check-box buttons.
  DWORD SetCheck(int check, BOOL repaint = TRUE);
  int GetCheck() const { return checked_ ? 1 : 0; }

  // Behaviour on click and hover.
  DWORD SetURL(const char* url);
  DWORD SetMenu(UINT menuId, HWND commandWindow, BOOL repaint = TRUE);
  DWORD SetMenuCallback(HWND window, UINT message, LPARAM parameter = 0);
  DWORD SetSound(const char* sound, HMODULE module = nullptr, BOOL forPressed = FALSE);
  DWORD SetBtnCursor(UINT cursorId, BOOL repaint = TRUE);
  void SetTooltipText(const char* text, BOOL activate = TRUE);
  void ActivateTooltip(BOOL enable = TRUE);

  // State a drawing pass reads (tests look at it too).
  bool IsHovered() const { return mouseOnButton_; }
  HBITMAP BitmapHandle(int index) const { return bitmaps_[index].bitmap; }
  HBITMAP MaskHandle(int index) const { return bitmaps_[index].mask; }
  const BCMenu& PopupMenu() const { return menu_; }
  CToolTipCtrl& ToolTip() { return toolTip_; }

 protected:
  // The drawing steps of one owner-draw pass; a derived button may replace them.
  virtual DWORD DrawButtonBackground(HDC dc, RECT* rect);
  virtual DWORD DrawButtonBorder(HDC dc, RECT* rect);
  virtual void DrawButtonIcon(HDC dc, bool hasTitle, const RECT& item, RECT* caption, bool pressed, bool disabled);
  virtual void DrawButtonBitmap(HDC dc, bool hasTitle, const RECT& item, RECT* caption, bool pressed, bool disabled);
  virtual void DrawButtonText(HDC dc, const RECT& caption, const char* title, bool pressed, bool disabled);

  bool IsPressed() const { return pressed_; }
  bool IsFocused() const { return focused_; }
  bool IsDisabled() const { return disabled_; }
  bool IsFlat() const { return flat_; }
  bool MouseOnButton() const { return mouseOnButton_; }

 private:
  struct Icon {
    HICON icon = 0;
    DWORD width = 0;
    DWORD height = 0;
  };
  struct Bitmap {
    HBITMAP bitmap = 0;
    DWORD width = 0;
    DWORD height = 0;
    HBITMAP mask = 0;
    COLORREF transparent = 0;
  };
  struct Sound {
    std::array<char, MAX_PATH> name{};
    HMODULE module = nullptr;
    DWORD flags = 0;
  };

  void FreeResources();
  // What BM_GETIMAGE answers: the first image.
  void ShowImageHandles();
  // Reads the bitmap's size and makes its mask: BTNST_OK or the failure.
  static DWORD StoreBitmap(Bitmap& slot, HBITMAP bitmap, COLORREF transparent);
  // 1 for the second image when there is one and the button is not pressed
  // (a push button also not hovered), else 0.
  int ChosenImage(bool hasSecond) const;
  void CancelHover();
  void OnMouseMove(UINT flags, POINT point);
  void OnClicked();
  void OnEnable(BOOL enable);
  void OnSysColorChange();
  LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetCheck(WPARAM wParam);
  void InitToolTip();
  void PaintBackground(HDC dc, const RECT& item);
  void DropParentBackground();
  ButtonImageLayoutInput LayoutFor(bool hasTitle, const RECT& item, bool pressed, SIZE image) const;
  void PlayButtonSound(const Sound& sound) const;

  bool disabledEmbossed_ = true;
  bool showPressed_ = true;
  POINT imageOrigin_{3, 3};
  POINT pressedOffset_{1, 1};
  bool flat_ = true;
  bool mouseOnButton_ = false;
  bool drawTransparent_ = false;
  bool pressed_ = false;
  bool focused_ = false;
  bool disabled_ = false;
  bool isDefault_ = false;
  bool isCheckBox_ = false;
  BYTE align_ = ST_ALIGN_HORIZ;
  bool drawBorder_ = true;
  bool drawFlatFocus_ = false;
  std::array<COLORREF, BTNST_MAX_COLORS> colours_{};

  BCMenu menu_;
  HWND menuCommandWindow_ = 0;
  bool menuShown_ = false;
  HWND menuCallbackWindow_ = 0;
  UINT menuCallbackMessage_ = 0;
  LPARAM menuCallbackParameter_ = 0;

  HCURSOR cursor_ = 0;
  CToolTipCtrl toolTip_;
  DWORD toolTipStyle_ = 0;

  HDC parentBackgroundDC_ = 0;
  HBITMAP parentBackgroundBitmap_ = 0;
  HGDIOBJ parentBackgroundOld_ = 0;

  bool alwaysTrack_ = true;
  std::atomic<bool> checked_{false};
  DWORD typeBeforeSubclass_ = 15;
  std::array<char, MAX_PATH> url_{};
  std::array<Icon, 2> icons_{};
  std::array<Bitmap, 2> bitmaps_{};
  Sound hoverSound_;
  Sound clickSound_;
};
