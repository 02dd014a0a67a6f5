// One control of a window on screen as its Qt widget. Internal to the display.
// Made, synced and destroyed on the UI thread only; the control's model (win/)
// stays the truth: a sync reads it, a user's action goes back to it as the
// messages automation sends (click, select, type, keys).
#pragma once

#include <QWidget>
#include <memory>
#include <string_view>

#include "win/types.h"

namespace win::display {

class ControlWidget {
 public:
  explicit ControlWidget(HWND control) : control_(control) {}
  virtual ~ControlWidget() = default;
  ControlWidget(const ControlWidget&) = delete;
  ControlWidget& operator=(const ControlWidget&) = delete;

  HWND Control() const { return control_; }
  virtual QWidget* Widget() = 0;
  // Brings the widget to the model. `changes` holds the win::display::Change
  // bits that came since the last sync (every bit for the first). Position,
  // size, visibility and enabled state are set by the mirror, not here.
  virtual void Sync(unsigned changes) = 0;

 private:
  const HWND control_;
};

// The widget of a control of kind `kind` (CWnd::Kind: "edit", "button",
// "listbox" ...) as a child of `parent`; null for what shows its painted
// surface instead (owner-drawn controls, windows that paint themselves),
// which the mirror shows itself.
std::unique_ptr<ControlWidget> MakeControlWidget(HWND control, std::string_view kind, DWORD style, QWidget* parent);

}  // namespace win::display
