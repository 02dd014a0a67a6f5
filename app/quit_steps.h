// The steps that take the client out of the network and end the program in order.
#pragma once

// Menus "Quit and Close the Simulator": the next one-second tick runs the quit sequence.
void OnQuitAndCloseSimulator();

// The node way and every connected peer way are told to disconnect, the
// session state drops to offline (no logout follows) and the plug-in link is
// told the client leaves.
void CloseAllPeerLinks();
