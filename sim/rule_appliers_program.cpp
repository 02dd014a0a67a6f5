// The rule appliers on the program's tables, rules file, settings and log.
#include <mutex>
#include <string>

#include "core/app_paths.h"
#include "core/settings.h"
#include "sim/ai_lock.h"
#include "core/big_tables.h"
#include "sim/rule_appliers.h"
#include "core/text_fields.h"

void ApplyTypeTranslationRules() {
  // The UI thread and the link thread (a newly loaded own aircraft) both
  // rebuild the working table, through the same scratch tables.
  static std::mutex rebuilding;
  std::lock_guard rebuild(rebuilding);
  std::string excluded;
  std::string order;
  {
    std::lock_guard lock(SettingsTextLock());
    excluded = FieldText(g_setupSettings.excludedPlanes);
    order = FieldText(g_setupSettings.packageOrder);
  }
  ApplyTypeTranslationRules(g_localModelTables(), g_appPaths().rulesFile, excluded, order, ProgramModelLog());
}

int ApplyRemoteAircraftRules(RemoteModelChoice* peer) {
  AiGuard guard;
  return ApplyRemoteAircraftRules(peer, g_localModelTables().working, g_appPaths().rulesFile, kRemoteAircraftsSection,
                                  ProgramModelLog());
}

int ApplyRemoteDefaultRules(RemoteModelChoice* peer) {
  AiGuard guard;
  return ApplyRemoteDefaultRules(peer, g_localModelTables().working, g_appPaths().rulesFile, kRemoteDefaultSection,
                                 ProgramModelLog());
}
