#include "testbed/event_printer.h"

#include <array>
#include <chrono>
#include <ctime>

namespace {

std::string Clock() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  std::array<char, 16> text{};
  std::strftime(text.data(), text.size(), "%H:%M:%S", &local);
  return text.data();
}

}  // namespace

EventPrinter::EventPrinter(std::ostream& out, bool timestamps) : out_(out), timestamps_(timestamps) {}

void EventPrinter::Print(std::string_view source, std::string_view line) {
  std::lock_guard lock(mutex_);
  auto at = runs_.find(source);
  if (at == runs_.end()) at = runs_.emplace(std::string(source), Run{}).first;
  Run& run = at->second;
  if (run.line == line && !line.empty()) {
    ++run.repeats;
    return;
  }
  WriteRepeats(source, run);
  run.line.assign(line);
  run.repeats = 0;
  Write(source, line);
}

void EventPrinter::Flush() {
  std::lock_guard lock(mutex_);
  for (auto& [source, run] : runs_) {
    WriteRepeats(source, run);
    run.repeats = 0;
  }
  out_.flush();
}

void EventPrinter::WriteRepeats(std::string_view source, const Run& run) {
  if (run.repeats == 0) return;
  Write(source, std::to_string(run.repeats) + (run.repeats == 1 ? " more time: " : " more times: ") + run.line);
}

void EventPrinter::Write(std::string_view source, std::string_view line) {
  out_ << "[stand-ins";
  if (timestamps_) out_ << ' ' << Clock();
  out_ << "] ";
  if (!source.empty()) out_ << source << ": ";
  out_ << line << '\n';
  // Each line at once: the output is often a file or a pipe that someone watches.
  out_.flush();
}
