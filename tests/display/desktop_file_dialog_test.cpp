#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "desktop_test_support.h"
#include "win/display/desktop_file_dialog.h"
#include "win/file_dialog.h"
#include "win/msgbox.h"

namespace {

using desktop_test::DesktopHooksTest;
using desktop_test::Pilot;

struct FilterCase {
  const char* filter;
  QStringList expected;
};

TEST(DesktopFileDialogFilter, TheClassLibrarysFilterBecomesQtsNameFilters) {
  const FilterCase cases[] = {
      {"Text (*.txt)|*.txt||", {"Text (*.txt)"}},
      {"Flight plans (*.fpl)|*.fpl|All files (*.*)|*.*||", {"Flight plans (*.fpl)", "All files (*)"}},
      // The description need not show its patterns; several are joined.
      {"Plans|*.fpl;*.txt||", {"Plans (*.fpl *.txt)"}},
      {"Plans (*.fpl;*.txt)|*.fpl; *.txt||", {"Plans (*.fpl *.txt)"}},
      {"|*.log||", {"*.log (*.log)"}},
      // Without the closing pair, or with a pair that has no pattern.
      {"Text (*.txt)|*.txt", {"Text (*.txt)"}},
      {"Text (*.txt)|*.txt|Broken||", {"Text (*.txt)"}},
      {"Nothing||", {}},
      {"", {}},
      {"Logs|*.log||ignored|*.x", {"Logs (*.log)"}},
      {"Caf\xE9 (*.c)|*.c||", {QString::fromUtf8("Caf\u00e9 (*.c)")}},
  };
  for (const FilterCase& c : cases) {
    EXPECT_EQ(win::display::QtNameFilters(c.filter), c.expected) << c.filter;
  }
}

QFileDialog* ModalFileDialog() { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }

class DesktopFileDialog : public DesktopHooksTest {
 protected:
  void SetUp() override {
    DesktopHooksTest::SetUp();
    folder_ = std::filesystem::temp_directory_path() / ("desktop_file_dialog_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    DesktopHooksTest::TearDown();
  }
  std::filesystem::path folder_;
};

struct Kind {
  BOOL open;
  DWORD flags;
  QFileDialog::AcceptMode mode;
  QFileDialog::FileMode fileMode;
  bool confirmsOverwrite;
};

TEST_F(DesktopFileDialog, OpenAndSaveAskAsTheirFlagsSay) {
  const Kind kinds[] = {
      {FALSE, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, QFileDialog::AcceptSave, QFileDialog::AnyFile, true},
      {FALSE, OFN_HIDEREADONLY, QFileDialog::AcceptSave, QFileDialog::AnyFile, false},
      {TRUE, OFN_FILEMUSTEXIST, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, false},
      {TRUE, OFN_HIDEREADONLY, QFileDialog::AcceptOpen, QFileDialog::AnyFile, false},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.flags);
    QFileDialog::AcceptMode mode{};
    QFileDialog::FileMode fileMode{};
    bool confirms = false;
    Pilot pilot([&] {
      QFileDialog* dialog = ModalFileDialog();
      if (dialog == nullptr || !dialog->isVisible()) return false;
      mode = dialog->acceptMode();
      fileMode = dialog->fileMode();
      confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      dialog->reject();
      return true;
    });
    CFileDialog dialog(kind.open, "txt", nullptr, kind.flags, "Text (*.txt)|*.txt||");
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.GetPathName(), "");
    EXPECT_TRUE(pilot.Done());
    EXPECT_EQ(mode, kind.mode);
    EXPECT_EQ(fileMode, kind.fileMode);
    EXPECT_EQ(confirms, kind.confirmsOverwrite);
  }
  EXPECT_EQ(ShownFileDialogs().size(), std::size(kinds));
}

TEST_F(DesktopFileDialog, TheSaveDialogAnswersThePathThePilotTyped) {
  QStringList filters;
  QString folder;
  QString suffix;
  Pilot pilot([&] {
    QFileDialog* dialog = ModalFileDialog();
    if (dialog == nullptr || !dialog->isVisible()) return false;
    filters = dialog->nameFilters();
    folder = dialog->directory().absolutePath();
    suffix = dialog->defaultSuffix();
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (name == nullptr) return false;
    name->setText(QStringLiteral("route"));
    static_cast<QDialog*>(dialog)->accept();  // as the Save or Open button does
    return true;
  });
  CFileDialog dialog(FALSE, "txt", "plan", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     "Text (*.txt)|*.txt|All files (*.*)|*.*||");
  const std::string start = folder_.string();
  dialog.m_ofn.lpstrInitialDir = start.c_str();
  ASSERT_EQ(dialog.DoModal(), IDOK);
  const std::string expected = (folder_ / "route.txt").string();
  EXPECT_EQ(dialog.GetPathName(), expected);
  EXPECT_EQ(filters, (QStringList{"Text (*.txt)", "All files (*)"}));
  EXPECT_EQ(folder, QString::fromStdString(start));
  EXPECT_EQ(suffix, QStringLiteral("txt"));
  const std::vector<FileDialogRecord> shown = ShownFileDialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].chosen, expected);
  EXPECT_EQ(shown[0].initialFolder, start);
}

TEST_F(DesktopFileDialog, TheOpenDialogAnswersAnExistingFile) {
  const std::filesystem::path existing = folder_ / "plan.fpl";
  std::ofstream(existing) << "plan\n";
  Pilot pilot([&] {
    QFileDialog* dialog = ModalFileDialog();
    if (dialog == nullptr || !dialog->isVisible()) return false;
    dialog->selectFile(QString::fromStdString(existing.string()));
    static_cast<QDialog*>(dialog)->accept();  // as the Save or Open button does
    return true;
  });
  CFileDialog dialog(TRUE, "fpl", nullptr, OFN_FILEMUSTEXIST, "Flight plans (*.fpl)|*.fpl||");
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPathName(), existing.string());
}

TEST_F(DesktopFileDialog, QueuedAnswersWinWithoutShowing) {
  bool seen = false;
  Pilot pilot([&] {
    QFileDialog* dialog = ModalFileDialog();
    if (dialog == nullptr) return false;
    seen = true;
    dialog->reject();
    return true;
  });
  QueueFileDialogAnswer("queued");
  QueueFileDialogAnswer(std::nullopt);
  CFileDialog first(FALSE, "txt", nullptr, OFN_OVERWRITEPROMPT, "Text (*.txt)|*.txt||");
  const std::string start = folder_.string();
  first.m_ofn.lpstrInitialDir = start.c_str();
  EXPECT_EQ(first.DoModal(), IDOK);
  EXPECT_EQ(first.GetPathName(), (folder_ / "queued.txt").string());
  // A queued cancel is an answer too: the desktop is not asked.
  CFileDialog second(TRUE, nullptr, nullptr, 0, nullptr);
  EXPECT_EQ(second.DoModal(), IDCANCEL);
  EXPECT_FALSE(seen);
}

}  // namespace
