#include "controls/button_st.h"

#include <algorithm>
#include <cstring>

#include "controls/button_bitmaps.h"
#include "win/cursors.h"
#include "win/focus.h"
#include "win/mouse.h"
#include "win/paint.h"
#include "win/cdc.h"
#include "win/shell.h"
#include "win/sound.h"
#include "win/window_pos.h"

namespace {

constexpr int kFocusInset = 3;
constexpr int kToolTipMaxWidth = 400;

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

void Offset(RECT& r, LONG dx, LONG dy) {
  r.left += dx;
  r.right += dx;
  r.top += dy;
  r.bottom += dy;
}

void Inset(RECT& r, LONG by) {
  r.left += by;
  r.top += by;
  r.right -= by;
  r.bottom -= by;
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  const HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Frame(HDC dc, const RECT& rect, COLORREF colour) {
  const HBRUSH brush = CreateSolidBrush(colour);
  FrameRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Draw3dRect(HDC dc, const RECT& rect, COLORREF topLeft, COLORREF bottomRight) {
  CDC cdc;
  cdc.Attach(dc);
  cdc.Draw3dRect(&rect, topLeft, bottomRight);
  cdc.Detach();
}

void Line(HDC dc, COLORREF colour, std::initializer_list<POINT> points) {
  const HPEN pen = CreatePen(PS_SOLID, 0, colour);
  const HGDIOBJ old = SelectObject(dc, pen);
  const auto* it = points.begin();
  MoveToEx(dc, it->x, it->y, nullptr);
  for (++it; it != points.end(); ++it) LineTo(dc, it->x, it->y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void CopyText(std::array<char, MAX_PATH>& to, const char* from) {
  to.fill('\0');
  if (from == nullptr) return;
  const std::size_t length = std::min(std::strlen(from), to.size() - 1);
  std::memcpy(to.data(), from, length);
}

}  // namespace

CButtonST::CButtonST() : CButton(BS_PUSHBUTTON) { SetDefaultColors(FALSE); }

CButtonST::~CButtonST() {
  DestroyWindow();
  DropParentBackground();
  FreeResources();
  if (cursor_ != 0) DestroyCursor(cursor_);
  menu_.DestroyMenu();
}

// --- messages ---------------------------------------------------------------

LRESULT CButtonST::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The drawing state belongs to the owner thread; a message from any other
  // thread that would change it is handed there.
  const bool ownThread = OnOwnerThread();
  switch (message) {
    case WM_SETCURSOR:
      if (cursor_ != 0 && ownThread) {
        ::SetCursor(cursor_);
        return TRUE;
      }
      break;
    case WM_KILLFOCUS:
    case WM_CANCELMODE: {
      const LRESULT result = CButton::WindowProc(message, wParam, lParam);
      if (ownThread) CancelHover();
      return result;
    }
    case WM_ACTIVATE: {
      const LRESULT result = CButton::WindowProc(message, wParam, lParam);
      if (ownThread && LOWORD(wParam) == WA_INACTIVE) CancelHover();
      return result;
    }
    case WM_ENABLE: {
      const LRESULT result = CButton::WindowProc(message, wParam, lParam);
      if (ownThread) OnEnable(static_cast<BOOL>(wParam));
      return result;
    }
    case WM_MOUSELEAVE:
      if (ownThread) CancelHover();
      return 0;
    case WM_MOUSEMOVE:
      if (ownThread) {
        OnMouseMove(static_cast<UINT>(wParam),
                    POINT{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                          static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))});
      }
      break;
    case WM_SYSCOLORCHANGE: {
      const LRESULT result = CButton::WindowProc(message, wParam, lParam);
      if (ownThread) OnSysColorChange();
      return result;
    }
    case WM_GETDLGCODE: {
      const LRESULT result = CButton::WindowProc(message, wParam, lParam);
      return result | static_cast<LRESULT>(isDefault_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    }
    case BM_SETSTYLE:
      if (!ownThread) {
        RepostToOwner(message, wParam, lParam);
        return 0;
      }
      return OnSetStyle(wParam, lParam);
    case BM_SETCHECK:
      if (!ownThread) {
        RepostToOwner(message, wParam, lParam);
        return 0;
      }
      return OnSetCheck(wParam);
    case BM_GETCHECK:
      return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case WM_MEASUREITEM:
      if (ownThread && menu_.GetSafeHmenu() != 0) {
        menu_.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_MENUCHAR:
      if (ownThread && menu_.GetSafeHmenu() != 0 && BCMenu::IsMenu(static_cast<HMENU>(lParam))) {
        return BCMenu::FindKeyboardShortcut(LOWORD(wParam), HIWORD(wParam), &menu_);
      }
      break;
    default:
      break;
  }
  return CButton::WindowProc(message, wParam, lParam);
}

BOOL CButtonST::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    // The button paints all of itself: the parent paints nothing behind it.
    if (result != nullptr) *result = static_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    OnClicked();
    return FALSE;  // the parent gets the notification as well
  }
  return CButton::OnChildNotify(message, wParam, lParam, result);
}

BOOL CButtonST::PreTranslateMessage(MSG* msg) {
  InitToolTip();
  toolTip_.RelayEvent(msg);
  // A double click counts as a second click.
  if (msg->message == WM_LBUTTONDBLCLK) msg->message = WM_LBUTTONDOWN;
  return CButton::PreTranslateMessage(msg);
}

void CButtonST::PreSubclassWindow() {
  const DWORD type = Style() & BS_TYPEMASK;
  typeBeforeSubclass_ = type;
  if ((type & BS_CHECKBOX) != 0) isCheckBox_ = true;
  if (type == BS_DEFPUSHBUTTON) {
    isDefault_ = true;
    typeBeforeSubclass_ = BS_PUSHBUTTON;
  }
  CButton::PreSubclassWindow();
  ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
}

LRESULT CButtonST::OnSetStyle(WPARAM wParam, LPARAM lParam) {
  const UINT type = static_cast<UINT>(wParam) & BS_TYPEMASK;
  if (type == BS_DEFPUSHBUTTON) isDefault_ = true;
  if (type == BS_PUSHBUTTON) isDefault_ = false;
  return CButton::WindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
}

LRESULT CButtonST::OnSetCheck(WPARAM wParam) {
  if (!isCheckBox_) return 0;
  checked_ = wParam == BST_CHECKED || wParam == BST_INDETERMINATE;
  Invalidate();
  return 0;
}

void CButtonST::OnEnable(BOOL enable) {
  if (enable == FALSE) {
    const HWND parent = ::GetParent(m_hWnd);
    const HWND next = parent != 0 ? GetNextDlgTabItem(parent, m_hWnd, FALSE) : 0;
    if (next != 0) {
      SetFocus(next);
    } else if (parent != 0) {
      SetFocus(parent);
    }
  }
  CancelHover();
}

void CButtonST::OnSysColorChange() {
  DropParentBackground();
  SetDefaultColors(FALSE);
  Invalidate();
}

void CButtonST::CancelHover() {
  if (flat_ && mouseOnButton_) {
    mouseOnButton_ = false;
    Invalidate();
  }
}

void CButtonST::OnMouseMove(UINT flags, POINT) {
  if ((flags & MK_LBUTTON) != 0 && !mouseOnButton_) return;
  if (!flat_) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  const HWND under = WindowFromPoint(cursor);
  if (under == m_hWnd && (alwaysTrack_ || GetActiveWindow() != 0)) {
    if (!mouseOnButton_) {
      mouseOnButton_ = true;
      Invalidate();
      PlayButtonSound(hoverSound_);
      TRACKMOUSEEVENT track{};
      track.cbSize = sizeof track;
      track.dwFlags = TME_LEAVE;
      track.hwndTrack = m_hWnd;
      _TrackMouseEvent(&track);
    }
  } else {
    CancelHover();
  }
}

void CButtonST::OnClicked() {
  SetFocus(m_hWnd);
  PlayButtonSound(clickSound_);
  if (isCheckBox_) {
    checked_ = !checked_;
    Invalidate();
    return;
  }
  if (menu_.GetSafeHmenu() != 0) {
    CMenu* popup = menu_.GetSubMenu(0);
    menuShown_ = true;
    Invalidate();
    if (menuCallbackWindow_ != 0 && popup != nullptr) {
      ::SendMessageA(menuCallbackWindow_, menuCallbackMessage_, static_cast<WPARAM>(popup->GetSafeHmenu()),
                     menuCallbackParameter_);
    }
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    const BOOL command =
        popup != nullptr ? TrackPopupMenu(popup->GetSafeHmenu(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD,
                                          window.left, window.bottom, 0, m_hWnd, nullptr)
                         : 0;
    menuShown_ = false;
    Invalidate();
    if (command != 0 && menuCommandWindow_ != 0) ::PostMessageA(menuCommandWindow_, WM_COMMAND, MAKELONG(static_cast<WORD>(command), 0), 0);
    return;
  }
  if (url_[0] != '\0') {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = 0;
    info.lpVerb = "open";
    info.lpFile = url_.data();
    info.nShow = SW_SHOWMAXIMIZED;
    ShellExecuteExA(&info);
  }
}

void CButtonST::PlayButtonSound(const Sound& sound) const {
  if (sound.name[0] != '\0') PlaySoundA(sound.name.data(), sound.module, sound.flags);
}

void CButtonST::InitToolTip() {
  if (toolTip_.GetSafeHwnd() != 0 || m_hWnd == 0) return;
  const RECT none{};
  toolTip_.Create("", toolTipStyle_, none, this, 0);
  toolTip_.Activate(FALSE);
  toolTip_.SetMaxTipWidth(kToolTipMaxWidth);
}

// --- drawing ----------------------------------------------------------------

void CButtonST::DrawItem(DRAWITEMSTRUCT* draw) {
  if (draw == nullptr) return;
  const HDC dc = draw->hDC;
  const UINT state = draw->itemState;
  if (!showPressed_) {
    pressed_ = false;
  } else if (isCheckBox_) {
    pressed_ = (state & ODS_SELECTED) != 0 || checked_;
  } else {
    pressed_ = (state & ODS_SELECTED) != 0 || menuShown_;
  }
  focused_ = (state & ODS_FOCUS) != 0;
  disabled_ = (state & ODS_DISABLED) != 0;

  RECT item = draw->rcItem;
  SetBkMode(dc, TRANSPARENT);
  if (drawTransparent_) {
    PaintBackground(dc, item);
  } else {
    RECT background = item;
    DrawButtonBackground(dc, &background);
  }
  RECT border = item;
  DrawButtonBorder(dc, &border);

  std::string title;
  GetWindowText(title);
  RECT caption = item;
  const bool hasTitle = !title.empty();
  if (icons_[0].icon != 0) {
    DrawButtonIcon(dc, hasTitle, item, &caption, pressed_, disabled_);
  } else if (bitmaps_[0].bitmap != 0) {
    SetBkColor(dc, RGB(255, 255, 255));
    DrawButtonBitmap(dc, hasTitle, item, &caption, pressed_, disabled_);
  }
  // A picture that fills the button leaves its caption no room: the caption
  // would only be drawn over the picture.
  if (hasTitle && caption.right > caption.left) DrawButtonText(dc, caption, title.c_str(), pressed_, disabled_);

  if (focused_ && (!flat_ || drawFlatFocus_)) {
    RECT focus = item;
    Inset(focus, kFocusInset);
    DrawFocusRect(dc, &focus);
  }
}

void CButtonST::PaintBackground(HDC dc, const RECT& item) {
  const HWND parent = ::GetParent(m_hWnd);
  const LONG w = Width(item);
  const LONG h = Height(item);
  if (parentBackgroundDC_ == 0 && parent != 0) {
    // Taken once: the parent's area under the button.
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    POINT corner{window.left, window.top};
    ScreenToClient(parent, &corner);
    const HDC parentDC = ::GetDC(parent);
    if (parentDC != 0) {
      parentBackgroundDC_ = CreateCompatibleDC(parentDC);
      parentBackgroundBitmap_ = CreateCompatibleBitmap(parentDC, w, h);
      if (parentBackgroundDC_ != 0 && parentBackgroundBitmap_ != 0) {
        parentBackgroundOld_ = SelectObject(parentBackgroundDC_, parentBackgroundBitmap_);
        BitBlt(parentBackgroundDC_, 0, 0, w, h, parentDC, corner.x, corner.y, SRCCOPY);
      } else {
        DropParentBackground();
      }
      ::ReleaseDC(parent, parentDC);
    }
  }
  if (parentBackgroundDC_ != 0) BitBlt(dc, item.left, item.top, w, h, parentBackgroundDC_, 0, 0, SRCCOPY);
}

void CButtonST::DropParentBackground() {
  if (parentBackgroundDC_ != 0) {
    if (parentBackgroundOld_ != 0) SelectObject(parentBackgroundDC_, parentBackgroundOld_);
    DeleteDC(parentBackgroundDC_);
  }
  if (parentBackgroundBitmap_ != 0) DeleteObject(parentBackgroundBitmap_);
  parentBackgroundDC_ = 0;
  parentBackgroundBitmap_ = 0;
  parentBackgroundOld_ = 0;
}

DWORD CButtonST::DrawButtonBackground(HDC dc, RECT* rect) {
  if (!flat_ && (focused_ || isDefault_)) {
    Frame(dc, *rect, RGB(0, 0, 0));
    Inset(*rect, 1);
  }
  const COLORREF colour = mouseOnButton_ || pressed_ ? colours_[BTNST_COLOR_BK_IN]
                          : focused_                 ? colours_[BTNST_COLOR_BK_FOCUS]
                                                     : colours_[BTNST_COLOR_BK_OUT];
  FillSolid(dc, *rect, colour);
  return BTNST_OK;
}

DWORD CButtonST::DrawButtonBorder(HDC dc, RECT* rect) {
  const RECT& r = *rect;
  if (pressed_) {
    if (flat_) {
      if (drawBorder_) Draw3dRect(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHILIGHT));
    } else {
      Frame(dc, r, GetSysColor(COLOR_BTNSHADOW));
    }
    return BTNST_OK;
  }
  if (!flat_) {
    Line(dc, GetSysColor(COLOR_BTNHILIGHT), {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}});
    Line(dc, GetSysColor(COLOR_3DLIGHT), {{r.left + 1, r.bottom - 1}, {r.left + 1, r.top + 1}, {r.right, r.top + 1}});
    Line(dc, GetSysColor(COLOR_3DDKSHADOW), {{r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}});
    Line(dc, GetSysColor(COLOR_BTNSHADOW), {{r.left + 1, r.bottom - 2}, {r.right - 2, r.bottom - 2}, {r.right - 2, r.top}});
  } else if (mouseOnButton_ && drawBorder_) {
    Draw3dRect(dc, r, GetSysColor(COLOR_BTNHILIGHT), GetSysColor(COLOR_BTNSHADOW));
  }
  return BTNST_OK;
}

ButtonImageLayoutInput CButtonST::LayoutFor(bool hasTitle, const RECT& item, bool pressed, SIZE image) const {
  ButtonImageLayoutInput in;
  in.align = static_cast<ButtonImageAlign>(align_);
  in.hasCaption = hasTitle;
  in.item = item;
  GetClientRect(m_hWnd, &in.clientRect);
  in.image = image;
  in.origin = imageOrigin_;
  if (pressed && !isCheckBox_) in.shift = pressedOffset_;
  return in;
}

void CButtonST::DrawButtonIcon(HDC dc, bool hasTitle, const RECT& item, RECT* caption, bool pressed, bool disabled) {
  const Icon& icon = icons_[ChosenImage(icons_[1].icon != 0)];
  const ButtonImageLayout layout = LayOutButtonImage(
      LayoutFor(hasTitle, item, pressed, SIZE{static_cast<LONG>(icon.width), static_cast<LONG>(icon.height)}), *caption);
  *caption = layout.caption;
  DrawStateA(dc, 0, nullptr, static_cast<LPARAM>(icon.icon), 0, layout.imageTopLeft.x, layout.imageTopLeft.y,
             static_cast<int>(icon.width), static_cast<int>(icon.height),
             DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
}

int CButtonST::ChosenImage(bool hasSecond) const {
  if (!hasSecond) return 0;
  if (isCheckBox_) return pressed_ ? 0 : 1;
  return mouseOnButton_ || pressed_ ? 0 : 1;
}

void CButtonST::DrawButtonBitmap(HDC dc, bool hasTitle, const RECT& item, RECT* caption, bool pressed, bool disabled) {
  const Bitmap& bitmap = bitmaps_[ChosenImage(bitmaps_[1].bitmap != 0)];
  const int w = static_cast<int>(bitmap.width);
  const int h = static_cast<int>(bitmap.height);
  const ButtonImageLayout layout = LayOutButtonImage(LayoutFor(hasTitle, item, pressed, SIZE{w, h}), *caption);
  *caption = layout.caption;
  const int x = layout.imageTopLeft.x;
  const int y = layout.imageTopLeft.y;

  const HDC bitmapDC = CreateCompatibleDC(dc);
  const HDC maskDC = CreateCompatibleDC(dc);
  if (bitmapDC == 0 || maskDC == 0) {
    if (bitmapDC != 0) DeleteDC(bitmapDC);
    if (maskDC != 0) DeleteDC(maskDC);
    return;
  }
  const HGDIOBJ oldBitmap = SelectObject(bitmapDC, bitmap.bitmap);
  const HGDIOBJ oldMask = SelectObject(maskDC, bitmap.mask);
  if (disabled && disabledEmbossed_) {
    const HDC workDC = CreateCompatibleDC(dc);
    const HBITMAP work = CreateCompatibleBitmap(dc, w, h);
    if (workDC != 0 && work != 0) {
      const HGDIOBJ oldWork = SelectObject(workDC, work);
      PatBlt(workDC, 0, 0, w, h, WHITENESS);
      SetBkColor(workDC, RGB(255, 255, 255));
      BitBlt(workDC, 0, 0, w, h, maskDC, 0, 0, SRCAND);
      BitBlt(workDC, 0, 0, w, h, bitmapDC, 0, 0, SRCPAINT);
      SelectObject(workDC, oldWork);
      DrawStateA(dc, 0, nullptr, static_cast<LPARAM>(work), 0, x, y, w, h, DST_BITMAP | DSS_DISABLED);
    }
    if (work != 0) DeleteObject(work);
    if (workDC != 0) DeleteDC(workDC);
  } else {
    BitBlt(dc, x, y, w, h, maskDC, 0, 0, SRCAND);
    BitBlt(dc, x, y, w, h, bitmapDC, 0, 0, SRCPAINT);
  }
  SelectObject(maskDC, oldMask);
  SelectObject(bitmapDC, oldBitmap);
  DeleteDC(maskDC);
  DeleteDC(bitmapDC);
}

void CButtonST::DrawButtonText(HDC dc, const RECT& captionIn, const char* title, bool pressed, bool disabled) {
  RECT caption = captionIn;
  if (pressed && !isCheckBox_) Offset(caption, pressedOffset_.x, pressedOffset_.y);
  const RECT centre = caption;
  DrawTextA(dc, title, -1, &caption, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
  Offset(caption, (Width(centre) - Width(caption)) / 2, (Height(centre) - Height(caption)) / 2);
  SetBkMode(dc, TRANSPARENT);
  if (disabled) {
    Offset(caption, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawTextA(dc, title, -1, &caption, DT_WORDBREAK | DT_CENTER);
    Offset(caption, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
    DrawTextA(dc, title, -1, &caption, DT_WORDBREAK | DT_CENTER);
    return;
  }
  BYTE text = BTNST_COLOR_FG_OUT;
  BYTE back = BTNST_COLOR_BK_OUT;
  if (mouseOnButton_ || pressed) {
    text = BTNST_COLOR_FG_IN;
    back = BTNST_COLOR_BK_IN;
  } else if (focused_) {
    text = BTNST_COLOR_FG_FOCUS;
    back = BTNST_COLOR_BK_FOCUS;
  }
  SetTextColor(dc, colours_[text]);
  SetBkColor(dc, colours_[back]);
  DrawTextA(dc, title, -1, &caption, DT_WORDBREAK | DT_CENTER);
}

// --- images -----------------------------------------------------------------

void CButtonST::FreeResources() {
  for (Icon& icon : icons_) {
    if (icon.icon != 0) DeleteObject(icon.icon);
    icon = Icon{};
  }
  for (Bitmap& bitmap : bitmaps_) {
    if (bitmap.bitmap != 0) DeleteObject(bitmap.bitmap);
    if (bitmap.mask != 0) DeleteObject(bitmap.mask);
    bitmap = Bitmap{};
  }
  ShowImageHandles();
}

void CButtonST::ShowImageHandles() {
  // What BM_GETIMAGE answers (the automation tells the resource shown).
  CButton::WindowProc(BM_SETIMAGE, IMAGE_BITMAP, static_cast<LPARAM>(bitmaps_[0].bitmap));
  CButton::WindowProc(BM_SETIMAGE, IMAGE_ICON, static_cast<LPARAM>(icons_[0].icon));
}

DWORD CButtonST::SetBitmaps(HBITMAP bitmapIn, COLORREF transparentIn, HBITMAP bitmapOut, COLORREF transparentOut) {
  FreeResources();
  if (bitmapIn != 0) {
    if (const DWORD failed = StoreBitmap(bitmaps_[0], bitmapIn, transparentIn); failed != BTNST_OK) {
      FreeResources();
      return failed;
    }
    HBITMAP second = bitmapOut;
    COLORREF secondTransparent = transparentOut;
    if (bitmapOut == kBitmapGreyCopy || bitmapOut == kBitmapDarkerCopy) {
      // The stand-in values are never handles: the copy replaces them, or nothing does.
      const Bitmap& first = bitmaps_[0];
      second = bitmapOut == kBitmapGreyCopy
                   ? CreateGrayscaleBitmap(first.bitmap, first.width, first.height, first.transparent)
                   : CreateDarkerBitmap(first.bitmap, first.width, first.height, first.transparent);
      secondTransparent = first.transparent;
    }
    if (second != 0) {
      if (const DWORD failed = StoreBitmap(bitmaps_[1], second, secondTransparent); failed != BTNST_OK) {
        FreeResources();
        return failed;
      }
    }
  }
  ShowImageHandles();
  Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::StoreBitmap(Bitmap& slot, HBITMAP bitmap, COLORREF transparent) {
  slot.bitmap = bitmap;
  slot.transparent = transparent;
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof info, &info) == 0) return BTNST_INVALIDRESOURCE;
  slot.width = static_cast<DWORD>(info.bmWidth);
  slot.height = static_cast<DWORD>(info.bmHeight);
  slot.mask = CreateBitmapMask(bitmap, slot.width, slot.height, transparent);
  return slot.mask != 0 ? BTNST_OK : BTNST_FAILEDMASK;
}

void CButtonST::SetBitmapResource(UINT resourceId, COLORREF transparent) {
  const HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(resourceId)),
                                      IMAGE_BITMAP, 0, 0, 0));
  SetBitmaps(bitmap, transparent);
}

DWORD CButtonST::SetIcon(HICON iconIn, HICON iconOut) {
  FreeResources();
  const std::array<HICON, 2> given{iconIn, iconOut};
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (given[i] == 0) continue;
    icons_[i].icon = given[i];
    // An icon is drawn as the bitmap it names.
    BITMAP size{};
    if (GetObjectA(given[i], sizeof size, &size) == 0) {
      FreeResources();
      return BTNST_INVALIDRESOURCE;
    }
    icons_[i].width = static_cast<DWORD>(size.bmWidth);
    icons_[i].height = static_cast<DWORD>(size.bmHeight);
  }
  ShowImageHandles();
  Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::SetImageAlignment(BYTE align, BOOL repaint) {
  if (align >= kButtonImageAlignCount) return BTNST_INVALIDALIGN;
  align_ = align;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

void CButtonST::SizeToContent() {
  SIZE size{};
  if (icons_[0].icon != 0) {
    size = SIZE{static_cast<LONG>(icons_[0].width), static_cast<LONG>(icons_[0].height)};
  } else if (bitmaps_[0].bitmap != 0) {
    size = SIZE{static_cast<LONG>(bitmaps_[0].width), static_cast<LONG>(bitmaps_[0].height)};
  } else {
    return;
  }
  imageOrigin_ = POINT{0, 0};
  SetWindowPos(m_hWnd, 0, -1, -1, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

// --- colours and looks --------------------------------------------------------

DWORD CButtonST::SetColor(BYTE index, COLORREF colour, BOOL repaint) {
  if (index >= BTNST_MAX_COLORS) return BTNST_INVALIDINDEX;
  colours_[index] = colour;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::GetColor(BYTE index, COLORREF* colour) const {
  if (index >= BTNST_MAX_COLORS || colour == nullptr) return BTNST_INVALIDINDEX;
  *colour = colours_[index];
  return BTNST_OK;
}

DWORD CButtonST::SetDefaultColors(BOOL repaint) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF text = GetSysColor(COLOR_BTNTEXT);
  colours_[BTNST_COLOR_BK_IN] = face;
  colours_[BTNST_COLOR_FG_IN] = text;
  colours_[BTNST_COLOR_BK_OUT] = face;
  colours_[BTNST_COLOR_FG_OUT] = text;
  colours_[BTNST_COLOR_BK_FOCUS] = face;
  colours_[BTNST_COLOR_FG_FOCUS] = text;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::SetFlat(BOOL flat, BOOL repaint) {
  flat_ = flat != FALSE;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::SetAlwaysTrack(BOOL alwaysTrack) {
  alwaysTrack_ = alwaysTrack != FALSE;
  return BTNST_OK;
}

DWORD CButtonST::DrawBorder(BOOL enable, BOOL repaint) {
  drawBorder_ = enable != FALSE;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::DrawFlatFocus(BOOL drawFlatFocus, BOOL repaint) {
  drawFlatFocus_ = drawFlatFocus != FALSE;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::DrawTransparent(BOOL repaint) {
  drawTransparent_ = true;
  DropParentBackground();
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::SetPressedStyle(BOOL showPressed, BOOL repaint) {
  showPressed_ = showPressed != FALSE;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::SetCheck(int check, BOOL repaint) {
  if (!isCheckBox_) return BTNST_OK;
  checked_ = check != 0;
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

// --- behaviour --------------------------------------------------------------

DWORD CButtonST::SetURL(const char* url) {
  CopyText(url_, url);
  return BTNST_OK;
}

DWORD CButtonST::SetMenu(UINT menuId, HWND commandWindow, BOOL repaint) {
  menu_.DestroyMenu();
  menuCommandWindow_ = commandWindow;
  if (menuId != 0 && menu_.LoadMenu(menuId) == FALSE) {
    menu_.DestroyMenu();
    if (repaint != FALSE) Invalidate();
    return BTNST_INVALIDRESOURCE;
  }
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

DWORD CButtonST::SetMenuCallback(HWND window, UINT message, LPARAM parameter) {
  menuCallbackWindow_ = window;
  menuCallbackMessage_ = message;
  menuCallbackParameter_ = parameter;
  return BTNST_OK;
}

DWORD CButtonST::SetSound(const char* sound, HMODULE module, BOOL forPressed) {
  Sound& slot = forPressed != FALSE ? clickSound_ : hoverSound_;
  CopyText(slot.name, sound);
  slot.module = module;
  slot.flags = SND_ASYNC | SND_NODEFAULT | (module != nullptr ? SND_RESOURCE : SND_FILENAME);
  return BTNST_OK;
}

DWORD CButtonST::SetBtnCursor(UINT cursorId, BOOL repaint) {
  if (cursor_ != 0) DestroyCursor(cursor_);
  cursor_ = 0;
  if (cursorId != 0) {
    cursor_ = static_cast<HCURSOR>(LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(cursorId)),
                                              IMAGE_CURSOR, 0, 0, 0));
    if (cursor_ == 0) cursor_ = LoadCursorA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(cursorId)));
    if (cursor_ == 0) {
      if (repaint != FALSE) Invalidate();
      return BTNST_INVALIDRESOURCE;
    }
  }
  if (repaint != FALSE) Invalidate();
  return BTNST_OK;
}

void CButtonST::SetTooltipText(const char* text, BOOL activate) {
  if (text == nullptr) return;
  InitToolTip();
  toolTip_.AddTool(this, text);
  toolTip_.Activate(activate);
}

void CButtonST::ActivateTooltip(BOOL enable) {
  InitToolTip();
  toolTip_.Activate(enable);
}
