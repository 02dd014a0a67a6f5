#include "win/display/surface_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "win/codepage.h"
#include "win/display/mirror.h"
#include "win/key_input.h"
#include "win/keys.h"
#include "win/mouse.h"
#include "win/os_thread.h"
#include "win/sys_colors.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_surface.h"

namespace win::display {
namespace {

// The keys whose Qt code is not a letter, digit or function key.
constexpr std::array<std::pair<int, int>, 24> kNamedKeys{{
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},         {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},      {Qt::Key_PageUp, VK_PRIOR},    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},          {Qt::Key_Home, VK_HOME},       {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},            {Qt::Key_Right, VK_RIGHT},     {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Insert, VK_INSERT},    {Qt::Key_Delete, VK_DELETE},   {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},        {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
}};

std::optional<int> VirtualKeyOf(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + (key - Qt::Key_F1);
  for (const auto& [qt, vk] : kNamedKeys) {
    if (qt == key) return vk;
  }
  return std::nullopt;
}

}  // namespace

void PaintSurface(QWidget& widget, HWND hwnd, const QRect& area) {
  // Only the owner thread paints a picture: another thread's is not read while it may be drawn on.
  std::shared_ptr<QImage> picture;
  if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) picture = win::detail::ExistingWindowSurface(hwnd);
  QPainter painter(&widget);
  if (!picture) {
    // Not painted yet: the dialog face, as the window is erased with by default.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    painter.fillRect(area, QColor(GetRValue(face), GetGValue(face), GetBValue(face)));
    return;
  }
  painter.drawImage(area, *picture, area);
}

void ForwardMouse(Mirror& mirror, HWND hwnd, const QMouseEvent& event, MouseAct act) {
  const QPoint local = event.position().toPoint();
  const bool right = event.button() == Qt::RightButton;
  if (act != MouseAct::kMove && event.button() != Qt::LeftButton && !right) return;
  mirror.Later([hwnd, local, right, act] {
    if (!IsWindow(hwnd)) return;
    POINT at{local.x(), local.y()};
    ClientToScreen(hwnd, &at);
    win::MouseMoveTo(at);
    if (act == MouseAct::kPress) right ? win::MouseRightDown() : win::MouseLeftDown();
    if (act == MouseAct::kRelease) right ? win::MouseRightUp() : win::MouseLeftUp();
  });
}

bool ForwardKey(Mirror& mirror, const QKeyEvent& event, bool down) {
  const std::optional<int> vk = VirtualKeyOf(event.key());
  const std::string typed = down ? Utf8ToCp1252(event.text().toStdString()) : std::string();
  if (!vk && typed.empty()) return false;
  mirror.Later([vk, typed, down] {
    if (vk) win::DeliverKey(*vk, down);
    for (char ch : typed) win::DeliverChar(static_cast<unsigned char>(ch));
  });
  return true;
}

SurfaceWidget::SurfaceWidget(HWND hwnd, Mirror& mirror, QWidget* parent)
    : QWidget(parent), hwnd_(hwnd), mirror_(mirror) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
}

void SurfaceWidget::paintEvent(QPaintEvent* event) { PaintSurface(*this, hwnd_, event->rect()); }

void SurfaceWidget::mousePressEvent(QMouseEvent* event) { ForwardMouse(mirror_, hwnd_, *event, MouseAct::kPress); }

// The model's driver tells a double click from two presses itself.
void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  ForwardMouse(mirror_, hwnd_, *event, MouseAct::kPress);
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* event) { ForwardMouse(mirror_, hwnd_, *event, MouseAct::kMove); }

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
  ForwardMouse(mirror_, hwnd_, *event, MouseAct::kRelease);
}

void SurfaceWidget::keyPressEvent(QKeyEvent* event) {
  if (!ForwardKey(mirror_, *event, true)) QWidget::keyPressEvent(event);
}

void SurfaceWidget::keyReleaseEvent(QKeyEvent* event) {
  if (!ForwardKey(mirror_, *event, false)) QWidget::keyReleaseEvent(event);
}

}  // namespace win::display
