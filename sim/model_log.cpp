#include "sim/model_log.h"

#include "base/klib_settings.h"
#include "base/main_thread.h"

namespace {
class MainThreadLog final : public ModelLog {
 public:
  void Write(int colourField, std::string_view text) override {
    CMainThread* main = Klib().mainThread;
    if (main == nullptr) return;
    main->SetTraceColour(Klib().Colour(colourField));
    main->TraceText(text, true);
  }
};
}  // namespace

ModelLog& ProgramModelLog() {
  static MainThreadLog log;
  return log;
}
