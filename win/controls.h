// The dialog controls: static, picture, edit, buttons (push, check box, radio,
// owner-drawn and bitmap), list box, combo box, list view, IP address and tab
// control; the rich edit comes with win/richedit.h.
#pragma once

#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/dialog_items.h"
#include "win/edit_ctrl.h"
#include "win/ipaddress_ctrl.h"
#include "win/listbox_ctrl.h"
#include "win/listview_ctrl.h"
#include "win/richedit.h"
#include "win/static_ctrl.h"
#include "win/tab_ctrl.h"
