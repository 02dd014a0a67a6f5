#include "core/model_scan_state.h"

std::atomic<bool> g_modelScanFinished{false};
