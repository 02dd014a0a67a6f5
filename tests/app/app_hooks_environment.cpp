// The tests of the application run with the hooks that the program installs at
// start-up, so the ways reach the main dialog and the connect flow as they do there.
#include <gtest/gtest.h>

#include "app/app_hooks.h"

namespace {
class AppHooksEnvironment : public testing::Environment {
 public:
  void SetUp() override { InstallAppHooks(); }
};

[[maybe_unused]] testing::Environment* const kAppHooks = testing::AddGlobalTestEnvironment(new AppHooksEnvironment);
}  // namespace
