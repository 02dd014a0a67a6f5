// The model choice on the program's working table, airline table and setting.
#include "core/settings.h"
#include "sim/ai_lock.h"
#include "core/big_tables.h"
#include "sim/local_model_choice.h"

int ChooseLocalModel(ModelQuery& query) {
  return ChooseLocalModel(query, g_localModelTables().working, g_airlineTable(),
                          g_setupSettings.textureFollowCallsign.load() != 0);
}

int ChooseLocalModelLocked(ModelQuery& query) {
  AiGuard guard;
  return ChooseLocalModel(query);
}

int GetLocalModelOffsets(const char* title, double* offset1, double* offset2, double* offset3) {
  AiGuard guard;
  return GetLocalModelOffsets(g_localModelTables().working, title, offset1, offset2, offset3);
}
