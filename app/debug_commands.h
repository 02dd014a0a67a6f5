// The protocol debug switch and the debug actions of the chat line and buttons.
#pragma once

struct ChatActions;

// Flips the protocol debug flag and prints "DBGP ON" or "DBGP OFF".
void ToggleDebugProtocol();
// The chat's ",. " line and its CTRL+"CLR" reach the switch and the way dump.
void AddDebugChatActions(ChatActions& actions);
