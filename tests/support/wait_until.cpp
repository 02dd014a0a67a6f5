#include "support/wait_until.h"

#include <unistd.h>

bool WaitUntil(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 20) {
    if (done()) return true;
    usleep(20'000);
  }
  return done();
}

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}
