// The desktop's file dialog for the common open and save dialogs. Internal
// to the display.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QStringList>

#include "win/display_hooks.h"

namespace win::display {

// The class library's filter ("Text (*.txt)|*.txt|All (*.*)|*.*||") as Qt's
// name filters ("Text (*.txt)", "All (*)"): the patterns of each pair in
// the description's parentheses, "*.*" as "*" (any file, as on Windows).
// A pair without a pattern is left out.
QStringList QtNameFilters(std::string_view filter);

// The fileDialog hook: modal on the UI thread; the path chosen, "" when
// cancelled, nullopt off the UI thread or when no widget can be shown.
std::optional<std::string> ShowFileDialog(const Hooks& hooks, const FileDialogAsk& ask);

}  // namespace win::display
