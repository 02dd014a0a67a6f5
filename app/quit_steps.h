// The steps that take the client out of the network and end the program in order.
#pragma once

// Menus "Quit and Close the Simulator": the next one-second tick runs the quit sequence.
void OnQuitAndCloseSimulator();
