// Automation: a UNIX socket on which end-to-end tests and the demo drive the
// running program, one client at a time (another one meanwhile is answered
// kAutomationBusyLine and closed), with one-line requests:
//
//   dump                               every dialog and its controls
//   text <template> <id>               a control's text
//   click <template> <id>              a click as the user's
//   settext <template> <id> <text>     typed into an edit, set elsewhere
//   select <template> <id> <index>     a list, combo or list-view choice
//   check <template> <id> <0|1>        a check box or radio button
//   command <template> <command-id>    WM_COMMAND to the dialog
//   key <virtual-key> <down|up>        the key state, and the key message
//                                      to the application's main window
//   boxes                              every message box shown since start
//   painted                            the windows that painted since last asked
//   snapshot <template> [<id>] <file>  a window's painted surface as PNG
//   quit                               RequestApplicationQuit
//
// Answers are lines in UTF-8 ending with "ok" or "error <reason>". Reads are
// snapshots taken on the server's thread; acts run on the UI thread (the one
// that started the server) while the client waits.
#pragma once

#include <string>
#include <string_view>

#include "win/types.h"

// The whole answer of a client that calls while another is served.
inline constexpr std::string_view kAutomationBusyLine = "error busy: another client is connected";

// Starts the server when TK_AUTOMATION names a socket path, on the calling
// (UI) thread's behalf; TRUE also when the variable is not set. Call once
// the UI thread's queue exists, before its loop (the application does it in
// InitInstance).
BOOL StartAutomationFromEnvironment();
// The same on a given path. FALSE (with the reason on stderr) when a server
// runs already, the path does not fit a socket address, another program
// listens there, or the path is a file that is not a socket.
BOOL StartAutomation(const std::string& socketPath);
// Ends the server's thread and removes its socket; at program end at the latest.
void StopAutomation();
bool AutomationRunning();
