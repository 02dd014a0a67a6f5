#include "win/display/widget_support.h"

#include <QFontMetricsF>
#include <QSignalBlocker>
#include <algorithm>
#include <cstring>

#include "win/codepage.h"
#include "win/control_base.h"
#include "win/gdi.h"
#include "win/os_thread.h"
#include "win/qt_app.h"
#include "win/tooltip_ctrl.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace win::display {

namespace {

constexpr UINT kGetFont = 0x0031;  // WM_GETFONT

bool IsFieldMessage(UINT message) { return message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX; }

// The colours a control is painted in before its parent answers.
COLORREF DefaultText(UINT message) { return GetSysColor(IsFieldMessage(message) ? COLOR_WINDOWTEXT : COLOR_BTNTEXT); }
COLORREF DefaultBack(UINT message) { return GetSysColor(IsFieldMessage(message) ? COLOR_WINDOW : COLOR_BTNFACE); }

void SetActive(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
  palette.setColor(QPalette::Active, role, colour);
  palette.setColor(QPalette::Inactive, role, colour);
}

}  // namespace

QString FromModelText(std::string_view cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

std::string ToModelText(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

void TypeIntoModel(HWND control, const QString& text) {
  if (!IsWindow(control)) return;
  const std::string typed = ToModelText(text);
  SendMessageA(control, ControlTypeMessage(), 0, reinterpret_cast<LPARAM>(typed.c_str()));
}

QColor FromColorRef(COLORREF colour) { return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)); }

std::string WindowText(HWND hwnd) {
  std::string text(static_cast<std::size_t>(std::max(GetWindowTextLengthA(hwnd), 0)) + 1, '\0');
  text.resize(static_cast<std::size_t>(std::max(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size())), 0)));
  return text;
}

DWORD ModelStyle(HWND control) { return static_cast<DWORD>(SendMessageA(control, ControlStyleMessage(), 0, 0)); }

QString LabelWithoutMnemonic(std::string_view cp1252) {
  std::string shown;
  shown.reserve(cp1252.size());
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    if (cp1252[i] != '&') {
      shown += cp1252[i];
    } else if (i + 1 < cp1252.size() && cp1252[i + 1] == '&') {
      shown += '&';
      ++i;
    }
  }
  return FromModelText(shown);
}

std::optional<ControlColours> AskControlColours(HWND control, UINT message) {
  const HWND parent = ::GetParent(control);
  if (parent == 0 || GetWindowThreadProcessId(parent, nullptr) != GetCurrentThreadId()) {
    return PaintedControlColours(control);
  }
  const HDC dc = CreateCompatibleDC(0);
  if (dc == 0) return PaintedControlColours(control);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, DefaultText(message));
  SetBkColor(dc, DefaultBack(message));
  SetBkMode(dc, OPAQUE);
  const auto answered =
      static_cast<HBRUSH>(SendMessageA(parent, message, static_cast<WPARAM>(dc), static_cast<LPARAM>(control)));
  const ControlColours colours{message, GetTextColor(dc), GetBkColor(dc), GetBkMode(dc), answered};
  DeleteDC(dc);
  return colours;
}

std::optional<COLORREF> BrushColour(HBRUSH brush) {
  LOGBRUSH log;
  if (brush == 0 || GetObjectA(brush, sizeof log, &log) == 0) return std::nullopt;
  if (log.lbStyle == BS_NULL) return std::nullopt;
  return log.lbColor;
}

QFont ControlFont(HWND control) {
  LOGFONTA log = DefaultGuiLogFont();
  const auto font = static_cast<HFONT>(SendMessageA(control, kGetFont, 0, 0));
  LOGFONTA own;
  if (font != 0 && GetObjectA(font, sizeof own, &own) == sizeof own) log = own;
  QFont qfont = win::detail::MakeQFont(log);
  // On screen the desktop smooths the text as it does for every program.
  qfont.setStyleStrategy(QFont::PreferDefault);
  return qfont;
}

double DialogBaseUnitX(const QFont& font) {
  const QFontMetricsF metrics(font);
  const double average =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  return average > 0 ? average : 6.0;
}

QImage BitmapImage(HBITMAP bitmap) {
  BITMAP info;
  if (bitmap == 0 || GetObjectA(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) {
    return {};
  }
  BITMAPINFO header;
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = -info.bmHeight;  // top-down, as QImage keeps rows
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP section = CreateDIBSection(0, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section == 0 || bits == nullptr) {
    if (section != 0) DeleteObject(section);
    return {};
  }
  const HDC into = CreateCompatibleDC(0);
  const HDC from = CreateCompatibleDC(0);
  const HGDIOBJ intoBefore = SelectObject(into, section);
  const HGDIOBJ fromBefore = SelectObject(from, bitmap);
  BitBlt(into, 0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY);
  SelectObject(from, fromBefore);
  SelectObject(into, intoBefore);
  DeleteDC(from);
  DeleteDC(into);
  QImage image(info.bmWidth, info.bmHeight, QImage::Format_RGB32);
  const auto* source = static_cast<const unsigned char*>(bits);
  const std::size_t row = static_cast<std::size_t>(info.bmWidth) * 4;
  for (int y = 0; y < info.bmHeight; ++y) std::memcpy(image.scanLine(y), source + row * static_cast<std::size_t>(y), row);
  DeleteObject(section);
  return image;
}

ModelWidget::ModelWidget(HWND control, QWidget* widget, ColourRoles roles, bool keysAreTheModels)
    : ControlWidget(control), widget_(widget), roles_(roles) {
  widget->setProperty(kControlProperty, QVariant::fromValue<qulonglong>(control));
  basePalette_ = widget->palette();
  keys_ = std::make_unique<ControlKeys>(control, widget, keysAreTheModels);
}

ModelWidget::~ModelWidget() {
  // The filter goes first: nothing it watches may call it while it goes.
  keys_.reset();
  if (widget_ == nullptr) return;
  // The kind's part of this object is gone: nothing the widget's parts say
  // while they go may reach it.
  widget_->blockSignals(true);
  for (QObject* part : widget_->findChildren<QObject*>()) part->blockSignals(true);
  delete widget_.data();
}

UINT ModelWidget::ColourMessage() const { return WM_CTLCOLORSTATIC; }

void ModelWidget::WatchPart(QWidget* part) {
  if (keys_ != nullptr) keys_->Watch(part);
}

void ModelWidget::Resync() {
  if (!Alive() || !IsWindow(Control())) return;
  const QSignalBlocker block(widget_.data());
  SyncModel(kContent);
}

void ModelWidget::Sync(unsigned changes) {
  if (!Alive() || !IsWindow(Control())) return;
  if ((changes & (kCreated | kStyle)) != 0) widget_->setFont(ControlFont(Control()));
  if ((changes & kLookChanges) != 0 && roles_ != ColourRoles::kNone) SyncColours();
  if ((changes & (kCreated | kContent | kText)) != 0) SyncToolTip();
  if ((changes & ~(kMoved | kDestroyed)) == 0) return;
  const QSignalBlocker block(widget_.data());
  SyncModel(changes);
}

void ModelWidget::SyncColours() {
  const UINT message = ColourMessage();
  QPalette palette = basePalette_;
  bool fill = false;
  if (std::optional<ControlColours> colours = AskControlColours(Control(), message)) {
    const std::optional<COLORREF> back = BrushColour(colours->brush);
    const bool ownText = colours->brush != 0 || colours->text != DefaultText(message);
    const QColor text = FromColorRef(colours->text);
    switch (roles_) {
      case ColourRoles::kField:
        if (back) SetActive(palette, QPalette::Base, FromColorRef(*back));
        if (ownText) SetActive(palette, QPalette::Text, text);
        break;
      case ColourRoles::kLabel:
        if (back) {
          SetActive(palette, QPalette::Window, FromColorRef(*back));
          SetActive(palette, QPalette::Base, FromColorRef(*back));
          fill = true;
        }
        if (ownText) {
          SetActive(palette, QPalette::WindowText, text);
          SetActive(palette, QPalette::Text, text);
          SetActive(palette, QPalette::ButtonText, text);
        }
        break;
      case ColourRoles::kFrame:
        if (ownText) SetActive(palette, QPalette::WindowText, text);
        break;
      case ColourRoles::kNone:
        break;
    }
  }
  widget_->setPalette(palette);
  if (roles_ == ColourRoles::kLabel) widget_->setAutoFillBackground(fill);
}

void ModelWidget::SyncToolTip() {
  const HWND self = Control();
  for (const HWND sibling : win::detail::ChildrenOf(::GetParent(self))) {
    const auto* tip = dynamic_cast<const CToolTipCtrl*>(CWnd::FromHandle(sibling));
    if (tip == nullptr) continue;
    const std::string text = tip->GetToolText(self);
    if (!text.empty()) {
      widget_->setToolTip(tip->IsActive() ? FromModelText(text) : QString());
      return;
    }
  }
}

}  // namespace win::display
