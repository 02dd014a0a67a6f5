#include "win/qt_app.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace win::detail {

namespace {

constexpr const char* kFontFiles[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                      "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};
// DejaVu Sans: ascent + descent in font units of a 2048-unit em.
constexpr double kCellPerEm = (1901.0 + 483.0) / 2048.0;

std::once_flag g_once;
QString g_family = QStringLiteral("DejaVu Sans");

std::atomic<void (*)(const QString&)> g_warningWatch{nullptr};

// Qt's own chatter (font and platform notices) stays off the program's output.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  if (type != QtDebugMsg && type != QtInfoMsg) {
    if (auto* watch = g_warningWatch.load()) watch(message);
  }
}

// The offscreen platform unless the environment names one; told on the command
// line, since changing the environment races with every thread reading it.
char g_name[] = "tavelkor";
char g_platformOption[] = "-platform";
char g_offscreen[] = "offscreen";
char* g_argv[] = {g_name, g_platformOption, g_offscreen, nullptr};
int g_argc = 1;

void LoadFonts() {
  for (const char* file : kFontFiles) {
    const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
    if (id >= 0 && file == kFontFiles[0]) {
      const QStringList families = QFontDatabase::applicationFontFamilies(id);
      if (!families.isEmpty()) g_family = families.front();
    }
  }
}

void Start(const std::function<void(int& argc, char** argv)>& make) {
  g_argc = std::getenv("QT_QPA_PLATFORM") == nullptr ? 3 : 1;
  qInstallMessageHandler(&QuietQtMessages);
  // Kept for the process: Qt's text needs it as long as anything draws.
  if (QCoreApplication::instance() == nullptr) {
    if (make) {
      make(g_argc, g_argv);
    } else {
      new QGuiApplication(g_argc, g_argv);
    }
  }
  LoadFonts();
}

}  // namespace

void SetQtWarningWatch(void (*watch)(const QString& message)) { g_warningWatch.store(watch); }

void EnsureQtApplication() {
  std::call_once(g_once, [] { Start({}); });
}

bool MakeQtApplication(const std::function<void(int& argc, char** argv)>& make) {
  bool made = false;
  std::call_once(g_once, [&] {
    Start(make);
    made = true;
  });
  return made;
}

QString FontFamily() {
  EnsureQtApplication();
  return g_family;
}

QFont MakeQFont(const LOGFONTA& log) {
  QFont font(FontFamily());
  int pixels = 11;
  if (log.lfHeight < 0) pixels = -log.lfHeight;
  if (log.lfHeight > 0) pixels = static_cast<int>(std::lround(log.lfHeight / kCellPerEm));
  font.setPixelSize(std::max(pixels, 1));
  font.setBold(log.lfWeight >= 600);
  font.setItalic(log.lfItalic != 0);
  font.setUnderline(log.lfUnderline != 0);
  font.setStrikeOut(log.lfStrikeOut != 0);
  font.setKerning(false);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::NoAntialias | QFont::NoFontMerging));
  return font;
}

}  // namespace win::detail
