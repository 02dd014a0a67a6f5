// Connects the pilot ways and the plug-in link to the AI traffic: the add that
// follows a model-slot table, the removal a pilot way asks for, and the pilot
// way's own steps that the link's answers lead to.
#pragma once

// Start-up, before any way runs; keeps the pilot ways' other hooks as they are.
void InstallAiTrafficHooks();
