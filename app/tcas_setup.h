// Connects the pilot ways to the TCAS feeding and to the watch window's list:
// a leaving pilot's slot is given back, and a changed pilot list refreshes
// the watch list while it is shown.
#pragma once

// Start-up, before any way runs; keeps the pilot ways' other hooks as they are.
void InstallTcasHooks();
