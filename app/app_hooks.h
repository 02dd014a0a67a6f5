// Gives the lower folders their way up: the hooks through which the ways reach
// the main dialog, the chat window and the connect flow.
#pragma once

// Start-up, before any way runs.
void InstallAppHooks();
