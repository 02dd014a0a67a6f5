// The three appliers of "Rules.txt": LOCAL_AIRCRAFTS gives installed models a
// type and an airline; REMOTE_AIRCRAFTS and REMOTE_DEFAULT choose the
// installed model that shows a remote pilot, by his aircraft title or class.
#pragma once

#include <string>
#include <string_view>

#include "core/local_model_record.h"
#include "sim/model_log.h"

inline constexpr char kLocalAircraftsSection[] = "LOCAL_AIRCRAFTS";
// Until the remote rules dialog exists, the remote appliers use these names.
inline constexpr char kRemoteAircraftsSection[] = "REMOTE_AIRCRAFTS";
inline constexpr char kRemoteDefaultSection[] = "REMOTE_DEFAULT";

inline constexpr std::size_t kMinRuleTitleChars = 4;
inline constexpr std::size_t kRuleTypeMax = 7;
inline constexpr std::size_t kRuleAirlineMax = 3;

// ApplyRemoteAircraftRules / ApplyRemoteDefaultRules results.
inline constexpr int kRemoteRuleMainModel = 1'000;
inline constexpr int kRemoteRuleAlternateModel = 100;
inline constexpr int kRemoteDefaultModel = 100;
inline constexpr int kRemoteRuleNone = 0;
inline constexpr int kRemoteRuleBadPeer = -1;
inline constexpr int kRemoteRuleNoFile = -10;
inline constexpr int kRemoteRuleNoTitle = -20;            // ORA11
inline constexpr int kRemoteRuleNoMainTitle = -21;        // ORA12
inline constexpr int kRemoteRuleUnclosedAlternate = -30;  // ORA20
inline constexpr int kRemoteDefaultBadClass = -20;        // ORD10
inline constexpr int kRemoteDefaultNoModel = -30;         // ORD20
inline constexpr int kRemoteDefaultNotInstalled = -100;

// What a remote pilot's model choice works on: in, the peer's aircraft title
// and class code; out, the chosen local model's title, type, class code, short
// fifth column and first placement offset. The peer glue copies it to and from
// the pilot's way record.
struct RemoteModelChoice {
  char title[kModelTitleSize] = {};
  char icaoType[kModelTypeSize] = {};
  char classCode[kModelClassSize] = {};
  char fifth[kModelFifthSize] = {};
  double offset1 = 0.0;
};

// The installed-model rules. The working table is rebuilt from the copy of the
// last scan: ExcludedPlanes, PackageOrder, then every LOCAL_AIRCRAFTS rule on
// every model (the last applying rule wins field by field); built aside and
// swapped in. A corrupt rule stops the application where it stands. Nothing
// when the tables are not allocated; a missing file applies no rule.
void ApplyTypeTranslationRules(LocalModelTables& tables, const std::string& rulesPath,
                               std::string_view excludedPlanes, std::string_view packageOrder, ModelLog& log);

// The caller holds AiLock when `models` is the working table.
int ApplyRemoteAircraftRules(RemoteModelChoice* peer, const LocalModelTable& models, const std::string& rulesPath,
                             std::string_view section, ModelLog& log);
int ApplyRemoteDefaultRules(RemoteModelChoice* peer, const LocalModelTable& models, const std::string& rulesPath,
                            std::string_view section, ModelLog& log);

// The program's forms: its tables, "Rules.txt" path, settings and log; the
// remote ones take AiLock themselves (it is re-entrant) and the constant section names.
void ApplyTypeTranslationRules();
int ApplyRemoteAircraftRules(RemoteModelChoice* peer);
int ApplyRemoteDefaultRules(RemoteModelChoice* peer);
