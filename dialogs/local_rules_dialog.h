// The local-aircraft rules: which ICAO type (and airline) an installed model
// is given, by a part of its title (LOCAL_AIRCRAFTS). Every show and every
// change applies the rules to the models again and refills both lists; the
// model list shows the working table with the marks the rules gave it.
#pragma once

#include <atomic>
#include <string>

#include "dialogs/rules_dialog_colours.h"
#include "win/dialog.h"

class CButton;
class CComboBox;
class CListBox;

constexpr UINT kLocalRulesTemplate = 7049;
constexpr int kLocalTitlePartId = 7162;
constexpr int kLocalTypeId = 7160;
constexpr int kLocalAirlineId = 7167;
constexpr int kLocalAddRuleId = 7102;
constexpr int kLocalRuleListId = 7164;
constexpr int kLocalRemoveSelectedRuleId = 7163;
constexpr int kLocalModelListId = 7156;
constexpr int kLocalOnlyRuledId = 7159;
constexpr int kLocalRemoveModelRuleId = 7161;
constexpr int kLocalExampleId = 7115;
constexpr int kLocalExplanationId = 7157;

class CPlaneTypeAssignerDlg : public CDialogEx {
 public:
  CPlaneTypeAssignerDlg();
  ~CPlaneTypeAssignerDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnOK() override;
  void OnCancel() override;

  void FillTypeAndAirlineCombos();
  void LoadRules();
  void ListLocalAircraft();
  void OnSelectModel();
  void UpdateModelRuleButton();
  void ShowTypeExample();
  void ShowAirlineExample();
  void OnAddRule();
  void RemoveRule();
  void RemoveSelectedRule();
  void OnSelectRule();

 private:
  CComboBox* Combo(int id) const;
  CListBox* List(int id) const;
  void OnShowWindow(bool show);
  // The working-table model selected in the model list.
  bool SelectedModel(char& mark, int& ruleNumber, std::string* title, std::string* type, std::string* airline) const;
  void WriteLocalRule(int number, const std::string& value);
  void DeleteLocalRule(int number);
  void AfterChange();
  // The combo's item of that text selected, else the text typed into its edit.
  void PutComboText(int id, const std::string& text);
  RulesBrushes brushes_;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CPlaneTypeAssignerDlg*> g_pPlaneTypeAssignerDlg;
