// Locate and track: the pilots near the own aircraft; one of them is tracked by the plug-in's camera.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kLocateTemplate = 7034;

class CLocateAndTrackPlane : public CDialogEx {
 public:
  CLocateAndTrackPlane();
  ~CLocateAndTrackPlane() override;
  // The list of nearby pilots read again (UI thread).
  void RefreshList();
};

// The dialog, once created (any thread reads it).
extern std::atomic<CLocateAndTrackPlane*> g_pLocateDlg;
