// The trace window: its output takes prints, its first show gives it its
// background and starts it empty, Cleanup clears it, and its controls draw
// in the normal trace colour.
#include "dialogs/trace_window.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/klib_settings.h"
#include "support/klib_fixture.h"
#include "win/dialog_template.h"
#include "win/gdi.h"
#include "win/messages.h"
#include "win/richedit.h"

namespace {

class TraceWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    Klib().SetColour(kColourNormal, 0xA4A99C);
    InstallDialogTemplates();
    trace_ = std::make_unique<CKtrace>();
    ASSERT_TRUE(trace_->Create(kTraceWindowTemplate));
  }
  void TearDown() override { trace_.reset(); }
  std::string Output() { return trace_->RichEdit()->Text(); }
  std::unique_ptr<CKtrace> trace_;
};

TEST_F(TraceWindowTest, TheFirstShowStartsItEmptyInItsBackgroundAndCleanupClearsIt) {
  std::string caption;
  trace_->GetWindowText(caption);
  EXPECT_EQ(caption, "Trace");
  ASSERT_NE(trace_->RichEdit(), nullptr) << "the output is attached";
  EXPECT_FALSE(trace_->IsWindowVisible());
  trace_->PrintText("before");
  EXPECT_EQ(Output(), "before");
  trace_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Output(), "") << "the first show clears the output";
  EXPECT_EQ(trace_->RichEdit()->BackgroundColour(), kTraceWindowBackground);
  trace_->PrintText("kept");
  trace_->ShowWindow(SW_HIDE);
  trace_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Output(), "kept") << "only the first show clears it";
  trace_->SendMessage(WM_COMMAND, kTraceCleanupId, 0);
  EXPECT_EQ(Output(), "");
}

TEST_F(TraceWindowTest, ItsControlsDrawInTheNormalColourOnTheDialogBackground) {
  CWnd* button = trace_->GetDlgItem(kTraceCleanupId);
  const HDC dc = GetDC(button->m_hWnd);
  const LRESULT brush = trace_->SendMessage(WM_CTLCOLORBTN, static_cast<WPARAM>(dc),
                                            static_cast<LPARAM>(button->m_hWnd));
  EXPECT_NE(brush, 0);
  EXPECT_EQ(GetTextColor(dc), 0xA4A99Cu);
  LOGBRUSH info{};
  ASSERT_NE(GetObjectA(static_cast<HGDIOBJ>(brush), sizeof info, &info), 0);
  EXPECT_EQ(info.lbColor, kTraceControlBackground);
  ReleaseDC(button->m_hWnd, dc);
}

}  // namespace
