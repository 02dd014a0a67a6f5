#include "win/display/desktop_popup_menu.h"

#include <QAction>
#include <QMenu>
#include <memory>

#include "win/codepage.h"
#include "win/display/desktop_modal.h"
#include "win/os_thread.h"

namespace win::display {

namespace {

// Popups nest a few levels; the snapshot is bounded the same way.
constexpr int kMaxDepth = 16;

bool Grayed(const MenuItemSnapshot& item) { return (item.flags & (MF_GRAYED | MF_DISABLED)) != 0; }

QString ItemText(const MenuItemSnapshot& item) { return QString::fromStdString(Cp1252ToUtf8(item.text)); }

void Fill(QMenu& menu, const std::vector<MenuItemSnapshot>& items, int depth) {
  for (const MenuItemSnapshot& item : items) {
    if ((item.flags & MF_SEPARATOR) != 0) {
      menu.addSeparator();
    } else if ((item.flags & MF_POPUP) != 0) {
      QMenu* sub = menu.addMenu(ItemText(item));
      sub->setEnabled(!Grayed(item));
      if (depth < kMaxDepth) Fill(*sub, item.popup, depth + 1);
    } else {
      QAction* action = menu.addAction(ItemText(item));
      action->setData(static_cast<uint>(item.id));
      action->setEnabled(!Grayed(item));
      if ((item.flags & MF_CHECKED) != 0) {
        action->setCheckable(true);
        action->setChecked(true);
      }
    }
  }
}

}  // namespace

void FillQMenu(QMenu& menu, const std::vector<MenuItemSnapshot>& items) { Fill(menu, items, 0); }

std::optional<UINT> ShowPopupMenu(const Hooks& hooks, const MenuSnapshot& snapshot, int x, int y, HWND) {
  if (GetCurrentThreadId() != hooks.uiThread || !WidgetsUsable()) return std::nullopt;
  UINT chosen = 0;
  bool hidden = false;
  auto menu = std::make_unique<QMenu>();
  FillQMenu(*menu, snapshot.items);
  // An action is triggered after its menu hides, in the same event: the loop
  // looks at `hidden` only once that event is done.
  QObject::connect(menu.get(), &QMenu::triggered, [&chosen](QAction* action) { chosen = action->data().toUInt(); });
  QObject::connect(menu.get(), &QMenu::aboutToHide, [&hidden, &hooks] {
    hidden = true;
    WakeModalLoop(hooks);
  });
  menu->popup(QPoint(x, y));
  RunModalLoop(hooks, [&hidden] { return hidden; });
  return chosen;
}

}  // namespace win::display
