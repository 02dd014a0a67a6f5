#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "tests/display/widget_fixture.h"
#include "win/control_base.h"
#include "win/dialog_template.h"
#include "win/display/control_widget.h"
#include "win/display_hooks.h"
#include "win/gdi_objects.h"
#include "win/styles.h"
#include "win/window_registry.h"

namespace {

// Every dialog of the program, each control of its template made as the
// display makes it: a widget for each kind but the owner-drawn buttons.
TEST(WidgetTemplates, EveryControlOfTheProgramsDialogsIsAWidgetOrItsSurface) {
  tk_test::EnsureOffscreenWidgets();
  InstallDialogTemplates();
  const UINT ids[] = {134,  7002, 7003, 7004, 7005, 7027, 7031, 7033, 7034,
                      7048, 7049, 7051, 7052, 7054, 7055, 7057, 7060, 7061};
  const std::size_t bitmaps = LiveBitmapCount();
  int pictures = 0;
  for (const UINT id : ids) {
    std::string error;
    const std::optional<DialogTemplate> parsed = FindDialogTemplate(id, error);
    ASSERT_TRUE(parsed.has_value()) << id << ": " << error;
    tk_test::RecordingDialog dialog(id);
    ASSERT_TRUE(dialog.Create(id, nullptr)) << id;
    QWidget window;
    const std::vector<HWND> children = win::detail::ChildrenOf(dialog.m_hWnd);
    ASSERT_EQ(children.size(), parsed->controls.size()) << id;
    for (std::size_t i = 0; i < children.size(); ++i) {
      const ControlTemplate& control = parsed->controls[i];
      std::unique_ptr<win::display::ControlWidget> made =
          win::display::MakeControlWidget(children[i], control.kind, control.style, &window);
      EXPECT_EQ(made == nullptr, control.kind == "ownerdraw") << id << " line " << control.line << " " << control.kind;
      if (made == nullptr) continue;
      made->Sync(~0u);
      EXPECT_EQ(made->Widget()->parentWidget(), &window);
      // A picture the template names by its resource shows that bitmap.
      if ((control.style & SS_TYPEMASK) == SS_BITMAP && !control.text.empty() && control.text[0] == '#') {
        auto* label = qobject_cast<QLabel*>(made->Widget());
        ASSERT_NE(label, nullptr) << id << " line " << control.line;
        EXPECT_FALSE(label->pixmap().isNull()) << id << " line " << control.line;
        ++pictures;
      }
    }
  }
  EXPECT_GT(pictures, 0);
  // What the pictures were copied through is gone.
  EXPECT_EQ(LiveBitmapCount(), bitmaps);
  SetDialogTemplateLoader(nullptr);
}

}  // namespace
