#include "testbed/event_printer.h"

#include <array>
#include <chrono>
#include <ctime>
#include <utility>

namespace {

std::string WallClockText() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  std::array<char, 16> text{};
  std::strftime(text.data(), text.size(), "%H:%M:%S", &local);
  return text.data();
}

}  // namespace

EventPrinter::EventPrinter(std::ostream& out, bool timestamps, Clock clock)
    : out_(out), timestamps_(timestamps),
      clock_(clock != nullptr ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })) {}

void EventPrinter::Print(std::string_view source, std::string_view line) {
  std::lock_guard lock(mutex_);
  const auto now = clock_();
  auto at = runs_.find(source);
  if (at == runs_.end()) at = runs_.emplace(std::string(source), Run{}).first;
  Run& run = at->second;
  if (run.line == line && !line.empty()) {
    if (now - run.shown < kFoldWindow) {
      ++run.repeats;
      return;
    }
    // A second or more later: this event is told now, with any folded before it.
    if (run.repeats == 0) {
      Write(source, line);
    } else {
      ++run.repeats;
      WriteRepeats(source, run);
    }
    run.shown = now;
    return;
  }
  WriteRepeats(source, run);
  run.line.assign(line);
  run.shown = now;
  Write(source, line);
}

void EventPrinter::FlushDue() {
  std::lock_guard lock(mutex_);
  const auto now = clock_();
  for (auto& [source, run] : runs_) {
    if (run.repeats == 0 || now - run.shown < kFoldWindow) continue;
    WriteRepeats(source, run);
    run.shown = now;
  }
}

void EventPrinter::Flush() {
  std::lock_guard lock(mutex_);
  for (auto& [source, run] : runs_) WriteRepeats(source, run);
  out_.flush();
}

void EventPrinter::WriteRepeats(std::string_view source, Run& run) {
  if (run.repeats == 0) return;
  Write(source, std::to_string(run.repeats) + (run.repeats == 1 ? " more time: " : " more times: ") + run.line);
  run.repeats = 0;
}

void EventPrinter::Write(std::string_view source, std::string_view line) {
  out_ << "[stand-ins";
  if (timestamps_) out_ << ' ' << WallClockText();
  out_ << "] ";
  if (!source.empty()) out_ << source << ": ";
  out_ << line << '\n';
  // Each line at once: the output is often a file or a pipe that someone watches.
  out_.flush();
}
