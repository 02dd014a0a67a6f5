// A process with a published window, for tests of windows across processes
// (tk_standins --window-peer NAME). It prints one line per event on stdout and
// answers:
//   WM_USER+1 (send): wParam + lParam
//   "TK_PEER_PING" (send or post): 0x5A00 + wParam, printed as "registered <w> <l>"
//   WM_USER+2 (send): blocks until WM_USER+6 reaches the window "<NAME>-release",
//                     which another thread owns; then answers 7
//   WM_USER+3 (post): printed as "post <w> <l>"
//   WM_USER+4 (send): wParam is an atom; prints "atom <name>", answers the
//                     atom of "<name> back"
//   WM_USER+5 (post): ends the process (exit 0)
//   WM_USER+7 (send): sends WM_USER+1 (3, 4) to the window lParam names and
//                     answers 1000 + its answer
// Its first line is "ready pid=<pid> thread=<owner thread> window=<handle hex>
// ping=<its id of TK_PEER_PING>".
#pragma once

int RunWindowPeer(const char* name);
