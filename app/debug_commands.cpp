#include "app/debug_commands.h"

#include "app/developer_flags.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/debug_lists.h"

void ToggleDebugProtocol() {
  std::atomic<bool>& flag = g_developerFlags().protocolDebug;
  const bool now = !flag.load();
  flag = now;
  PrintDebugOutput({DebugProtocolLine(now)});
}

void AddDebugChatActions(ChatActions& actions) {
  actions.toggleDebug = &ToggleDebugProtocol;
  actions.dumpWayList = &DumpNodes;
}
