// The way table and the AI lock as a test of the simulator side starts with
// them: both locks usable, every record empty, ways that never pause, boxes
// recorded without echo.
#pragma once

#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "win/msgbox.h"

inline void ResetWayAndAiTables() {
  SetMessageBoxEcho(false);
  COrvSok::SetPauseFunction([](DWORD) {});
  WayTableLock().Init();
  AiLock().Init();
  for (WayRecord& record : WayTable()) record = WayRecord{};
}
