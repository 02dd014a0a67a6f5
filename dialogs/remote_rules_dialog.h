// The remote-aircraft rules: which installed model shows another pilot's
// aircraft, by a part of his aircraft title (REMOTE_AIRCRAFTS) or by his
// aircraft class (REMOTE_DEFAULT). Every show refills the rule list, the
// pilots in session and the model combos; OK after a change chooses the
// models of the pilots in session again.
#pragma once

#include <array>
#include <atomic>

#include "sim/rule_appliers.h"
#include "dialogs/rules_dialog_colours.h"
#include "win/dialog.h"

class CComboBox;
class CListBox;

constexpr UINT kRemoteRulesTemplate = 7048;
constexpr int kRemoteTitlePartId = 7162;
constexpr int kRemoteMainModelId = 9177;
constexpr int kRemoteAlternateModelId = 9178;
constexpr int kRemoteAddRuleId = 7102;
constexpr int kRemoteRuleListId = 7164;
constexpr int kRemoteRuleCountId = 7090;
constexpr int kRemoteRemoveRuleId = 7163;
constexpr int kRemoteSessionListId = 7156;
constexpr int kRemoteFreeClassId = 7179;
constexpr int kRemoteFreeClassModelId = 9176;
constexpr int kRemoteValidateDefaultsId = 7180;
constexpr int kRemoteExplanationId = 7157;
// THRDMSG_SIMPILOT sub-code 92 and the tag its re-choice posts are sent with.
inline constexpr char kRemoteRechoiceTag[] = "PZGN1053";

// The class defaults, in the order of their combos 9168 to 9175.
struct RemoteDefaultClass {
  const char* code;
  int comboId;
  bool byFirstLetter;  // the helicopters: every class code that begins with 'H'
};
inline constexpr std::array<RemoteDefaultClass, 8> kRemoteDefaultClasses = {{
    {"L1P", 9168, false},
    {"L2P", 9169, false},
    {"L1T", 9170, false},
    {"L2T", 9171, false},
    {"L2J", 9172, false},
    {"L3J", 9173, false},
    {"L4J", 9174, false},
    {"H**", 9175, true},
}};

class CPlaneOverriderDlg : public CDialogEx {
 public:
  CPlaneOverriderDlg();
  ~CPlaneOverriderDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // OK and Enter: after a change of the rules, the pilots in session get
  // their models chosen again; then the dialog hides.
  void OnOK() override;
  void OnCancel() override;

  // The names the remote appliers read.
  const char* RemoteAircraftSection() const { return remoteAircraftSection_; }
  const char* RemoteDefaultSection() const { return remoteDefaultSection_; }
  bool RulesChanged() const { return rulesChanged_; }

  void FillDefaultRuleCombos();
  void ListSessionAircraft();
  void LoadRules();
  void OnAddRule();
  void OnRemoveRule();
  void OnSelectRule();
  void OnSelectSessionAircraft();
  void OnValidateDefaults();
  // The pilots in session whose models are chosen again: one post each.
  int RechooseSessionModels();

 private:
  CComboBox* Combo(int id) const;
  CListBox* List(int id) const;
  void OnShowWindow(bool show);
  void SelectModelByTitle(int comboId, std::string_view title);

  const char* remoteAircraftSection_ = nullptr;
  const char* remoteDefaultSection_ = nullptr;
  bool rulesChanged_ = false;
  RulesBrushes brushes_;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CPlaneOverriderDlg*> g_pPlaneOverriderDlg;
