#include "net/controller_hooks.h"

#include <mutex>

namespace {
std::mutex& HooksMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<const ControllerHooks>& HooksSlot() {
  static auto* slot = new std::shared_ptr<const ControllerHooks>(std::make_shared<const ControllerHooks>());
  return *slot;
}
}  // namespace

void SetControllerHooks(ControllerHooks hooks) {
  auto set = std::make_shared<const ControllerHooks>(std::move(hooks));
  std::lock_guard lock(HooksMutex());
  HooksSlot() = std::move(set);
}

std::shared_ptr<const ControllerHooks> CurrentControllerHooks() {
  std::lock_guard lock(HooksMutex());
  return HooksSlot();
}
