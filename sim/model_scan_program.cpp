// The program's scan: its folders, tables and log, and the plug-in's notice.
#include "core/app_paths.h"
#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "core/big_tables.h"
#include "sim/model_scan.h"
#include "sim/plugin_link.h"

void ScanXPlaneAircraft() {
  ScanAircraftFolder(g_appPaths().xplaneModelsFolder, g_localModelTables(), g_aircraftTypeDb(), ProgramModelLog());
  SetModelScanDone(true);
  SendModelsScannedToPlugin(Klib().mainThread);
}

int SendModelsScannedToPlugin(CBaseThread* sender) {
  if (!ModelScanDone()) return 0;
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr || !link->Started()) return 0;
  // The link sends the notice itself, once per link, after its handshake.
  return CBaseThread::Post(sender, link, THRDMSG_XPL_MODELS_SCANNED, 0, 0, "WTSPD1");
}
