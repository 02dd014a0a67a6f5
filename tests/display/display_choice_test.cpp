#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "win/display/display.h"

namespace {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct Choice {
  const char* display;
  const char* wayland;
  const char* headless;
  bool flag;
  bool shows;
};

TEST(DisplayChoice, TheFlagOrADesktopShowsUnlessHeadlessIsAskedFor) {
  const Choice cases[] = {
      {nullptr, nullptr, nullptr, false, false}, {":0", nullptr, nullptr, false, true},
      {nullptr, "wayland-0", nullptr, false, true}, {"", "", nullptr, false, false},
      {nullptr, nullptr, nullptr, true, true},  {":0", nullptr, "1", false, false},
      {nullptr, nullptr, "1", true, false},      {":0", nullptr, "0", false, true},
  };
  for (const Choice& c : cases) {
    ScopedEnv display("DISPLAY", c.display);
    ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    ScopedEnv headless("TK_HEADLESS", c.headless);
    std::vector<char*> argv = {const_cast<char*>("tavelkor")};
    if (c.flag) argv.push_back(const_cast<char*>("--display"));
    EXPECT_EQ(win::display::ShouldShow(static_cast<int>(argv.size()), argv.data()), c.shows)
        << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-") << " "
        << (c.headless ? c.headless : "-") << " " << c.flag;
  }
}

}  // namespace
