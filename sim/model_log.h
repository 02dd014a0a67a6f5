// Where the model scan and the rule appliers write their lines: the program
// log, or a recorder in tests.
#pragma once

#include <string_view>

class ModelLog {
 public:
  virtual ~ModelLog() = default;
  // A finished text (never a format) in a colour field of the library block (17..29).
  virtual void Write(int colourField, std::string_view text) = 0;
};

// The program log, through the library's main thread; lines are dropped when there is none.
ModelLog& ProgramModelLog();
