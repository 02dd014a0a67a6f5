// Dialog templates: the text format of res/dialogs (see res/dialogs/README.md),
// its reader, and the loader that fills a CDialog from a template.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/dialog.h"
#include "win/geometry.h"

struct ControlTemplate {
  std::string kind;  // "static", "edit", "button", "checkbox", "richedit" ...
  int id = 0;
  std::string text;  // code page 1252, as the file holds it
  RECT rect;         // in the dialog's client area
  DWORD style = 0;   // complete: WS_CHILD, the kind's type bits, WS_VISIBLE unless cleared
  int line = 0;      // where it stands in the file, for messages
};

struct DialogTemplate {
  UINT id = 0;
  std::string caption;
  RECT rect;
  DWORD style = 0;
  std::vector<ControlTemplate> controls;
};

constexpr std::size_t kMaxTemplateControls = 1024;

// Reads a template strictly: false, with the line and the reason in `error`,
// for anything that is not exactly the format.
bool ParseDialogTemplate(std::string_view text, DialogTemplate& out, std::string& error);

// The template of that id: one registered with RegisterDialogTemplateText,
// else the built-in res/dialogs/<id>.dlg.
std::optional<DialogTemplate> FindDialogTemplate(UINT id, std::string& error);

// Stands in for (or adds to) the built-in templates; an empty text withdraws it.
void RegisterDialogTemplateText(UINT id, std::string text);

// Makes the template reader the dialogs' loader (SetDialogTemplateLoader).
// From then on a dialog whose template is missing or malformed fails Create,
// with "Dialog template <id>: <reason>" on stderr.
void InstallDialogTemplates();
// The loader itself: caption and rectangle, then each control. A control whose
// id the dialog already has (one it added itself in WM_CREATE, of its own
// class) keeps its object and takes the template's style, text, rectangle,
// visibility and enabled state; then its PreSubclassWindow runs.
BOOL LoadDialogFromTemplate(CDialog& dialog, UINT templateId);
// The reason the last failed load gave.
std::string LastDialogTemplateError();

// Makes the control object of a kind. The built-in kinds have their models;
// known kinds without one yet (tooltip) are placeholders that keep their text until a factory
// is registered for them. A registered factory stands in for the built-in one;
// a new kind name (a-z, 0-9, '_', at most 32) becomes known to the reader.
// A null factory withdraws the registration. False for a bad name.
using ControlFactory = std::unique_ptr<CWnd> (*)(const ControlTemplate& control);
bool RegisterControlKind(std::string_view kind, ControlFactory factory);
