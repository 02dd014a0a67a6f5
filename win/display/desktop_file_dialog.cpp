#include "win/display/desktop_file_dialog.h"

#include <QFileDialog>
#include <memory>
#include <vector>

#include "win/codepage.h"
#include "win/display/desktop_modal.h"
#include "win/file_dialog.h"
#include "win/os_thread.h"

namespace win::display {

namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const std::size_t at = text.find(separator);
    pieces.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + 1);
  }
}

// The description without the patterns it may show itself ("Text (*.txt)").
std::string_view BareDescription(std::string_view description) {
  description = Trimmed(description);
  if (!description.empty() && description.back() == ')') {
    const std::size_t open = description.rfind('(');
    if (open != std::string_view::npos) description = Trimmed(description.substr(0, open));
  }
  return description;
}

QString QtPatterns(std::string_view patterns) {
  QStringList kept;
  for (std::string_view pattern : Split(patterns, ';')) {
    pattern = Trimmed(pattern);
    if (pattern.empty()) continue;
    kept.push_back(pattern == "*.*" ? QStringLiteral("*") : QString::fromStdString(std::string(pattern)));
  }
  return kept.join(QLatin1Char(' '));
}

}  // namespace

QStringList QtNameFilters(std::string_view filter) {
  // "||" ends the list; anything after it is not part of the filter.
  if (const std::size_t end = filter.find("||"); end != std::string_view::npos) filter = filter.substr(0, end);
  const std::vector<std::string_view> pieces = Split(filter, '|');
  QStringList filters;
  for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
    const QString patterns = QtPatterns(pieces[i + 1]);
    if (patterns.isEmpty()) continue;
    const std::string_view description = BareDescription(pieces[i]);
    const QString name =
        description.empty() ? patterns : QString::fromStdString(Cp1252ToUtf8(description));
    filters.push_back(name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
  }
  return filters;
}

std::optional<std::string> ShowFileDialog(const Hooks& hooks, const FileDialogAsk& ask) {
  if (GetCurrentThreadId() != hooks.uiThread || !WidgetsUsable()) return std::nullopt;
  bool finished = false;
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setAcceptMode(ask.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog->setFileMode(ask.open && (ask.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                       : QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, ask.open || (ask.flags & OFN_OVERWRITEPROMPT) == 0);
  const QStringList filters = QtNameFilters(ask.filter);
  if (!filters.isEmpty()) dialog->setNameFilters(filters);
  std::string_view extension = ask.defaultExtension;
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  dialog->setDefaultSuffix(QString::fromStdString(std::string(extension)));
  if (!ask.initialFolder.empty()) dialog->setDirectory(QString::fromStdString(ask.initialFolder));
  if (!ask.fileName.empty()) dialog->selectFile(QString::fromStdString(ask.fileName));
  dialog->setWindowModality(Qt::ApplicationModal);
  QObject::connect(dialog.get(), &QDialog::finished, [&finished, &hooks] {
    finished = true;
    WakeModalLoop(hooks);
  });
  dialog->show();
  RunModalLoop(hooks, [&finished] { return finished; });
  const QStringList chosen = dialog->selectedFiles();
  if (dialog->result() != QDialog::Accepted || chosen.isEmpty()) return std::string();
  return chosen.front().toStdString();
}

}  // namespace win::display
