#include "reference_image.h"

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "win/gdi_surface.h"

namespace {

std::filesystem::path OutputFolder() {
  if (const char* out = std::getenv("TK_REFERENCE_OUT"); out != nullptr && *out != '\0') return out;
  return std::filesystem::path(TK_BINARY).parent_path() / "reference-out";
}

bool Save(const QImage& image, const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  return image.save(QString::fromStdString(path.string()), "PNG");
}

}  // namespace

::testing::AssertionResult MatchesReference(HBITMAP image, std::string_view name) {
  const auto actual = win::detail::BitmapImage(image);
  if (!actual) return ::testing::AssertionFailure() << "no live bitmap to compare with " << name;
  const std::filesystem::path reference =
      std::filesystem::path(TK_SOURCE_DIR) / "tests" / "reference" / (std::string(name) + ".png");
  // scripts/control_pictures.sh collects every picture drawn, whatever the comparison says.
  if (const char* pictures = std::getenv("TK_PICTURES_OUT"); pictures != nullptr && *pictures != '\0') {
    if (!Save(*actual, std::filesystem::path(pictures) / (std::string(name) + ".png")))
      return ::testing::AssertionFailure() << "cannot write " << name << ".png into " << pictures;
  }
  const char* update = std::getenv("TK_UPDATE_REFERENCES");
  if (update != nullptr && std::string(update) == "1") {
    if (!Save(*actual, reference)) return ::testing::AssertionFailure() << "cannot write " << reference;
    return ::testing::AssertionSuccess() << "wrote " << reference;
  }
  const std::filesystem::path out = OutputFolder();
  const std::filesystem::path actualPath = out / (std::string(name) + ".actual.png");
  QImage expected(QString::fromStdString(reference.string()));
  if (expected.isNull()) {
    Save(*actual, actualPath);
    return ::testing::AssertionFailure() << "no reference " << reference << "; the picture is in " << actualPath
                                         << " (TK_UPDATE_REFERENCES=1 writes it as the reference)";
  }
  expected = expected.convertToFormat(QImage::Format_RGB32);
  if (expected.size() != actual->size()) {
    Save(*actual, actualPath);
    return ::testing::AssertionFailure() << name << ": " << actual->width() << "x" << actual->height()
                                         << ", the reference is " << expected.width() << "x" << expected.height()
                                         << "; see " << actualPath;
  }
  QImage diff(actual->size(), QImage::Format_RGB32);
  long differing = 0;
  QPoint first(-1, -1);
  for (int y = 0; y < actual->height(); ++y) {
    for (int x = 0; x < actual->width(); ++x) {
      const QRgb a = actual->pixel(x, y) & 0xFFFFFF, e = expected.pixel(x, y) & 0xFFFFFF;
      if (a != e) {
        if (differing++ == 0) first = QPoint(x, y);
        diff.setPixel(x, y, qRgb(255, 0, 0));
      } else {
        diff.setPixel(x, y, qRgb(qGray(a) / 3 + 128, qGray(a) / 3 + 128, qGray(a) / 3 + 128));
      }
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  const std::filesystem::path diffPath = out / (std::string(name) + ".diff.png");
  Save(*actual, actualPath);
  Save(diff, diffPath);
  return ::testing::AssertionFailure() << name << ": " << differing << " pixels differ, the first at (" << first.x()
                                       << "," << first.y() << ") is " << std::hex
                                       << (actual->pixel(first) & 0xFFFFFF) << " for "
                                       << (expected.pixel(first) & 0xFFFFFF) << std::dec << "; see " << actualPath
                                       << " and " << diffPath;
}
