// The control kinds templates may name and the factories registered for
// them. Internal to win/.
#pragma once

#include <optional>
#include <string_view>

#include "win/dialog_template.h"

namespace win::detail {

// The type bits a kind takes by default, and which it allows.
struct KindRule {
  DWORD typeMask = 0;     // 0: the kind has no type bits
  DWORD defaultType = 0;
  bool (*allows)(DWORD type) = nullptr;  // null: any type
};

// A kind the format knows or one registered; nullopt otherwise.
std::optional<KindRule> RuleOfKind(std::string_view kind);
// The registered factory of a kind; null when none was registered.
ControlFactory RegisteredFactory(std::string_view kind);

}  // namespace win::detail
