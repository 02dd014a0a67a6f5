// What every control's widget shares: the model's 8-bit text as Qt text, the
// colours the parent answers, the control's font, its tooltip and its keys.
// Internal to the display; UI thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "win/display/control_widget.h"
#include "win/display/widget_keys.h"
#include "win/display_hooks.h"
#include "win/gdi_handles.h"
#include "win/paint.h"

namespace win::display {

// The property that names the control a widget shows (its HWND).
inline constexpr const char* kControlProperty = "tkControl";

QString FromModelText(std::string_view cp1252);
std::string ToModelText(const QString& text);
// What the user typed, over the control's whole content, as automation's
// `type` does (the model sends its change notices); nothing once it is gone.
void TypeIntoModel(HWND control, const QString& text);
QColor FromColorRef(COLORREF colour);
// The window's text as its model holds it.
std::string WindowText(HWND hwnd);
// Its style bits as the model holds them.
DWORD ModelStyle(HWND control);

// A label's text as a static shows it: "&&" is one '&', and a single '&'
// (the mark of the mnemonic letter after it) is not shown.
QString LabelWithoutMnemonic(std::string_view cp1252);

// What the parent answers to `message` for `control`: asked now when the
// parent is on this thread, else what it answered at the control's last paint.
std::optional<ControlColours> AskControlColours(HWND control, UINT message);
// The colour of a brush the parent answered; nullopt for a hollow one.
std::optional<COLORREF> BrushColour(HBRUSH brush);

// The control's font (WM_GETFONT), the dialog font when it has none.
QFont ControlFont(HWND control);
// The horizontal dialog base unit of the font, in pixels: what 4 dialog units are.
double DialogBaseUnitX(const QFont& font);

// A bitmap's pixels; a null image for no bitmap.
QImage BitmapImage(HBITMAP bitmap);

// How a kind takes the parent's colours: the roles the background and the
// text go to. A label fills its rectangle with the background; a frame
// (drawn over by the controls inside it) takes only the text colour.
enum class ColourRoles { kLabel, kFrame, kField, kNone };

class ModelWidget : public ControlWidget {
 public:
  ~ModelWidget() override;
  QWidget* Widget() override { return widget_; }
  // Font, colours and tooltip, then the kind's own state.
  void Sync(unsigned changes) final;

 protected:
  ModelWidget(HWND control, QWidget* widget, ColourRoles roles, bool keysAreTheModels = false);
  // The kind's state from its model; every widget signal is blocked meanwhile.
  virtual void SyncModel(unsigned changes) = 0;
  // Which WM_CTLCOLOR* the kind asks its parent.
  virtual UINT ColourMessage() const;
  // Watches a part of the widget made after it (its keys and focus).
  void WatchPart(QWidget* part);
  // Model state read again at once after a user's action the model took
  // without telling the display.
  void Resync();
  bool Alive() const { return widget_ != nullptr; }

 private:
  void SyncColours();
  void SyncToolTip();

  QPointer<QWidget> widget_;
  const ColourRoles roles_;
  QPalette basePalette_;
  std::unique_ptr<ControlKeys> keys_;
};

// A list's model tells every change of its items, selection and text as
// content: a repaint alone (a list of 43,000 models) reads none of them again.
constexpr bool ItemsMayHaveChanged(unsigned changes) {
  return (changes & (kCreated | kContent | kText | kStyle)) != 0;
}

// The look bits: a sync with one of these asks the colours again.
constexpr unsigned kLookChanges = kCreated | kShown | kEnabled | kText | kContent | kPainted | kStyle;

}  // namespace win::display
