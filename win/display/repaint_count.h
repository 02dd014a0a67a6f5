// The paints the toolkit runs, counted per window of the program: what an
// idle client repaints on screen. Internal to the display.
#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "win/types.h"

class QEvent;

namespace win::display {

class RepaintCount : public QObject {
 public:
  // Any thread: the counts since the last call, by window handle.
  std::vector<std::pair<HWND, std::uint64_t>> Take();

 protected:
  // Watches the whole application (UI thread): a paint of a widget counts
  // for the window it shows, a widget's inner parts included.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::mutex mutex_;  // a leaf: guards counts_ alone
  std::map<HWND, std::uint64_t> counts_;
};

}  // namespace win::display
