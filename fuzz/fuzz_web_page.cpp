// The web page's reply, read as lines: the sink hears the same whichever way
// the bytes are cut, and every text it is given stays within its bounds.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "net/web_page_parser.h"

namespace {

class RecordingSink final : public WebPageSink {
 public:
  void Trace(WebTraceStyle style, bool lineBreak, std::string_view text) override {
    Add("trace", static_cast<int>(style) * 2 + (lineBreak ? 1 : 0), text);
  }
  void SetTraceColour(WebTraceColour colour) override { Add("colour", static_cast<int>(colour), {}); }
  void ChangeTraceEffects(std::uint32_t bits, bool on) override { Add("effects", static_cast<int>(bits) * 2 + on, {}); }
  void ShowBox(std::string_view title, std::string_view text) override { Add("box", 0, std::string(title) + "|" + std::string(text)); }
  void OwnAddressChanged(std::string_view address) override {
    FUZZ_CHECK(address.size() < kWebOwnAddressSize);
    Add("address", 0, address);
  }
  void HubTextChanged(std::string_view hub) override {
    FUZZ_CHECK(hub.size() < kWebHubTextSize);
    Add("hub", 0, hub);
  }
  void BlockEnded(WebBlockEnd action) override { Add("end", static_cast<int>(action), {}); }

  std::vector<std::string> events;

 private:
  void Add(const char* kind, int value, std::string_view text) {
    events.push_back(std::string(kind) + " " + std::to_string(value) + " " + std::string(text));
  }
};

struct Outcome {
  std::vector<std::string> events;
  bool inBlock = false;
  bool stopRunning = false;
  std::string address;
  std::string hub;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome Parse(std::string_view bytes, std::size_t piece, std::uint32_t traceMask) {
  RecordingSink sink;
  WebWayContext context;
  context.sender = "127.0.0.1";
  context.traceMask = traceMask;
  context.host = "localhost";
  WebPageParser parser(context, sink);
  parser.StartRequest();
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    parser.Feed(bytes.substr(at, piece));
    FUZZ_CHECK(parser.PendingLineChars() <= kWebLineChars);
  }
  return Outcome{sink.events, parser.InBlock(), parser.StopRunning(), std::string(parser.OwnAddress()),
                 std::string(parser.HubText())};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Trace bits 0 (lines) and 20 (exceptions) change what is traced, never what is parsed.
  const std::uint32_t traceMask = ((data[0] & 1) != 0 ? 1u : 0u) | ((data[0] & 2) != 0 ? 1u << 20 : 0u);
  const std::size_t piece = 1 + data[1] % 37;
  const std::string_view bytes = AsText(data + 2, size - 2);
  const Outcome whole = Parse(bytes, bytes.size() + 1, traceMask);
  FUZZ_CHECK(Parse(bytes, piece, traceMask) == whole);
  return 0;
}
