// The automation socket's side, without a socket: the line reader gives the
// same lines however the bytes arrive, every field escapes and reads back, and
// every line is answered (no window exists, so no request changes anything).
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "win/automation_commands.h"
#include "win/automation_protocol.h"

namespace {

using win::detail::AutomationLineReader;

struct LineSeen {
  std::string text;
  bool tooLong = false;
  friend bool operator==(const LineSeen&, const LineSeen&) = default;
};

std::vector<LineSeen> ReadLines(std::string_view bytes, std::size_t piece) {
  AutomationLineReader reader;
  std::vector<AutomationLineReader::Line> lines;
  for (std::size_t at = 0; at < bytes.size(); at += piece) reader.Feed(bytes.substr(at, piece), lines);
  std::vector<LineSeen> seen;
  for (auto& line : lines) {
    FUZZ_CHECK(line.text.size() <= AutomationLineReader::kLineLimit);
    FUZZ_CHECK(line.text.find('\n') == std::string::npos);
    FUZZ_CHECK(!line.tooLong || line.text.empty());
    seen.push_back(LineSeen{std::move(line.text), line.tooLong});
  }
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t piece = 1 + data[0] % 23;
  const std::string_view bytes = AsText(data + 1, size - 1);
  const std::vector<LineSeen> lines = ReadLines(bytes, bytes.size() + 1);
  FUZZ_CHECK(ReadLines(bytes, piece) == lines);

  // A program text written as a field reads back as it was.
  const std::string field = win::detail::AutomationField(bytes);
  FUZZ_CHECK(field.find_first_of("\t\r\n") == std::string::npos);
  const auto back = win::detail::AutomationText(field);
  FUZZ_CHECK(back.has_value() && *back == bytes);

  const win::detail::RunOnUiThread runHere = [](const std::function<void()>& job) {
    job();
    return true;
  };
  for (const LineSeen& line : lines) {
    if (line.tooLong) continue;
    win::detail::AutomationText(line.text);
    const std::vector<std::string> answer = win::detail::AnswerAutomationRequest(line.text, runHere);
    FUZZ_CHECK(!answer.empty());
    // Each answer is one line of the protocol (an error may repeat a client's CR).
    for (const std::string& text : answer) FUZZ_CHECK(text.find('\n') == std::string::npos);
  }
  return 0;
}
