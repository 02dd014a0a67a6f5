#include "base/trace_output.h"

#include <mutex>

namespace trace_output_detail {
std::shared_mutex& Lock() {
  static std::shared_mutex lock;
  return lock;
}
}  // namespace trace_output_detail

void ClearTraceOutput(CPrintDlg* output) {
  std::unique_lock lock(trace_output_detail::Lock());
  CPrintDlg* expected = output;
  Klib().traceOutput.compare_exchange_strong(expected, nullptr);
}
