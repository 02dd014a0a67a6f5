// Connects the controller ways to the windows they reach: a controller's
// local weather in the METAR banner. (The controller list registers its own
// rebuild when it exists.)
#pragma once

// Start-up, before any way runs; keeps the other controller hooks as they are.
void InstallControllerHooks();
