#include "win/display/mirror.h"

#include <algorithm>
#include <optional>

#include "win/codepage.h"
#include "win/dialog_items.h"
#include "win/display/surface_widget.h"
#include "win/display/window_widget.h"
#include "win/display_hooks.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_registry.h"
#include "win/window_surface.h"

namespace win::display {
namespace {

constexpr unsigned kEverything = kCreated | kShown | kEnabled | kMoved | kText | kContent | kPainted | kStyle;

struct ModelState {
  HWND parent = 0;
  UINT templateId = 0;
  bool visible = false;
  bool enabled = true;
  std::string kind;
  std::string text;
};

// Read under the window's state lock, as automation reads it: never waits on the owner thread.
std::optional<ModelState> Read(HWND hwnd) {
  win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  if (!slot) return std::nullopt;
  std::lock_guard state(slot->stateMutex);
  if (slot->window == nullptr) return std::nullopt;
  ModelState model;
  model.parent = slot->parent;
  model.templateId = slot->templateId;
  model.visible = slot->visible;
  model.enabled = slot->enabled;
  model.kind = std::string(slot->window->Kind());
  std::optional<std::string> content = slot->window->ContentText();
  model.text = content ? std::move(*content) : slot->caption;
  return model;
}

// A dialog, even one with an owner, is a window of its own on the screen.
bool IsTopLevel(const ModelState& model) { return model.parent == 0 || model.templateId != 0; }

// A top-level window's client area on the screen, a child's in its parent's.
QRect Geometry(HWND hwnd, const ModelState& model) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  if (!IsTopLevel(model)) {
    POINT origin{};
    ClientToScreen(model.parent, &origin);
    r = RECT{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
  }
  return QRect(r.left, r.top, std::max(0, r.right - r.left), std::max(0, r.bottom - r.top));
}

}  // namespace

Mirror::Mirror(bool onScreen, std::function<void()> wake) : onScreen_(onScreen), wake_(std::move(wake)) {}

Mirror::~Mirror() { Clear(); }

void Mirror::Clear() {
  {
    std::lock_guard lock(mutex_);
    pending_.clear();
  }
  later_.clear();
  mayDelete_ = true;
  std::vector<HWND> tops;
  for (const auto& [hwnd, entry] : entries_) {
    if (entry.parent == 0) tops.push_back(hwnd);
  }
  for (HWND top : tops) Remove(top);
  for (Entry& entry : graveyard_) Destroy(entry);
  graveyard_.clear();
}

void Mirror::Destroy(Entry& entry) {
  entry.control.reset();
  delete entry.widget.data();
}

void Mirror::Record(HWND hwnd, unsigned changes) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    pending_[hwnd] |= changes;
    first = !scheduled_;
    scheduled_ = true;
  }
  if (first && wake_) wake_();
}

void Mirror::Sync() {
  if (syncing_) return;  // a control's own sync that changes a model
  if (mayDelete_ && !graveyard_.empty()) {
    std::vector<Entry> gone;
    gone.swap(graveyard_);
    for (Entry& entry : gone) Destroy(entry);
  }
  std::unordered_map<HWND, unsigned> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
    scheduled_ = false;
  }
  if (batch.empty()) return;
  ++syncs_;
  syncing_ = true;
  // Handles grow with creation: a parent comes before its children.
  std::vector<std::pair<HWND, unsigned>> ordered(batch.begin(), batch.end());
  std::sort(ordered.begin(), ordered.end());
  for (const auto& [hwnd, changes] : ordered) {
    std::optional<ModelState> model = Read(hwnd);
    if (!model || (changes & kDestroyed) != 0) {
      Remove(hwnd);
      continue;
    }
    auto it = entries_.find(hwnd);
    if (it != entries_.end()) {
      if ((changes & kStyle) != 0 && it->second.kind != model->kind && it->second.parent != 0) {
        // Another kind now (a button made a check box): another widget.
        Remove(hwnd);
        MakeChild(hwnd);
        continue;
      }
      Apply(it->second, changes);
      continue;
    }
    if (IsTopLevel(*model)) {
      if (onScreen_ && model->visible) Build(hwnd);
    } else if (entries_.count(model->parent) != 0) {
      MakeChild(hwnd);
    }
  }
  syncing_ = false;
}

void Mirror::Later(std::function<void()> action) { later_.push_back(std::move(action)); }

void Mirror::RunLater() {
  std::vector<std::function<void()>> actions;
  actions.swap(later_);
  for (const auto& action : actions) action();
}

QWidget* Mirror::WindowWidgetOf(HWND top) {
  Sync();
  auto it = entries_.find(top);
  if (it == entries_.end()) {
    std::optional<ModelState> model = Read(top);
    if (!model || !IsTopLevel(*model)) return nullptr;
    const bool was = syncing_;
    syncing_ = true;
    Build(top);
    syncing_ = was;
    it = entries_.find(top);
  }
  return it != entries_.end() ? it->second.widget.data() : nullptr;
}

void Mirror::Forget(HWND top) { Remove(top); }

QWidget* Mirror::WidgetOf(HWND hwnd) const {
  auto it = entries_.find(hwnd);
  return it != entries_.end() ? it->second.widget.data() : nullptr;
}

void Mirror::Build(HWND top) {
  std::optional<ModelState> model = Read(top);
  if (!model) return;
  Entry entry;
  entry.hwnd = top;
  entry.kind = model->kind;
  entry.widget = new WindowWidget(top, *this);
  Entry& made = entries_[top] = std::move(entry);
  BuildChildren(top);
  Apply(made, kEverything);
}

void Mirror::BuildChildren(HWND parent) {
  for (HWND child : win::detail::ChildrenOf(parent)) {
    std::optional<ModelState> model = Read(child);
    if (model && !IsTopLevel(*model) && entries_.count(child) == 0) MakeChild(child);
  }
}

void Mirror::MakeChild(HWND hwnd) {
  std::optional<ModelState> model = Read(hwnd);
  if (!model) return;
  auto parent = entries_.find(model->parent);
  if (parent == entries_.end() || parent->second.widget == nullptr) return;
  QWidget* parentWidget = parent->second.widget.data();
  Entry entry;
  entry.hwnd = hwnd;
  entry.parent = model->parent;
  entry.kind = model->kind;
  const auto style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
  entry.control = MakeControlWidget(hwnd, model->kind, style, parentWidget);
  if (entry.control) {
    entry.widget = entry.control->Widget();
  } else {
    entry.widget = new SurfaceWidget(hwnd, *this, parentWidget);
  }
  if (entry.widget == nullptr) return;
  // The first control made lies on top, as in the dialog's z-order.
  entry.widget->lower();
  Entry& made = entries_[hwnd] = std::move(entry);
  Apply(made, kEverything);
  BuildChildren(hwnd);
}

void Mirror::Apply(Entry& entry, unsigned changes) {
  std::optional<ModelState> model = Read(entry.hwnd);
  QWidget* widget = entry.widget.data();
  if (!model || widget == nullptr) return;
  const bool top = entry.parent == 0;
  if ((changes & kMoved) != 0) widget->setGeometry(Geometry(entry.hwnd, *model));
  if ((changes & kEnabled) != 0) widget->setEnabled(model->enabled);
  if (top && (changes & kText) != 0) widget->setWindowTitle(QString::fromStdString(Cp1252ToUtf8(model->text)));
  if (top && (changes & kMoved) != 0) {
    // HWND_TOPMOST: above the desktop's other windows. A new flag hides the
    // window; the visibility below shows it again.
    const bool topmost = IsWindowTopmost(entry.hwnd);
    if (widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != topmost) {
      widget->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
      changes |= kShown;
    }
  }
  if (entry.control) {
    const unsigned own = changes & (kCreated | kText | kContent | kPainted | kStyle);
    if (own != 0) entry.control->Sync(own);
  } else if ((changes & kPainted) != 0) {
    // Only what the model painted again is shown again.
    if (std::optional<RECT> area = win::detail::TakeNewlyPainted(entry.hwnd)) {
      widget->update(QRect(area->left, area->top, area->right - area->left, area->bottom - area->top));
    } else {
      widget->update();
    }
  }
  // A top-level window shows only on screen; a child follows its model
  // either way, so an offscreen picture holds what the dialog shows.
  if ((changes & kShown) != 0 && (!top || onScreen_)) widget->setVisible(model->visible);
}

void Mirror::Remove(HWND hwnd) {
  std::vector<HWND> children;
  for (const auto& [child, entry] : entries_) {
    if (entry.parent == hwnd) children.push_back(child);
  }
  for (HWND child : children) Remove(child);
  auto it = entries_.find(hwnd);
  if (it == entries_.end()) return;
  Entry entry = std::move(it->second);
  entries_.erase(it);
  if (mayDelete_) {
    Destroy(entry);
  } else if (entry.widget != nullptr) {
    // A handler of this widget may be running below us: deleted at the next turn.
    entry.widget->hide();
    graveyard_.push_back(std::move(entry));
  }
}

}  // namespace win::display
