// The window that trace lines end in (the settings block's traceOutput),
// reached under a lock, so that the window can be taken away while other
// threads print: once ClearTraceOutput returns, no thread uses it any more.
#pragma once

#include <shared_mutex>

#include "base/klib_settings.h"

class CPrintDlg;

namespace trace_output_detail {
std::shared_mutex& Lock();
}

// Runs `use` with the current output, under the lock; false when there is none.
template <class Use>
bool WithTraceOutput(Use&& use) {
  std::shared_lock lock(trace_output_detail::Lock());
  CPrintDlg* output = Klib().traceOutput.load();
  if (output == nullptr) return false;
  use(*output);
  return true;
}

// Takes `output` away when it is the current one, after any print into it has ended.
void ClearTraceOutput(CPrintDlg* output);
