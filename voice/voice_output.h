// Where the voice system prints its lines (the chat window's output) and
// shows its boxes. Texts are printed as text, never used as formats.
#pragma once

#include <string_view>

class VoiceOutput {
 public:
  virtual ~VoiceOutput() = default;
  // A new line in a trace colour (17..29).
  virtual void Line(int colour, std::string_view text) = 0;
  // More text on the current line.
  virtual void Text(int colour, std::string_view text) = 0;
  virtual void Box(const char* title, const char* text) = 0;
};

// Through the library's main thread and its message boxes.
class TraceVoiceOutput final : public VoiceOutput {
 public:
  void Line(int colour, std::string_view text) override;
  void Text(int colour, std::string_view text) override;
  void Box(const char* title, const char* text) override;
};
