// The simulator-side bridge module's stand-in (tk_standins --bridge-module):
// it publishes its window "TavelkorBridgeModule" in the TK_WINDOWS folder,
// finds the client's main dialog ("Tavelkor"), says hello with its window,
// and once both buffer addresses came, fills buffer 1 (opened by name from
// the client's process id) and sends every code, the unused ones and offsets
// past the buffer among them. It prints one line per event on stdout:
//   found Tavelkor <handle hex> pid <pid>
//   post <code> <lParam hex>            each "TAVELKOR_MSG" post it gets
//   opened <buffer name> | could not open <buffer name>
//   sent <code> <lParam> answered <answer> | sent <code> <lParam> failed
//   script done
//   client gone <handle hex>            at the 1300 post; then it ends (exit 0)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bridge_standin {

constexpr std::size_t kBufferSize = 102'400;

// Where the script puts its texts in buffer 1, and what it sends.
struct BridgeSend {
  std::uint32_t code = 0;
  std::int64_t value = 0;
};
struct BufferText {
  std::size_t offset = 0;
  std::string_view text;
  bool terminated = true;  // false: runs to the buffer's end with no NUL
};
const std::vector<BufferText>& ScriptTexts();
const std::vector<BridgeSend>& ScriptSends();

}  // namespace bridge_standin

int RunBridgeModule();
