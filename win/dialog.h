// Modeless dialogs: a window made from a template id, with controls found by id.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "win/window.h"

class CDialog;

// Fills a dialog from its template (caption, controls) before WM_INITDIALOG;
// FALSE fails Create. Set once by the template reader; none means an empty dialog.
using DialogTemplateLoader = BOOL (*)(CDialog& dialog, UINT templateId);
void SetDialogTemplateLoader(DialogTemplateLoader loader);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId = 0, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the dialog on the calling thread, hidden until ShowWindow, fills
  // it from its template and sends WM_INITDIALOG. FALSE when it already
  // exists, the parent has no window, or the template or OnInitDialog refuses.
  BOOL Create(UINT templateId, CWnd* parent = nullptr);
  BOOL Create();
  UINT TemplateId() const { return templateId_; }

  virtual BOOL OnInitDialog();
  // By default both end the dialog: for a modeless one that hides it.
  virtual void OnOK();
  virtual void OnCancel();
  // IDOK and IDCANCEL go to OnOK and OnCancel.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void EndDialog(int result);
  int Result() const { return result_; }

  // Makes `control` a visible child with the given id. FALSE when the dialog
  // has no window yet, the control already has one, or the id is taken.
  BOOL AddControl(CWnd& control, int id);
  // The same for a control the dialog owns and deletes; null on failure.
  CWnd* AddControl(std::unique_ptr<CWnd> control, int id);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return "dialog"; }

 private:
  UINT templateId_ = 0;
  CWnd* parent_ = nullptr;
  int result_ = 0;
  std::mutex ownedMutex_;
  std::vector<std::unique_ptr<CWnd>> owned_;
};

// The later dialog base of the class library; the same model here.
class CDialogEx : public CDialog {
 public:
  using CDialog::CDialog;
};
