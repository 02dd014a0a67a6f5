// Message boxes as Qt message boxes. Internal to the display.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "win/display_hooks.h"

class QAbstractButton;
class QMessageBox;

namespace win::display {

// The box of a MessageBoxA call: its caption, text (code page 1252), the
// buttons and icon of `type` and the default button of MB_DEFBUTTONn.
std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption, UINT type);
// What the box answers: the button clicked (IDOK ... IDNO), or, closed
// without one, what Escape answers on that type.
int MessageBoxAnswer(const QMessageBox& box, UINT type);

// The messageBox hook: on the UI thread the box is modal and its answer
// returned; on any other thread it is handed to the UI thread to show and
// the default answer returned at once. Nullopt when no widget can be shown.
std::optional<int> ShowMessageBox(const Hooks& hooks, HWND owner, const std::string& text, const std::string& caption,
                                  UINT type, bool onUiThread);

}  // namespace win::display
