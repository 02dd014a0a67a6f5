// The keys the small forms take as commands: TAB, ENTER and ESC pressed in
// one of their controls arrive as WM_COMMAND with the key code as the id, and
// code 0 selects all text of the control named by lParam.
#pragma once

#include "win/dialog.h"

namespace form_key {
inline constexpr UINT kSelectAll = 0;
inline constexpr UINT kTab = 9;
inline constexpr UINT kEnter = 13;
inline constexpr UINT kEscape = 27;
}  // namespace form_key

// TAB, ENTER or ESC pressed in a control of `dialog` goes to its OnCommand as
// the key code; true when it went there.
bool ForwardFormKey(CDialog& dialog, const MSG* msg);
// A key code command: 0 selects the text of control lParam, TAB moves the
// focus to the next tab item (the previous one with SHIFT), ENTER is OnOK and
// ESC OnCancel. False for any other command.
bool TakeFormKeyCommand(CDialog& dialog, WPARAM wParam, LPARAM lParam);
