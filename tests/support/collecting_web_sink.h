// A web-page parser sink that keeps the traces and the block ends it is given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/web_page_parser.h"

class CollectingSink : public WebPageSink {
 public:
  void Trace(WebTraceStyle, bool, std::string_view text) override { traces.emplace_back(text); }
  void SetTraceColour(WebTraceColour) override {}
  void ChangeTraceEffects(std::uint32_t, bool) override {}
  void ShowBox(std::string_view, std::string_view) override {}
  void OwnAddressChanged(std::string_view) override {}
  void HubTextChanged(std::string_view) override {}
  void BlockEnded(WebBlockEnd action) override { ends.push_back(action); }
  std::vector<std::string> traces;
  std::vector<WebBlockEnd> ends;
};
