#include "win/dialog_template.h"

#include <map>
#include <mutex>
#include <set>

#include "win/control_kinds.h"
#include "win/resource_text.h"
#include "win/resources.h"
#include "win/styles.h"

namespace win::detail {
namespace {

bool PushType(DWORD t) { return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON; }
bool CheckType(DWORD t) { return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE; }
bool RadioType(DWORD t) { return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON; }
bool OwnerDrawType(DWORD t) { return t == BS_OWNERDRAW; }
bool PictureType(DWORD t) { return t == SS_BITMAP || t == SS_ICON; }

struct NamedRule {
  std::string_view kind;
  KindRule rule;
};

constexpr NamedRule kKinds[] = {
    {"static", {SS_TYPEMASK, SS_LEFT, nullptr}},
    {"picture", {SS_TYPEMASK, SS_BITMAP, PictureType}},
    {"edit", {}},
    {"button", {BS_TYPEMASK, BS_PUSHBUTTON, PushType}},
    {"checkbox", {BS_TYPEMASK, BS_AUTOCHECKBOX, CheckType}},
    {"radio", {BS_TYPEMASK, BS_AUTORADIOBUTTON, RadioType}},
    {"ownerdraw", {BS_TYPEMASK, BS_OWNERDRAW, OwnerDrawType}},
    {"richedit", {}},
    {"combo", {}},
    {"listbox", {}},
    {"listview", {}},
    {"tab", {}},
    {"trackbar", {}},
    {"ipaddress", {}},
    {"tooltip", {}},
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, ControlFactory, std::less<>> factories;
  std::map<UINT, std::string> templates;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

bool IsKindName(std::string_view kind) {
  if (kind.empty() || kind.size() > 32) return false;
  for (char c : kind) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

}  // namespace

std::optional<KindRule> RuleOfKind(std::string_view kind) {
  for (const NamedRule& entry : kKinds) {
    if (entry.kind == kind) return entry.rule;
  }
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (r.factories.find(kind) != r.factories.end()) return KindRule{};
  return std::nullopt;
}

ControlFactory RegisteredFactory(std::string_view kind) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.factories.find(kind);
  return it == r.factories.end() ? nullptr : it->second;
}

}  // namespace win::detail

using namespace win::detail;

namespace {

std::string At(const ResourceLine& line, const std::string& reason) {
  return "line " + std::to_string(line.number) + ": " + reason;
}

// x y width height, from fields[first].
bool ReadRect(const ResourceLine& line, std::size_t first, RECT& rect, std::string& error) {
  constexpr long long kExtent = 32767;
  std::optional<long long> v[4];
  const char* names[4] = {"x", "y", "width", "height"};
  for (std::size_t i = 0; i < 4; ++i) {
    const ResourceField& field = line.fields[first + i];
    const long long low = i < 2 ? -kExtent : 0;
    v[i] = field.quoted ? std::nullopt : ParseResourceNumber(field.text, low, kExtent);
    if (!v[i]) {
      error = At(line, std::string("bad ") + names[i] + " \"" + field.text + "\"");
      return false;
    }
  }
  rect = RECT{static_cast<LONG>(*v[0]), static_cast<LONG>(*v[1]), static_cast<LONG>(*v[0] + *v[2]),
              static_cast<LONG>(*v[1] + *v[3])};
  return true;
}

bool ReadStyle(const ResourceLine& line, const ResourceField& field, StyleBits& bits, std::string& error) {
  std::string reason;
  std::optional<StyleBits> parsed = field.quoted ? std::nullopt : ParseStyle(field.text, reason);
  if (!parsed) {
    error = At(line, reason.empty() ? "the style must not be quoted" : reason);
    return false;
  }
  bits = *parsed;
  return true;
}

bool ReadHeader(const ResourceLine& line, DialogTemplate& out, std::string& error) {
  // dialog <id> "<caption>" <x> <y> <width> <height> <style>
  if (line.fields.size() != 8 || line.fields[0].quoted || line.fields[0].text != "dialog") {
    error = At(line, "the first line must be: dialog <id> \"<caption>\" <x> <y> <width> <height> <style>");
    return false;
  }
  std::optional<long long> id = line.fields[1].quoted ? std::nullopt : ParseResourceNumber(line.fields[1].text, 1, 0xFFFF);
  if (!id) {
    error = At(line, "bad template id \"" + line.fields[1].text + "\"");
    return false;
  }
  if (!line.fields[2].quoted) {
    error = At(line, "the caption must be a quoted text");
    return false;
  }
  StyleBits style;
  if (!ReadRect(line, 3, out.rect, error) || !ReadStyle(line, line.fields[7], style, error)) return false;
  out.id = static_cast<UINT>(*id);
  out.caption = line.fields[2].text;
  out.style = style.set & ~style.clear;
  return true;
}

bool ReadControl(const ResourceLine& line, ControlTemplate& control, std::string& error) {
  // <kind> <id> "<text>" <x> <y> <width> <height> <style>
  if (line.fields.size() != 8) {
    error = At(line, "a control is: <kind> <id> \"<text>\" <x> <y> <width> <height> <style>");
    return false;
  }
  const ResourceField& kind = line.fields[0];
  std::optional<KindRule> rule = kind.quoted ? std::nullopt : RuleOfKind(kind.text);
  if (!rule) {
    error = At(line, "unknown control kind \"" + kind.text + "\"");
    return false;
  }
  std::optional<long long> id = line.fields[1].quoted ? std::nullopt : ParseResourceNumber(line.fields[1].text, 0, 0xFFFF);
  if (!id) {
    error = At(line, "bad control id \"" + line.fields[1].text + "\"");
    return false;
  }
  if (!line.fields[2].quoted) {
    error = At(line, "the text must be a quoted text");
    return false;
  }
  StyleBits bits;
  if (!ReadRect(line, 3, control.rect, error) || !ReadStyle(line, line.fields[7], bits, error)) return false;
  DWORD style = WS_CHILD | WS_VISIBLE;
  if (rule->typeMask != 0) {
    const DWORD given = bits.set & rule->typeMask;
    const DWORD type = given != 0 ? given : rule->defaultType;
    if (rule->allows != nullptr && !rule->allows(type)) {
      error = At(line, "the style's type does not fit a " + kind.text);
      return false;
    }
    bits.set = (bits.set & ~rule->typeMask) | type;
  }
  style = (style | bits.set) & ~bits.clear;
  if ((style & WS_CHILD) == 0 || (style & WS_POPUP) != 0) {
    error = At(line, "a control is always a child window");
    return false;
  }
  control.kind = kind.text;
  control.id = static_cast<int>(*id);
  control.text = line.fields[2].text;
  control.style = style;
  control.line = line.number;
  return true;
}

}  // namespace

bool ParseDialogTemplate(std::string_view text, DialogTemplate& out, std::string& error) {
  out = DialogTemplate{};
  std::vector<ResourceLine> lines;
  if (!SplitResourceText(text, lines, error)) return false;
  if (lines.empty()) {
    error = "the template is empty";
    return false;
  }
  if (!ReadHeader(lines[0], out, error)) return false;
  std::set<int> ids;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (out.controls.size() >= kMaxTemplateControls) {
      error = At(lines[i], "more than " + std::to_string(kMaxTemplateControls) + " controls");
      return false;
    }
    ControlTemplate control;
    if (!ReadControl(lines[i], control, error)) return false;
    if (!ids.insert(control.id).second) {
      error = At(lines[i], "control id " + std::to_string(control.id) + " is used twice");
      return false;
    }
    out.controls.push_back(std::move(control));
  }
  return true;
}

std::optional<DialogTemplate> FindDialogTemplate(UINT id, std::string& error) {
  std::optional<std::string> registered;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.templates.find(id); it != r.templates.end()) registered = it->second;
  }
  std::string_view text;
  if (registered) {
    text = *registered;
  } else if (std::optional<std::string_view> builtIn = FindEmbeddedFile("dialogs/" + std::to_string(id) + ".dlg")) {
    text = *builtIn;
  } else {
    error = "no such template";
    return std::nullopt;
  }
  DialogTemplate parsed;
  if (!ParseDialogTemplate(text, parsed, error)) return std::nullopt;
  if (parsed.id != id) {
    error = "the file holds template " + std::to_string(parsed.id);
    return std::nullopt;
  }
  return parsed;
}

void RegisterDialogTemplateText(UINT id, std::string text) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (text.empty()) {
    r.templates.erase(id);
  } else {
    r.templates[id] = std::move(text);
  }
}

bool RegisterControlKind(std::string_view kind, ControlFactory factory) {
  if (!IsKindName(kind)) return false;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (factory == nullptr) {
    r.factories.erase(std::string(kind));
  } else {
    r.factories[std::string(kind)] = factory;
  }
  return true;
}
