// Whether the scan of installed models has ended. The aircraft-loaded record of
// the plug-in is taken only after it (its title is matched against the table
// the scan builds), and the plug-in is told of the scan once its link is up.
#pragma once

#include <atomic>

// Set once by the scan's end (start-up step 2); never cleared.
extern std::atomic<bool> g_modelScanFinished;
