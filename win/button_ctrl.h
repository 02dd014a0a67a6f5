// The button control in its kinds, chosen by the type bits of its style:
// push (BS_PUSHBUTTON, BS_DEFPUSHBUTTON), check box (BS_CHECKBOX, BS_3STATE
// and their automatic forms), radio (BS_RADIOBUTTON, BS_AUTORADIOBUTTON),
// owner-drawn (BS_OWNERDRAW). Any kind may carry a bitmap or an icon (BM_SETIMAGE).
//
// A click (BM_CLICK) on an enabled button runs on its owner thread: an
// automatic check box steps its state, an automatic radio button checks
// itself and clears the other automatic radio buttons of its group (the
// siblings from the nearest WS_GROUP up to the next); then BN_CLICKED goes to
// the parent.
#pragma once

#include "win/control_base.h"
#include "win/paint.h"

constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTATE = 0x00F3;
constexpr UINT BM_SETSTYLE = 0x00F4;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BM_GETIMAGE = 0x00F6;
constexpr UINT BM_SETIMAGE = 0x00F7;

constexpr UINT BST_UNCHECKED = 0x0000;
constexpr UINT BST_CHECKED = 0x0001;
constexpr UINT BST_INDETERMINATE = 0x0002;
constexpr UINT BST_PUSHED = 0x0004;

constexpr WORD BN_CLICKED = 0;
constexpr WORD BN_DOUBLECLICKED = 5;

class CButton : public CControlBase {
 public:
  explicit CButton(DWORD style = BS_PUSHBUTTON, std::string text = {});
  ~CButton() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // "button", "checkbox", "radio" or "ownerdraw".
  std::string_view Kind() const override;
  // WM_DRAWITEM reflected from the parent goes to DrawItem; a class that
  // does not override DrawItem leaves the drawing to the parent.
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // An owner-drawn button draws itself here (on the owner thread, while it paints).
  virtual void DrawItem(DRAWITEMSTRUCT* item);

  int GetCheck() const;
  void SetCheck(int check);
  UINT GetState() const;
  void SetState(BOOL highlight);
  UINT GetButtonStyle() const { return Style() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE);
  // Both return the previous image of their kind.
  HBITMAP SetBitmap(HBITMAP bitmap);
  HBITMAP GetBitmap() const;
  HICON SetIcon(HICON icon);
  HICON GetIcon() const;

 protected:
  UINT CtlColorMessage() const override;
  void PaintControl(HDC dc, const RECT& client, HBRUSH background) override;

 private:
  // On the owner thread; false when the button is disabled.
  bool Click();
  void ClearGroupSiblings();

  bool drawnByBase_ = false;  // set by this class's own DrawItem: nobody overrides it

  // Guarded by mutex_.
  UINT check_ = BST_UNCHECKED;
  bool pushed_ = false;
  HBITMAP bitmap_ = 0;
  HICON icon_ = 0;
};
