// "Choose your callsign": asks for the callsign before connecting. Showing it
// loads the stored callsign; hiding it stores a non-empty one; "Connect now"
// takes the callsign and asks the main dialog's timer to connect.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kCallsignTemplate = 7002;
constexpr int kCallsignEditId = 7010;
constexpr int kCallsignMaxChars = 15;

class CPilotsInfoDlg : public CDialogEx {
 public:
  CPilotsInfoDlg();
  ~CPilotsInfoDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnShowWindow(bool show);
  // The callsign box, at most 15 characters.
  std::string EditedCallsign() const;
};

// The callsign dialog, once created (any thread reads it).
extern std::atomic<CPilotsInfoDlg*> g_pPilotsInfoDlg;
