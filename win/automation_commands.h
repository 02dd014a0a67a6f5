// The automation commands, apart from the socket that carries them. Internal to win/.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace win::detail {

// Runs a job on the UI thread and waits for it; false when the UI thread
// cannot run it (its loop has ended, or the server is stopping).
using RunOnUiThread = std::function<bool(const std::function<void()>& job)>;

// The answer's lines, the last one "ok" or "error <reason>".
std::vector<std::string> AnswerAutomationRequest(std::string_view line, const RunOnUiThread& runOnUi);

}  // namespace win::detail
