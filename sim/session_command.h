// The menu command that opens or closes the multiplayer session, and the
// session's close with the simulator link this program has. UI thread.
#pragma once

// Open session: closed. Otherwise the simulator link is started; when it is
// connected already the session opens at once, else when the link comes up.
void TryFsMpConnect();
// The session's close (net/multiplayer_session.h), telling the simulator
// link when it is connected. Returns 1.
int CloseMultiplayerSession(const char* callerTag);
