#include "win/display/desktop_dialogs.h"

#include "win/display/desktop_file_dialog.h"
#include "win/display/desktop_message_box.h"
#include "win/display/desktop_popup_menu.h"

namespace win::display {

// The hooks read the set registered at the time of the call: its UI thread,
// wait and wake are the display's own.
void AddDesktopDialogHooks(Hooks& hooks) {
  hooks.messageBox = [](HWND owner, const std::string& text, const std::string& caption, UINT type,
                        bool onUiThread) -> std::optional<int> {
    const Hooks* current = CurrentHooks();
    if (current == nullptr) return std::nullopt;
    return ShowMessageBox(*current, owner, text, caption, type, onUiThread);
  };
  hooks.fileDialog = [](const FileDialogAsk& ask) -> std::optional<std::string> {
    const Hooks* current = CurrentHooks();
    if (current == nullptr) return std::nullopt;
    return ShowFileDialog(*current, ask);
  };
  hooks.popupMenu = [](const MenuSnapshot& menu, int x, int y, HWND owner) -> std::optional<UINT> {
    const Hooks* current = CurrentHooks();
    if (current == nullptr) return std::nullopt;
    return ShowPopupMenu(*current, menu, x, y, owner);
  };
}

}  // namespace win::display
