#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "win/controls.h"
#include "win/dialog_template.h"
#include "win/window_pos.h"

namespace {

// Installs the template reader for one test and takes it away after, so the
// other tests of this program keep their empty dialogs.
class TemplateTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallDialogTemplates(); }
  void TearDown() override {
    SetDialogTemplateLoader(nullptr);
    for (UINT id : registered_) RegisterDialogTemplateText(id, "");
  }
  void Register(UINT id, std::string text) {
    registered_.push_back(id);
    RegisterDialogTemplateText(id, std::move(text));
  }

 private:
  std::vector<UINT> registered_;
};

const char* const kValid =
    "# a comment\r\n"
    "dialog 9001 \"Setup \\\"A\\\"\" 10 20 300 200 WS_POPUP|WS_CAPTION\r\n"
    "\r\n"
    "   # an indented comment\n"
    "static 1 \"Name:\\tfirst\" 5 6 40 10 SS_NOTIFY\n"
    "edit 2 \"caf\\xe9\" 50 6 100 12 ES_AUTOHSCROLL|WS_TABSTOP\n"
    "checkbox 3 \"Auto\" 5 30 60 12 ~WS_VISIBLE\n"
    "radio 4 \"One\" 5 50 60 12 WS_GROUP|BS_RADIOBUTTON\n"
    "button 5 \"OK\" -5 70 60 14 BS_DEFPUSHBUTTON|WS_DISABLED\n"
    "picture 6 \"#7801\" 0 0 0 0 0x100\n";

TEST(DialogTemplateReader, ReadsEveryFieldOfAValidTemplate) {
  DialogTemplate t;
  std::string error;
  ASSERT_TRUE(ParseDialogTemplate(kValid, t, error)) << error;
  EXPECT_EQ(t.id, 9001u);
  EXPECT_EQ(t.caption, "Setup \"A\"");
  EXPECT_EQ(t.rect, (RECT{10, 20, 310, 220}));
  EXPECT_EQ(t.style, WS_POPUP | WS_CAPTION);
  ASSERT_EQ(t.controls.size(), 6u);

  struct Expected {
    const char* kind;
    int id;
    std::string text;
    RECT rect;
    DWORD style;
    int line;
  };
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const Expected expected[] = {
      {"static", 1, "Name:\tfirst", {5, 6, 45, 16}, child | SS_NOTIFY, 5},
      {"edit", 2, "caf\xe9", {50, 6, 150, 18}, child | ES_AUTOHSCROLL | WS_TABSTOP, 6},
      {"checkbox", 3, "Auto", {5, 30, 65, 42}, WS_CHILD | BS_AUTOCHECKBOX, 7},
      {"radio", 4, "One", {5, 50, 65, 62}, child | WS_GROUP | BS_RADIOBUTTON, 8},
      {"button", 5, "OK", {-5, 70, 55, 84}, child | BS_DEFPUSHBUTTON | WS_DISABLED, 9},
      {"picture", 6, "#7801", {0, 0, 0, 0}, child | SS_BITMAP | SS_NOTIFY, 10},
  };
  for (std::size_t i = 0; i < t.controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    const Expected& e = expected[i];
    SCOPED_TRACE(e.id);
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_EQ(c.id, e.id);
    EXPECT_EQ(c.text, e.text);
    EXPECT_EQ(c.rect, e.rect);
    EXPECT_EQ(c.style, e.style);
    EXPECT_EQ(c.line, e.line);
  }
}

constexpr char kLineWithNul[] = "static 1 \"a\0b\" 0 0 1 1 0\n";

TEST(DialogTemplateReader, RefusesEveryMalformedShapeWithItsLine) {
  const std::string header = "dialog 9001 \"D\" 0 0 10 10 0\n";
  struct Case {
    std::string text;
    std::string reason;  // a part of the error
  };
  const std::vector<Case> cases = {
      {"", "empty"},
      {"# only a comment\n", "empty"},
      {"static 1 \"x\" 0 0 1 1 0\n", "line 1: the first line must be"},
      {"dialog 9001 \"D\" 0 0 10 10\n", "line 1: the first line must be"},
      {"dialog 0 \"D\" 0 0 10 10 0\n", "bad template id"},
      {"dialog 70000 \"D\" 0 0 10 10 0\n", "bad template id"},
      {"dialog 9001 D 0 0 10 10 0\n", "caption must be a quoted text"},
      {"dialog 9001 \"D 0 0 10 10 0\n", "closing quote"},
      {"dialog 9001 \"D\"0 0 10 10 0\n", "a blank must follow"},
      {"dialog 9001 \"D\" 0 0 -1 10 0\n", "bad width"},
      {"dialog 9001 \"D\" 0 0 10 1x 0\n", "bad height"},
      {"dialog 9001 \"D\" 0 0 10 10 WS_NOPE\n", "unknown style \"WS_NOPE\""},
      {"dialog 9001 \"D\" 0 0 10 10 WS_POPUP||WS_CAPTION\n", "empty part"},
      {"dialog 9001 \"D\" 0 0 10 10 \"0\"\n", "must not be quoted"},
      {header + "slider 1 \"x\" 0 0 1 1 0\n", "line 2: unknown control kind \"slider\""},
      {header + "static 1 \"x\" 0 0 1 1\n", "line 2: a control is"},
      {header + "static 1 \"x\" 0 0 1 1 0 extra\n", "line 2: a control is"},
      {header + "static 65536 \"x\" 0 0 1 1 0\n", "bad control id"},
      {header + "static -1 \"x\" 0 0 1 1 0\n", "bad control id"},
      {header + "static 1 x 0 0 1 1 0\n", "text must be a quoted text"},
      {header + "static 1 \"a\\qb\" 0 0 1 1 0\n", "unknown escape"},
      {header + "static 1 \"a\\x4\" 0 0 1 1 0\n", "two hex digits"},
      {header + "static 1 \"a\\x00\" 0 0 1 1 0\n", "\\x00"},
      {header + "static 1 \"x\" 0 0 1 1 0\nedit 1 \"y\" 0 0 1 1 0\n", "line 3: control id 1 is used twice"},
      {header + "checkbox 1 \"x\" 0 0 1 1 BS_PUSHBUTTON|BS_RADIOBUTTON\n", "does not fit a checkbox"},
      {header + "button 1 \"x\" 0 0 1 1 BS_AUTOCHECKBOX\n", "does not fit a button"},
      {header + "picture 1 \"x\" 0 0 1 1 SS_CENTER\n", "does not fit a picture"},
      {header + "static 1 \"x\" 0 0 1 1 ~WS_CHILD\n", "always a child"},
      {header + "static 1 \"x\" 0 0 1 1 WS_POPUP\n", "always a child"},
      {header + "static 1 \"x\" 0 0 1 1 0\rstatic 2 \"y\" 0 0 1 1 0\n", "lone CR"},
      {header + std::string(kLineWithNul, sizeof kLineWithNul - 1), "NUL"},
      {header + "static 1 \"" + std::string(5000, 'a') + "\" 0 0 1 1 0\n", "longer than"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    DialogTemplate t;
    std::string error;
    EXPECT_FALSE(ParseDialogTemplate(c.text, t, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(DialogTemplateReader, BoundsTheNumberOfControls) {
  std::string text = "dialog 9001 \"D\" 0 0 10 10 0\n";
  for (std::size_t i = 0; i <= kMaxTemplateControls; ++i) text += "static " + std::to_string(i) + " \"\" 0 0 1 1 0\n";
  DialogTemplate t;
  std::string error;
  EXPECT_FALSE(ParseDialogTemplate(text, t, error));
  EXPECT_NE(error.find("more than"), std::string::npos) << error;
}

TEST(BuiltInTemplates, TheMainPanelHoldsItsControlsAndTexts) {
  std::string error;
  std::optional<DialogTemplate> t = FindDialogTemplate(7055, error);
  ASSERT_TRUE(t) << error;
  struct Expected {
    int id;
    const char* kind;
    const char* text;
  };
  const Expected expected[] = {
      {7106, "static", "-- --"},   {7107, "static", "Callsign"}, {7108, "static", "CKPIT"},
      {7111, "static", ""},        {7112, "static", "Transmit"}, {7201, "button", "Chat"},
      {7202, "button", "Dash"},    {7211, "button", "ATC"},      {7219, "button", "Locate"},
      {7212, "button", "OFF"},  {7220, "static", "..."},      {7101, "button", "--"},
      {7121, "button", "+"},       {7248, "static", "#7801"},
  };
  EXPECT_EQ(t->controls.size(), std::size(expected));
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.id);
    auto it = std::find_if(t->controls.begin(), t->controls.end(), [&](const auto& c) { return c.id == e.id; });
    ASSERT_NE(it, t->controls.end());
    EXPECT_EQ(it->kind, e.kind);
    EXPECT_EQ(it->text, e.text);
  }
  // The lamp is a bitmap; the clickable fields tell their parent.
  auto control = [&](int id) { return *std::find_if(t->controls.begin(), t->controls.end(), [&](const auto& c) { return c.id == id; }); };
  EXPECT_EQ(control(7248).style & SS_TYPEMASK, SS_BITMAP);
  for (int id : {7106, 7107, 7108, 7111, 7220}) EXPECT_NE(control(id).style & SS_NOTIFY, 0u) << id;
  // Folding keeps the connect button and the "..." toggle in the first 110 pixels.
  EXPECT_LE(control(7212).rect.right, 110);
  EXPECT_LE(control(7220).rect.right, 110);
}

TEST(BuiltInTemplates, TheChatWindowHoldsItsControls) {
  std::string error;
  std::optional<DialogTemplate> t = FindDialogTemplate(7057, error);
  ASSERT_TRUE(t) << error;
  const std::vector<std::pair<int, std::string>> expected = {
      {7005, "richedit"}, {7003, "edit"}, {7021, "combo"}, {7200, "button"}, {7217, "edit"}, {7159, "checkbox"}};
  ASSERT_EQ(t->controls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(t->controls[i].id, expected[i].first);
    EXPECT_EQ(t->controls[i].kind, expected[i].second);
  }
  EXPECT_EQ(t->controls[3].text, "CLR");
  EXPECT_EQ(t->controls[5].text, "AutoClose");
}

TEST_F(TemplateTest, ADialogIsMadeWithTheControlsOfItsTemplate) {
  Register(9001, kValid);
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(9001, nullptr));
  std::string caption;
  dialog.GetWindowText(caption);
  EXPECT_EQ(caption, "Setup \"A\"");
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(dialog.m_hWnd, &rect));
  EXPECT_EQ(rect, (RECT{10, 20, 310, 220}));

  struct Expected {
    int id;
    const char* kind;
    const char* text;
    bool visible;
    bool enabled;
  };
  const Expected expected[] = {
      {1, "static", "Name:\tfirst", true, true}, {2, "edit", "caf\xe9", true, true},
      {3, "checkbox", "Auto", false, true},      {4, "radio", "One", true, true},
      {5, "button", "OK", true, false},          {6, "picture", "#7801", true, true},
  };
  std::vector<WindowInfo> children;
  for (const WindowInfo& w : EnumerateWindows()) {
    if (w.parent == dialog.m_hWnd) children.push_back(w);
  }
  ASSERT_EQ(children.size(), std::size(expected));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const Expected& e = expected[i];
    SCOPED_TRACE(e.id);
    EXPECT_EQ(children[i].controlId, e.id);  // in template order
    EXPECT_EQ(children[i].kind, e.kind);
    EXPECT_EQ(children[i].text, e.text);
    EXPECT_EQ(children[i].visible, e.visible);
    EXPECT_EQ(children[i].enabled, e.enabled);
  }
  // Controls lie in the dialog's client area.
  ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog.m_hWnd, 2), &rect));
  EXPECT_EQ(rect, (RECT{60, 26, 160, 38}));
  auto* picture = dynamic_cast<CStatic*>(dialog.GetDlgItem(6));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->ResourceImageId(), 7801u);
  EXPECT_NE(dynamic_cast<CEdit*>(dialog.GetDlgItem(2)), nullptr);
}

TEST_F(TemplateTest, TheChatTemplateGivesTheRichEditTheTraceNeeds) {
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(7057, nullptr));
  EXPECT_NE(dynamic_cast<CRichEditCtrl*>(dialog.GetDlgItem(7005)), nullptr);
  EXPECT_NE(dynamic_cast<CEdit*>(dialog.GetDlgItem(7003)), nullptr);
  auto* autoClose = dynamic_cast<CButton*>(dialog.GetDlgItem(7159));
  ASSERT_NE(autoClose, nullptr);
  EXPECT_EQ(autoClose->GetButtonStyle() & BS_TYPEMASK, BS_AUTOCHECKBOX);
  ASSERT_NE(dialog.GetDlgItem(7021), nullptr);
  EXPECT_EQ(dialog.GetDlgItem(7021)->Kind(), "combo");
}

TEST_F(TemplateTest, MalformedMissingOrMismatchedTemplatesFailCreateCleanly) {
  const std::string header = "dialog 9002 \"D\" 0 0 10 10 0\n";
  struct Case {
    UINT id;
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {9002, header + "static 1 \"ok\" 0 0 1 1 0\nstatic 2 \"broken 0 0 1 1 0\n", "line 3: text without"},
      {9003, "dialog 9004 \"D\" 0 0 10 10 0\n", "holds template 9004"},
      {9005, "", "no such template"},  // nothing registered, nothing built in
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    if (!c.text.empty()) Register(c.id, c.text);
    const std::size_t before = EnumerateWindows().size();
    CDialog dialog;
    EXPECT_FALSE(dialog.Create(c.id, nullptr));
    EXPECT_EQ(dialog.m_hWnd, 0u);
    EXPECT_NE(LastDialogTemplateError().find(c.reason), std::string::npos) << LastDialogTemplateError();
    EXPECT_EQ(EnumerateWindows().size(), before);  // no control is left behind
  }
}

// A dialog that brings its own class for one control.
class OwnButtonDialog : public CDialog {
 public:
  ~OwnButtonDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE) AddControl(own, 5);
    return CDialog::WindowProc(message, wParam, lParam);
  }
  CButton own{BS_OWNERDRAW};
};

TEST_F(TemplateTest, AControlTheDialogAddedItselfKeepsItsObject) {
  Register(9001, kValid);
  OwnButtonDialog dialog;
  ASSERT_TRUE(dialog.Create(9001, nullptr));
  EXPECT_EQ(dialog.GetDlgItem(5), &dialog.own);
  EXPECT_EQ(dialog.own.Text(), "OK");
  EXPECT_FALSE(dialog.own.IsWindowEnabled());
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(dialog.own.m_hWnd, &rect));
  EXPECT_EQ(rect, (RECT{5, 90, 65, 104}));
}

std::unique_ptr<CWnd> MakeGauge(const ControlTemplate& c) {
  return std::make_unique<CPlaceholderCtrl>("gauge", c.style, c.text);
}

TEST_F(TemplateTest, ARegisteredFactoryAddsItsKindToTheReader) {
  Register(9006, "dialog 9006 \"G\" 0 0 10 10 0\ngauge 1 \"50%\" 0 0 5 5 0\n");
  CDialog before;
  EXPECT_FALSE(before.Create(9006, nullptr));
  EXPECT_NE(LastDialogTemplateError().find("unknown control kind \"gauge\""), std::string::npos);

  EXPECT_FALSE(RegisterControlKind("Bad Name", &MakeGauge));
  ASSERT_TRUE(RegisterControlKind("gauge", &MakeGauge));
  CDialog after;
  const BOOL created = after.Create(9006, nullptr);
  RegisterControlKind("gauge", nullptr);
  ASSERT_TRUE(created);
  ASSERT_NE(after.GetDlgItem(1), nullptr);
  EXPECT_EQ(after.GetDlgItem(1)->Kind(), "gauge");
  EXPECT_EQ(after.GetDlgItem(1)->TextSnapshot(), "50%");
}

}  // namespace
