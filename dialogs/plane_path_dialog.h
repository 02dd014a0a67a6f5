// The plane path window: a debugging view that plots each received peer
// position in red and the own position in green, with zoom and pan.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "dialogs/plane_path_view.h"
#include "win/dialog.h"

constexpr UINT kPlanePathTemplate = 7051;
constexpr int kPlanePathPictureId = 7190;
constexpr int kPlanePathZoomId = 7090;
inline constexpr COLORREF kPlanePathPeerColour = RGB(255, 0, 0);
inline constexpr COLORREF kPlanePathOwnColour = RGB(0, 255, 0);

class CPlanePathDlg : public CDialogEx {
 public:
  CPlanePathDlg();
  ~CPlanePathDlg() override;

  // Any thread (the peer ways): nothing unless both coordinates are given and
  // valid. The plot is drawn on the window's own thread.
  void AddPoint(const double* longitude, const double* latitude, bool valid);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // A copy of the geometry (tests).
  PlanePathView View() const;

 private:
  void DrawPending();
  void Draw(const PlanePathPlot& plot);
  void OnShown();
  void OnSized();
  void OnWheel(int delta, bool control, bool shift);
  void ShowZoom(double zoom);
  void InvalidateView();
  void OnMouseMove(POINT point);
  SIZE ClientSize() const;

  mutable std::mutex lock_;  // the view and the plots waiting to be drawn
  PlanePathView view_;
  std::vector<PlanePathPlot> pending_;
  bool drawPosted_ = false;
  // The drag (UI thread).
  bool dragging_ = false;
  POINT lastMouse_{};
  POINT dragStartPan_{};
  HCURSOR savedCursor_ = 0;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CPlanePathDlg*> g_pPlanePathDlg;

// A peer position for the view (any thread); only while it is shown when asked.
void AddPlanePathPoint(double longitude, double latitude, bool onlyWhenShown);
