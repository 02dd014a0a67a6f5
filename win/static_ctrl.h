// The static control: a text, or a picture (SS_BITMAP, SS_ICON) whose image
// is set with STM_SETIMAGE. With SS_NOTIFY a click tells the parent STN_CLICKED.
#pragma once

#include <optional>

#include "win/control_base.h"

constexpr UINT STM_SETICON = 0x0170;
constexpr UINT STM_GETICON = 0x0171;
constexpr UINT STM_SETIMAGE = 0x0172;
constexpr UINT STM_GETIMAGE = 0x0173;

constexpr WORD STN_CLICKED = 0;
constexpr WORD STN_DBLCLK = 1;

class CStatic : public CControlBase {
 public:
  explicit CStatic(DWORD style = SS_LEFT, std::string text = {});
  ~CStatic() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // "picture" for SS_BITMAP and SS_ICON, "static" otherwise.
  std::string_view Kind() const override;

  // Both return the previous image of their kind.
  HBITMAP SetBitmap(HBITMAP bitmap);
  HBITMAP GetBitmap() const;
  HICON SetIcon(HICON icon);
  HICON GetIcon() const;
  // The bitmap resource a picture's text names ("#7801"), as templates give it.
  std::optional<UINT> ResourceImageId() const;

 protected:
  UINT CtlColorMessage() const override;
  void PaintControl(HDC dc, const RECT& client, HBRUSH background) override;
  bool TakesFocusOnClick() const override { return false; }

 private:
  HBITMAP bitmap_ = 0;  // guarded by mutex_
  HICON icon_ = 0;      // guarded by mutex_
};
