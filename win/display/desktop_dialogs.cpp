#include "win/display/desktop_dialogs.h"

namespace win::display {

void AddDesktopDialogHooks(Hooks&) {}

}  // namespace win::display
