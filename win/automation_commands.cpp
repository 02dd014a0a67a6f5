#include "win/automation_commands.h"

#include <charconv>
#include <cstdio>
#include <algorithm>
#include <optional>

#include "win/app.h"
#include "win/automation_protocol.h"
#include "win/bitmap_resource.h"
#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/display_hooks.h"
#include "win/edit_ctrl.h"
#include "win/file_dialog.h"
#include "win/focus.h"
#include "win/key_input.h"
#include "win/keys.h"
#include "win/menu.h"
#include "win/msgbox.h"
#include "win/paint.h"
#include "win/richedit.h"
#include "win/static_ctrl.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_class.h"

namespace win::detail {
namespace {

using Lines = std::vector<std::string>;

constexpr UINT kSendTimeoutMs = 1000;
constexpr long long kMaxTimerBurst = 100'000;

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = text.find(' ');
    words.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  }
  return words;
}

std::optional<long long> Number(std::string_view text, long long low, long long high) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

Lines Error(const std::string& reason) { return Lines{"error " + reason}; }

// The bitmap resource a button or picture shows, when it shows one.
std::optional<UINT> ShownBitmap(const WindowInfo& control) {
  UINT message = 0;
  if (control.kind == "button" || control.kind == "ownerdraw" || control.kind == "checkbox" ||
      control.kind == "radio") {
    message = BM_GETIMAGE;
  } else if (control.kind == "picture" || control.kind == "static") {
    message = STM_GETIMAGE;
  } else {
    return std::nullopt;
  }
  UINT_PTR answered = 0;
  if (SendMessageTimeoutA(control.hwnd, message, IMAGE_BITMAP, 0, SMTO_NORMAL, kSendTimeoutMs, &answered) == 0) {
    return std::nullopt;
  }
  return BitmapResourceId(static_cast<HBITMAP>(answered));
}

bool HasItems(std::string_view kind) {
  return kind == "listbox" || kind == "combo" || kind == "listview" || kind == "tab";
}

// The dialogs are the windows made from a template; their controls are their children.
std::optional<WindowInfo> FindDialog(const std::vector<WindowInfo>& windows, UINT templateId) {
  for (const WindowInfo& w : windows) {
    if (w.templateId == templateId) return w;
  }
  return std::nullopt;
}

struct Target {
  WindowInfo dialog;
  WindowInfo control;
};

// A control by template and id, or the error to answer.
std::optional<Target> FindTarget(std::string_view templateText, std::string_view idText, std::string& error) {
  std::optional<long long> templateId = Number(templateText, 1, 0xFFFF);
  std::optional<long long> id = Number(idText, 0, 0xFFFF);
  if (!templateId || !id) {
    error = "bad template or control id";
    return std::nullopt;
  }
  const std::vector<WindowInfo> windows = EnumerateWindows();
  std::optional<WindowInfo> dialog = FindDialog(windows, static_cast<UINT>(*templateId));
  if (!dialog) {
    error = "no window " + std::string(templateText);
    return std::nullopt;
  }
  for (const WindowInfo& w : windows) {
    if (w.parent == dialog->hwnd && w.templateId == 0 && w.controlId == static_cast<int>(*id)) {
      return Target{*dialog, w};
    }
  }
  error = "no control " + std::string(idText) + " in window " + std::string(templateText);
  return std::nullopt;
}

Lines Dump() {
  Lines lines;
  const std::vector<WindowInfo> windows = EnumerateWindows();
  for (const WindowInfo& w : windows) {
    if (w.templateId == 0) continue;
    lines.push_back("window " + std::to_string(w.templateId) + " visible=" + (w.visible ? "1" : "0") +
                    " text=" + AutomationField(w.text));
    for (const WindowInfo& c : windows) {
      if (c.parent != w.hwnd || c.templateId != 0) continue;
      lines.push_back("control " + std::to_string(w.templateId) + " " + std::to_string(c.controlId) +
                      " kind=" + c.kind + " visible=" + (c.visible ? "1" : "0") + " enabled=" +
                      (c.enabled ? "1" : "0") + " text=" + AutomationField(c.text));
      if (const std::optional<UINT> image = ShownBitmap(c)) lines.push_back("image " + std::to_string(*image));
      if (!HasItems(c.kind)) continue;
      std::vector<std::string> items;
      UINT_PTR answered = 0;
      if (SendMessageTimeoutA(c.hwnd, ControlItemsMessage(), 0, reinterpret_cast<LPARAM>(&items), SMTO_NORMAL,
                              kSendTimeoutMs, &answered) != 0 &&
          answered != 0) {
        for (std::size_t i = 0; i < items.size(); ++i) {
          lines.push_back("item " + std::to_string(i) + " " + AutomationField(items[i]));
        }
      }
    }
  }
  for (const WindowInfo& w : windows) {
    if (w.templateId != 0 || w.parent != 0) continue;
    const std::string className = WindowClassName(w.hwnd);
    if (className.empty()) continue;
    lines.push_back("classwindow " + AutomationField(className) + " visible=" + (w.visible ? "1" : "0") +
                    " text=" + AutomationField(w.text));
  }
  lines.emplace_back("ok");
  return lines;
}

Lines Text(const std::vector<std::string_view>& args) {
  if (args.size() != 2) return Error("usage: text <template> <id>");
  std::string error;
  std::optional<Target> target = FindTarget(args[0], args[1], error);
  if (!target) return Error(error);
  return Lines{AutomationField(target->control.text), "ok"};
}

// Runs `act` on the UI thread; its answer is "ok" or the error it sets.
Lines Act(const RunOnUiThread& runOnUi, const std::function<std::string()>& act) {
  std::string error;
  if (!runOnUi([&] { error = act(); })) return Error("the UI thread is not running");
  return error.empty() ? Lines{"ok"} : Error(error);
}

// The keys a click may hold for itself: CTRL, SHIFT or both.
std::optional<std::vector<int>> ClickKeys(std::string_view name) {
  if (name == "ctrl") return std::vector<int>{VK_LCONTROL};
  if (name == "shift") return std::vector<int>{VK_LSHIFT};
  if (name == "ctrl+shift") return std::vector<int>{VK_LCONTROL, VK_LSHIFT};
  return std::nullopt;
}

Lines Click(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 2 && args.size() != 3) return Error("usage: click <template> <id> [ctrl|shift|ctrl+shift]");
  std::vector<int> keys;
  if (args.size() == 3) {
    std::optional<std::vector<int>> named = ClickKeys(args[2]);
    if (!named) return Error("usage: click <template> <id> [ctrl|shift|ctrl+shift]");
    keys = *named;
  }
  std::string error;
  std::optional<Target> target = FindTarget(args[0], args[1], error);
  if (!target) return Error(error);
  const HWND control = target->control.hwnd;
  return Act(runOnUi, [control, &keys]() -> std::string {
    if (!IsWindow(control)) return "the control has gone";
    if (!IsWindowEnabled(control)) return "disabled";
    // Held for this click only: the keys a test or the user holds stay as they are.
    std::vector<int> pressed;
    for (int vk : keys) {
      if ((GetKeyState(vk) & 0x8000) == 0 && SetKeyState(vk, true) != FALSE) pressed.push_back(vk);
    }
    const bool clicked = SendMessageA(control, ControlClickMessage(), 0, 0) != 0;
    for (int vk : pressed) SetKeyState(vk, false);
    return clicked ? "" : "not clickable";
  });
}

Lines SetText(std::string_view rest, const RunOnUiThread& runOnUi) {
  // settext <template> <id> <text>: the text is everything after the id's blank.
  const std::size_t first = rest.find(' ');
  const std::size_t second = first == std::string_view::npos ? first : rest.find(' ', first + 1);
  if (first == std::string_view::npos) return Error("usage: settext <template> <id> <text>");
  const std::string_view idText =
      second == std::string_view::npos ? rest.substr(first + 1) : rest.substr(first + 1, second - first - 1);
  const std::string_view field = second == std::string_view::npos ? std::string_view() : rest.substr(second + 1);
  std::optional<std::string> text = AutomationText(field);
  if (!text) return Error("bad escape in the text");
  std::string error;
  std::optional<Target> target = FindTarget(rest.substr(0, first), idText, error);
  if (!target) return Error(error);
  const HWND control = target->control.hwnd;
  const bool typed = target->control.kind == "edit";
  const bool fields = target->control.kind == "combo" || target->control.kind == "ipaddress";
  return Act(runOnUi, [control, typed, fields, &text]() -> std::string {
    if (!IsWindow(control)) return "the control has gone";
    if (fields) {
      // A combo's edit part or an address: typed as a user would, with its notices.
      if (!IsWindowEnabled(control)) return "disabled";
      SetFocus(control);
      const LRESULT done = SendMessageA(control, ControlTypeMessage(), 0, reinterpret_cast<LPARAM>(text->c_str()));
      if (done == kTypingRefused) return "read-only";
      return done == kTextRefused ? "the control refuses that text" : "";
    }
    if (!typed) {
      SetWindowTextA(control, text->c_str());
      return "";
    }
    // Typed as a user would: all replaced, within the limit, with EN_CHANGE.
    if (!IsWindowEnabled(control)) return "disabled";
    if ((SendMessageA(control, ControlStyleMessage(), 0, 0) & ES_READONLY) != 0) return "read-only";
    // A user clicks into the field before typing.
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
    SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text->c_str()));
    return "";
  });
}

// select and dblclick: an item picked (and double-clicked) as the user would.
Lines Pick(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi, bool twice) {
  if (args.size() != 3) return Error(twice ? "usage: dblclick <template> <id> <index>" : "usage: select <template> <id> <index>");
  std::optional<long long> index = Number(args[2], 0, 0x7FFFFFFF);
  if (!index) return Error("bad index");
  std::string error;
  std::optional<Target> target = FindTarget(args[0], args[1], error);
  if (!target) return Error(error);
  const HWND control = target->control.hwnd;
  const auto wanted = static_cast<WPARAM>(*index);
  const UINT message = twice ? ControlDoubleClickMessage() : ControlSelectMessage();
  return Act(runOnUi, [control, wanted, message]() -> std::string {
    if (!IsWindow(control)) return "the control has gone";
    if (!IsWindowEnabled(control)) return "disabled";
    return SendMessageA(control, message, wanted, 0) != 0 ? "" : "cannot select that";
  });
}

Lines Check(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 3 || (args[2] != "0" && args[2] != "1")) return Error("usage: check <template> <id> <0|1>");
  std::string error;
  std::optional<Target> target = FindTarget(args[0], args[1], error);
  if (!target) return Error(error);
  if (target->control.kind != "checkbox" && target->control.kind != "radio") return Error("not a check box");
  const HWND control = target->control.hwnd;
  const bool wanted = args[2] == "1";
  return Act(runOnUi, [control, wanted]() -> std::string {
    if (!IsWindow(control)) return "the control has gone";
    if (!IsWindowEnabled(control)) return "disabled";
    const bool checked = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    // A user changes the state only by clicking.
    if (checked != wanted) SendMessageA(control, ControlClickMessage(), 0, 0);
    return "";
  });
}

Lines Command(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 2) return Error("usage: command <template> <command-id>");
  std::optional<long long> templateId = Number(args[0], 1, 0xFFFF);
  std::optional<long long> command = Number(args[1], 0, 0xFFFF);
  if (!templateId || !command) return Error("bad template or command id");
  std::optional<WindowInfo> dialog = FindDialog(EnumerateWindows(), static_cast<UINT>(*templateId));
  if (!dialog) return Error("no window " + std::string(args[0]));
  const HWND hwnd = dialog->hwnd;
  const auto wParam = static_cast<WPARAM>(*command);
  return Act(runOnUi, [hwnd, wParam]() -> std::string {
    if (!IsWindow(hwnd)) return "the window has gone";
    SendMessageA(hwnd, WM_COMMAND, wParam, 0);
    return "";
  });
}

// A trackbar's thumb dragged by the user to `position`: the notices of a drag
// (TB_THUMBTRACK, TB_THUMBPOSITION at the release, TB_ENDTRACK) to its parent
// as WM_HSCROLL, or WM_VSCROLL for a vertical one.
Lines SetPos(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  constexpr UINT kGetPos = WM_USER;
  constexpr UINT kGetRangeMin = WM_USER + 1;
  constexpr UINT kGetRangeMax = WM_USER + 2;
  constexpr UINT kSetPos = WM_USER + 5;
  constexpr UINT kHScroll = 0x0114;
  constexpr UINT kVScroll = 0x0115;
  constexpr WORD kThumbPosition = 4;
  constexpr WORD kThumbTrack = 5;
  constexpr WORD kEndTrack = 8;
  constexpr DWORD kVertical = 0x0002;
  if (args.size() != 3) return Error("usage: setpos <template> <id> <position>");
  std::optional<long long> position = Number(args[2], -0x7FFFFFFF, 0x7FFFFFFF);
  std::string error;
  std::optional<Target> target = FindTarget(args[0], args[1], error);
  if (!target) return Error(error);
  if (target->control.kind != "trackbar") return Error("not a slider");
  if (!position) return Error("bad position");
  const HWND control = target->control.hwnd;
  const auto wanted = static_cast<LONG>(*position);
  return Act(runOnUi, [control, wanted]() -> std::string {
    if (!IsWindow(control)) return "the control has gone";
    if (!IsWindowEnabled(control)) return "disabled";
    const auto low = static_cast<LONG>(SendMessageA(control, kGetRangeMin, 0, 0));
    const auto high = static_cast<LONG>(SendMessageA(control, kGetRangeMax, 0, 0));
    if (wanted < low || wanted > high) return "bad position";
    const bool vertical = (SendMessageA(control, ControlStyleMessage(), 0, 0) & kVertical) != 0;
    const HWND parent = GetParent(control);
    const UINT scroll = vertical ? kVScroll : kHScroll;
    const auto tell = [&](WORD code, LONG at) {
      if (parent != 0) {
        SendMessageA(parent, scroll, MAKELONG(code, static_cast<WORD>(at)), static_cast<LPARAM>(control));
      }
    };
    // The thumb is taken where it is and moved there as the mouse goes.
    SendMessageA(control, kSetPos, TRUE, wanted);
    tell(kThumbTrack, wanted);
    tell(kThumbPosition, static_cast<LONG>(SendMessageA(control, kGetPos, 0, 0)));
    tell(kEndTrack, 0);
    return "";
  });
}

// Delivers a dialog's timer as if that many periods had passed, so that a test
// runs long countdowns without waiting for them.
Lines Timer(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 3) return Error("usage: timer <template> <timer-id> <count>");
  std::optional<long long> templateId = Number(args[0], 1, 0xFFFF);
  std::optional<long long> timerId = Number(args[1], 1, 0xFFFF);
  std::optional<long long> count = Number(args[2], 1, kMaxTimerBurst);
  if (!templateId || !timerId || !count) return Error("bad template, timer id or count");
  std::optional<WindowInfo> dialog = FindDialog(EnumerateWindows(), static_cast<UINT>(*templateId));
  if (!dialog) return Error("no window " + std::string(args[0]));
  const HWND hwnd = dialog->hwnd;
  const auto id = static_cast<WPARAM>(*timerId);
  const auto times = *count;
  return Act(runOnUi, [hwnd, id, times]() -> std::string {
    for (long long i = 0; i < times; ++i) {
      if (!IsWindow(hwnd)) return "the window has gone";
      SendMessageA(hwnd, WM_TIMER, id, 0);
    }
    return "";
  });
}

Lines Key(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 2 || (args[1] != "down" && args[1] != "up")) return Error("usage: key <virtual-key> <down|up>");
  std::optional<int> vk = VirtualKeyFromName(args[0]);
  if (!vk) return Error("unknown key " + std::string(args[0]));
  const bool down = args[1] == "down";
  SetKeyState(*vk, down);
  // The key message goes to the window with the focus, else to the main
  // window, through what the application's loop does with it (its windows'
  // PreTranslateMessage first), before the answer: a request that follows
  // (a text typed, another key) always comes after it, as a user's would.
  return Act(runOnUi, [&] {
    win::DeliverKeyMessage(*vk, down);
    return std::string();
  });
}

// The dialog and id of the control with the focus.
Lines Focus() {
  const HWND focus = GetFocus();
  if (focus == 0) return Lines{"focus none", "ok"};
  for (const WindowInfo& w : EnumerateWindows()) {
    if (w.hwnd != focus) continue;
    if (w.templateId != 0) return Lines{"focus " + std::to_string(w.templateId), "ok"};
    for (const WindowInfo& d : EnumerateWindows()) {
      if (d.hwnd == w.parent && d.templateId != 0) {
        return Lines{"focus " + std::to_string(d.templateId) + " " + std::to_string(w.controlId), "ok"};
      }
    }
  }
  return Lines{"focus none", "ok"};
}

// A rich edit's text as its runs, each with its colour and effects.
Lines Runs(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 2) return Error("usage: runs <template> <id>");
  std::string error;
  std::optional<Target> target = FindTarget(args[0], args[1], error);
  if (!target) return Error(error);
  const HWND control = target->control.hwnd;
  Lines lines;
  const Lines done = Act(runOnUi, [control, &lines]() -> std::string {
    const auto* edit = dynamic_cast<const CRichEditCtrl*>(CWnd::FromHandle(control));
    if (edit == nullptr) return "not a rich edit";
    for (const TextRun& run : edit->Runs()) {
      char head[32];
      std::snprintf(head, sizeof head, "run %06X %u ", static_cast<unsigned>(run.colour & 0xFFFFFF),
                    static_cast<unsigned>(run.effects));
      lines.push_back(head + AutomationField(run.text));
    }
    return "";
  });
  if (done.back() != "ok") return done;
  lines.emplace_back("ok");
  return lines;
}

// The answer the next file dialog takes: a path, or none to cancel it.
Lines FileDialog(std::string_view rest) {
  std::optional<std::string> path = AutomationText(rest);
  if (!path) return Error("bad escape in the text");
  QueueFileDialogAnswer(path->empty() ? std::nullopt : std::optional<std::string>(*path));
  return Lines{"ok"};
}

Lines FileDialogs() {
  Lines lines;
  for (const FileDialogRecord& d : ShownFileDialogs()) {
    lines.push_back("filedialog " + std::string(d.open ? "open" : "save") + " " + AutomationField(d.defaultExtension) +
                    "\t" + AutomationField(d.filter) + "\t" + AutomationField(d.initialFolder) + "\t" +
                    AutomationField(d.chosen));
  }
  lines.emplace_back("ok");
  return lines;
}

void MenuLines(const std::vector<MenuItemSnapshot>& items, int depth, Lines& lines) {
  for (const MenuItemSnapshot& item : items) {
    const bool popup = (item.flags & MF_POPUP) != 0;
    const bool separator = (item.flags & MF_SEPARATOR) != 0;
    const long long id = popup ? -1 : separator ? 0 : static_cast<long long>(item.id);
    const bool enabled = (item.flags & (MF_GRAYED | MF_DISABLED)) == 0;
    lines.push_back("menuitem " + std::to_string(depth) + " " + std::to_string(id) + " enabled=" + (enabled ? "1" : "0") +
                    " checked=" + ((item.flags & MF_CHECKED) != 0 ? "1" : "0") +
                    " text=" + AutomationField(separator ? std::string() : item.text));
    if (popup) MenuLines(item.popup, depth + 1, lines);
  }
}

// The context menu a right-click on the dialog opens: WM_CONTEXTMENU to it,
// and the popup its handler tracks is held here, listed, and closed or chosen.
Lines Menu(const std::vector<std::string_view>& args, const RunOnUiThread& runOnUi) {
  if (args.size() != 1 && args.size() != 2) return Error("usage: menu <template> [<command-id>]");
  std::optional<long long> templateId = Number(args[0], 1, 0xFFFF);
  std::optional<long long> command = args.size() == 2 ? Number(args[1], 1, 0xFFFF) : std::optional<long long>(0);
  if (!templateId || !command) return Error("bad template or command id");
  std::optional<WindowInfo> dialog = FindDialog(EnumerateWindows(), static_cast<UINT>(*templateId));
  if (!dialog) return Error("no window " + std::string(args[0]));
  const HWND hwnd = dialog->hwnd;
  const bool choosing = args.size() == 2;
  const auto wanted = static_cast<UINT>(*command);
  Lines lines;
  const Lines done = Act(runOnUi, [hwnd, choosing, wanted, &lines]() -> std::string {
    if (!IsWindow(hwnd)) return "the window has gone";
    std::optional<MenuChoice> verdict;
    SetMenuCapture([&](const MenuSnapshot& menu) -> std::optional<UINT> {
      if (!choosing) {
        MenuLines(menu.items, 0, lines);
        return std::nullopt;
      }
      verdict = FindMenuChoice(menu.items, wanted);
      return *verdict == MenuChoice::kChoosable ? std::optional<UINT>(wanted) : std::nullopt;
    });
    // Right-clicked a little inside the window, in screen coordinates.
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    const auto x = static_cast<WORD>(rect.left + 5);
    const auto y = static_cast<WORD>(rect.top + 5);
    SendMessageA(hwnd, WM_CONTEXTMENU, static_cast<WPARAM>(hwnd), static_cast<LPARAM>(MAKELONG(x, y)));
    const bool taken = MenuCaptureTaken();
    SetMenuCapture(nullptr);
    if (!taken) return "no menu";
    if (choosing && verdict == MenuChoice::kAbsent) return "no menu item " + std::to_string(wanted);
    if (choosing && verdict == MenuChoice::kDisabled) return "disabled";
    return "";
  });
  if (done.back() != "ok") return done;
  lines.emplace_back("ok");
  return lines;
}

// "<template>" for a dialog, "<template> <id>" for one of its controls;
// empty for a window automation cannot name.
std::string AutomationName(const std::vector<WindowInfo>& windows, HWND hwnd) {
  auto find = [&](HWND wanted) -> const WindowInfo* {
    for (const WindowInfo& w : windows) {
      if (w.hwnd == wanted) return &w;
    }
    return nullptr;
  };
  const WindowInfo* w = find(hwnd);
  if (w == nullptr) return {};
  if (w->templateId != 0) return std::to_string(w->templateId);
  const WindowInfo* dialog = find(w->parent);
  if (dialog == nullptr || dialog->templateId == 0) return {};
  return std::to_string(dialog->templateId) + " " + std::to_string(w->controlId);
}

// Every window that painted since the last request, with its painted pixels.
Lines Painted() {
  Lines lines;
  const std::vector<WindowInfo> windows = EnumerateWindows();
  for (const win::PaintedReport& report : win::TakePaintedSinceLastReport()) {
    const std::string name = AutomationName(windows, report.hwnd);
    if (!name.empty()) lines.push_back("painted " + name + " " + std::to_string(report.pixels));
  }
  lines.emplace_back("ok");
  return lines;
}

// Every window whose widgets the display repainted since the last request,
// with how many times; nothing without a display on screen.
Lines Repaints() {
  Lines lines;
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  if (hooks != nullptr && hooks->takeRepaints) {
    const std::vector<WindowInfo> windows = EnumerateWindows();
    for (const auto& [hwnd, count] : hooks->takeRepaints()) {
      const std::string name = AutomationName(windows, hwnd);
      if (!name.empty()) lines.push_back("repaints " + name + " " + std::to_string(count));
    }
  }
  lines.emplace_back("ok");
  return lines;
}

// snapshot <template> [<id>] <file.png>: the control's surface once its pending paint has run, or
// the whole window as it shows.
Lines Snapshot(std::string_view rest, const RunOnUiThread& runOnUi) {
  const std::vector<std::string_view> words = Words(rest);
  if (words.size() < 2) return Error("usage: snapshot <template> [<id>] <file.png>");
  const bool control = words.size() >= 3 && Number(words[1], 0, 0xFFFF).has_value();
  const std::string_view after = control ? words[1] : words[0];
  const std::size_t at = static_cast<std::size_t>(after.data() + after.size() - rest.data()) + 1;
  std::optional<std::string> path = AutomationText(rest.substr(std::min(at, rest.size())));
  if (!path) return Error("bad escape in the text");
  if (path->empty()) return Error("usage: snapshot <template> [<id>] <file.png>");
  HWND hwnd = 0;
  if (control) {
    std::string error;
    std::optional<Target> target = FindTarget(words[0], words[1], error);
    if (!target) return Error(error);
    hwnd = target->control.hwnd;
  } else {
    std::optional<long long> templateId = Number(words[0], 1, 0xFFFF);
    if (!templateId) return Error("bad template or control id");
    std::optional<WindowInfo> dialog = FindDialog(EnumerateWindows(), static_cast<UINT>(*templateId));
    if (!dialog) return Error("no window " + std::string(words[0]));
    hwnd = dialog->hwnd;
  }
  return Act(runOnUi, [hwnd, control, &path]() -> std::string {
    if (!IsWindow(hwnd)) return control ? "the control has gone" : "the window has gone";
    bool saved = false;
    if (control) {
      saved = win::SaveWindowSurfacePng(hwnd, *path);
    } else if (const win::display::Hooks* hooks = win::display::CurrentHooks(); hooks && hooks->snapshotWindow) {
      // The window as the display shows it: its widgets and painted surfaces together.
      saved = hooks->snapshotWindow(hwnd, *path);
    } else {
      saved = win::SaveWindowPicturePng(hwnd, *path);
    }
    return saved ? "" : "cannot write the snapshot " + *path;
  });
}

Lines Boxes() {
  Lines lines;
  for (const MessageBoxRecord& box : ShownMessageBoxes()) {
    lines.push_back("box " + AutomationField(box.title) + "\t" + AutomationField(box.text));
  }
  lines.emplace_back("ok");
  return lines;
}

}  // namespace

std::vector<std::string> AnswerAutomationRequest(std::string_view line, const RunOnUiThread& runOnUi) {
  const std::size_t blank = line.find(' ');
  const std::string_view command = line.substr(0, blank);
  const std::string_view rest = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  const std::vector<std::string_view> args = Words(rest);
  if (command == "dump") return args.empty() ? Dump() : Error("usage: dump");
  if (command == "text") return Text(args);
  if (command == "click") return Click(args, runOnUi);
  if (command == "settext") return SetText(rest, runOnUi);
  if (command == "select") return Pick(args, runOnUi, false);
  if (command == "dblclick") return Pick(args, runOnUi, true);
  if (command == "menu") return Menu(args, runOnUi);
  if (command == "setpos") return SetPos(args, runOnUi);
  if (command == "check") return Check(args, runOnUi);
  if (command == "command") return Command(args, runOnUi);
  if (command == "key") return Key(args, runOnUi);
  if (command == "timer") return Timer(args, runOnUi);
  if (command == "boxes") return args.empty() ? Boxes() : Error("usage: boxes");
  if (command == "runs") return Runs(args, runOnUi);
  if (command == "painted") return args.empty() ? Painted() : Error("usage: painted");
  if (command == "repaints") return args.empty() ? Repaints() : Error("usage: repaints");
  if (command == "snapshot") return Snapshot(rest, runOnUi);
  if (command == "focus") return args.empty() ? Focus() : Error("usage: focus");
  if (command == "filedialog") return FileDialog(rest);
  if (command == "filedialogs") return args.empty() ? FileDialogs() : Error("usage: filedialogs");
  if (command == "quit") {
    if (!args.empty()) return Error("usage: quit");
    return RequestApplicationQuit() ? Lines{"ok"} : Error("no application to quit");
  }
  if (command.empty()) return Error("empty request");
  std::string shown(command.substr(0, 64));
  for (char& c : shown) {
    if (c < 0x21 || c > 0x7E) c = '?';  // the client's bytes, shown safely
  }
  return Error("unknown command " + shown);
}

}  // namespace win::detail
