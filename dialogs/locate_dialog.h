// Locate and track: the pilots near the own aircraft; one of them is tracked by the plug-in's camera.
// A double-click on a pilot asks the plug-in to track him (XTK_CMD_TRACK_PILOT
// with his way index); "Cancel tracking" or his drifting out of range ends it
// (the same command with -1). The list is rebuilt from the way table on the
// window's own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "win/dialog.h"

constexpr UINT kLocateTemplate = 7034;
constexpr int kLocateListId = 7151;
constexpr int kLocateTrackedId = 7141;
constexpr int kLocateCancelTrackingId = 7149;
// The fine-tuning buttons: pan left and right, centre, tilt up and down, zoom in and out, 1X.
constexpr int kLocateFirstTuningId = 7142;
constexpr int kLocateLastTuningId = 7148;
constexpr int kLocateOneToOneId = 7150;
// CMD_WINDOW_SHOWN of this window, posted to its parent with lParam 1 (shown) or 0.
constexpr UINT kLocateShownCommand = 36771;
// Posted to the window by any thread: the list is rebuilt when the window is visible.
constexpr UINT kLocateRefreshCommand = 34171;

// A pilot closer than this is listed (70 nautical miles).
constexpr std::uint32_t kLocateListedBelowMetres = 129'640;
// A tracked pilot at least this far away is no longer tracked.
constexpr std::uint32_t kLocateDroppedFromMetres = 130'640;
constexpr std::int32_t kNotTracked = -1;

// The command to the plug-in: nonzero when it went out. Tests replace it.
struct LocateActions {
  int (*sendTrackPilot)(std::int32_t way, const char* callerTag) = nullptr;
};
LocateActions DefaultLocateActions();
void SetLocateActions(const LocateActions& actions);

// The way index the plug-in was last told to track, or kNotTracked.
std::int32_t TrackedPilotWay();

// The columns' texts.
std::string LocateDistanceText(std::uint32_t metres);
std::string LocateBearingText(double degrees);
// A record's distance as whole metres (negative as 0, beyond the range of the type as its maximum).
std::uint32_t LocateMetres(double metres);

class CLocateAndTrackPlane : public CDialogEx {
 public:
  CLocateAndTrackPlane();
  ~CLocateAndTrackPlane() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // TAB pressed in a control reaches OnCommand as its code.
  BOOL PreTranslateMessage(MSG* msg) override;

  // The nearby pilots from the way table; drops a tracked pilot who left his
  // record or drifted out of range. From another thread it is posted.
  void RefreshList();
  // The pilot of that row becomes the tracked one; nothing for no row.
  void OnDblClkList(int row);
  void OnCancelTracking();

 private:
  void SetUpList();
  void ApplySavedPosition();
  void SavePosition();
  void DropTracking(const char* callerTag);
  void SetTrackedText(const char* text);
  void RegisterRefreshHook();

  // The allocation of the tracked pilot's record (WayAllocationOf) when he was
  // chosen: a record given to someone else since no longer holds him.
  std::uint32_t trackedAllocation_ = 0;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CLocateAndTrackPlane*> g_pLocateDlg;
