// The main dialog: the program's hub on the UI thread. Its initialisation makes
// the trace sink, fills the library settings and starts the main worker; its
// four timers drive everything periodic.
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "app/key_recorder.h"
#include "base/circ_buf.h"
#include "controls/shade_button_st.h"
#include "core/main_dialog_state.h"
#include "win/dialog.h"
#include "win/gdi_handles.h"
#include "win/geometry.h"

class CAtcListDlg;
class CSim2SimDlg;
class CNetworkSetup;
class CLocateAndTrackPlane;
class MainConfigDlg;
class CSwatchDlg;
class CSelectPlaneDlg;
class CPlaneOverriderDlg;
class CPlaneTypeAssignerDlg;
class CPlanePathDlg;
class CDashboardDlg;
class CKtrace;
class CSplash;
class CVoiceSettingsDlg;
class CCchatDlg;
class CPilotsInfoDlg;
class CFlightPlanICAO;
class CFlightPlanUS;
class MainClass;

constexpr UINT kMainDialogTemplate = 7055;
constexpr UINT_PTR kTimerOneSecond = 555;
constexpr UINT_PTR kTimerHalfSecond = 556;
constexpr UINT_PTR kTimerTenth = 557;
constexpr UINT_PTR kTimerFast = 558;
// The half-second duty reports the own position to controllers from this one-second tick on.
constexpr std::uint32_t kControllerReportsFromTick = 26;
constexpr std::uint32_t kDelayedEventRingSize = 0x177000;
constexpr std::uint8_t kDelayedEventTag = 'd';
constexpr std::uint32_t kDelayedEventRecordSize = 28;
// The transmit lamp: static 7248 shows the first while the countdown runs, the second otherwise.
constexpr int kTransmitLampId = 7248;
constexpr unsigned kBitmapTransmitOn = 7800;
constexpr unsigned kBitmapTransmitOff = 7801;
// The Connect button's first picture keeps this colour transparent (RGB 254, 87, 11);
// every later change of picture uses white.
constexpr COLORREF kConnectFirstTransparent = 0x0B57FE;
constexpr COLORREF kConnectTransparent = 0xFFFFFF;
// The window buttons: Chat, Dash, ATC, Locate; shown windows paint their button's text in this colour.
constexpr std::array<int, 4> kShadedButtonIds = {7201, 7202, 7211, 7219};
constexpr COLORREF kWindowShownTextColour = RGB(92, 92, 255);
// Below this own simulator code the Locate button is disabled.
constexpr std::uint32_t kLocateFromSimulatorCode = 2006;

// Sent and received bytes over the last five seconds, x 10 / 5 per way (tenths of a byte per second).
struct TrafficFigures {
  std::uint64_t sent = 0;
  std::uint64_t received = 0;
};

class CFSClientDlg : public CDialogEx, public CCircBuf {
 public:
  CFSClientDlg();
  ~CFSClientDlg() override;

  BOOL OnInitDialog() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnOK() override {}
  void OnCancel() override;

  int InitMainDialog();
  int StartTimers();
  void KillTimers();
  void StopTimersAndQuit();
  void OnTimer(UINT_PTR id);
  void OneSecondTick();
  void HalfSecondTick();
  void TenthTick();
  void RunQuitSequence();
  int RunStagedStartup();
  int StartupStep1();
  int StartupStep2();
  int StartupStep3();
  int StartupStep4();
  // The secondary dialogs, created once: 1, or the code of the first failure.
  int CreateDialogBoxes();
  // Any thread: the Connect button shows this bitmap resource, with this colour transparent.
  void ShowConnectionBitmap(unsigned bitmap, COLORREF transparent = kConnectTransparent);
  // A window of the four buttons was shown (true) or hidden: its button's text colours.
  void MarkWindowButton(int buttonId, bool shown);
  // The Connect button and the window buttons, bound to the template's buttons.
  CShadeButtonST& ConnectButton() { return connectButton_; }
  CShadeButtonST* ShadedButton(int buttonId);
  // The colour the Connect button's picture keeps transparent.
  COLORREF ConnectionBitmapTransparent() const { return connectTransparent_.load(); }
  // One-second duties, each also called by tests.
  void UpdateTrafficFigures();
  void UpdatePilotAtcCount();
  void RunBellAndInactivity();
  void OnSimulatorStatusClick();
  // The right-click menu at that screen point ((-1, -1): beside the panel's corner).
  void BuildContextMenu(POINT point);
  // The brush (and the DC's colours) a control of the panel is painted with.
  HBRUSH ControlColours(HDC dc, HWND control);
  // Folded to a narrow strip, or back to the size it had at initialisation.
  bool Folded() const { return folded_; }
  const KeyRecorder& Recorder() const { return keyRecorder_; }
  TrafficFigures LastTrafficFigures() const { return traffic_; }

  // Delayed events: any thread posts, the 100-ms timer replays them on the UI thread.
  void PostDelayedEvent(std::uint32_t code, std::uint32_t unused1 = 0, std::uint32_t unused2 = 0);
  void ProcessDelayedEvents();
  // Private messages replayed from the queue or posted directly.
  virtual void OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void MarkShown() { shown_ = true; }
  bool Shown() const { return shown_; }
  bool Initialised() const { return initialised_; }
  bool TimersRunning() const;
  std::uint32_t TickCount() const { return tickCounter_; }
  std::uint32_t AutoWeatherCounter() const { return autoWeatherCounter_; }
  // The weather was switched on: the next one-second tick while logged in asks for it.
  void ArmAutoWeather();
  // Tests start the tick counter near its wrap.
  void SetTickCountForTest(std::uint32_t ticks) { tickCounter_ = ticks; }
  CCchatDlg* Chat() const { return chat_.get(); }
  ByteRing& DelayedEventRing() { return delayedRing_; }
  // Milliseconds the start-up pauses (2 s splash, 100 ms settle); tests set them to 0.
  static void SetStartupPausesForTest(bool enabled);

 protected:
  // The chat dialog and the main worker; null when they cannot be allocated.
  virtual std::unique_ptr<CCchatDlg> MakeChatDialog();
  virtual MainClass* MakeMainThread();
  // Starts the library with the settings block filled (KlibInit): negative on failure.
  virtual std::int32_t StartLibrary();

 private:
  void OnShowWindow(BOOL show);
  // Command handlers of the menu and the panel's controls.
  bool OnPanelCommand(UINT id);
  void PrintTrustedAddresses();
  void ShowAbout();
  void OnCountsClick();
  void OnCockpitClick();
  void OnDashClick();
  void OnLocateClick();
  void ToggleFold();
  // SHIFT+TAB and the developer key sequences: true when the key was used up.
  bool OnKeyDown(std::uint32_t virtualKey);
  LRESULT OnHitTest(UINT message, WPARAM wParam, LPARAM lParam);
  // "&Send flight Plan": a plan with flight rules goes to the network.
  void SendFlightPlanFromMenu();
  // The node's last server message in a system-modal box; the answer goes back to the node.
  void ShowServerMessage();
  void DrainDelayedEvents(std::vector<MSG>& out);

  KeyRecorder keyRecorder_;
  bool folded_ = false;
  RECT initialRect_{};
  std::array<UINT_PTR, 4> timerIds_{};
  std::uint32_t tickCounter_ = 0;
  std::uint32_t autoWeatherCounter_ = 0;
  bool timersStarted_ = false;
  bool initialised_ = false;
  bool connectEnabledOnce_ = false;
  // The bitmap static 7248 shows now (0 before the first change).
  unsigned transmitLampShown_ = 0;
  // The lamp's two pictures, each loaded once.
  HBITMAP transmitLampOn_ = 0;
  HBITMAP transmitLampOff_ = 0;
  std::array<CShadeButtonST, 4> shadedButtons_;
  CShadeButtonST connectButton_;
  std::atomic<COLORREF> connectTransparent_{kConnectFirstTransparent};
  TrafficFigures traffic_;
  std::atomic<bool> shown_{false};
  std::atomic<bool> draining_{false};
  std::unique_ptr<std::uint8_t[]> delayedStorage_;
  ByteRing delayedRing_;
  std::unique_ptr<CCchatDlg> chat_;
  std::unique_ptr<CPilotsInfoDlg> callsignDialog_;
  std::unique_ptr<CAtcListDlg> atcList_;
  std::unique_ptr<CFlightPlanUS> flightPlanUs_;
  std::unique_ptr<CFlightPlanICAO> flightPlanIcao_;
  std::unique_ptr<CSim2SimDlg> sim2sim_;
  std::unique_ptr<CNetworkSetup> networkSetup_;
  std::unique_ptr<CLocateAndTrackPlane> locate_;
  std::unique_ptr<MainConfigDlg> mainSetup_;
  std::unique_ptr<CSwatchDlg> swatch_;
  std::unique_ptr<CSelectPlaneDlg> typeChooser_;
  std::unique_ptr<CPlaneOverriderDlg> remoteRules_;
  std::unique_ptr<CPlaneTypeAssignerDlg> localRules_;
  std::unique_ptr<CPlanePathDlg> planePath_;
  std::unique_ptr<CDashboardDlg> dashboard_;
  std::unique_ptr<CKtrace> traceWindow_;
  // Shown from the initialisation until the start-up hides it.
  std::unique_ptr<CSplash> splash_;
  std::unique_ptr<CVoiceSettingsDlg> voiceSettings_;
};

// The main dialog, once it exists (any thread reads it).
extern std::atomic<CFSClientDlg*> g_pMainDlg;

// The seven solid brushes of the dialogs' colour handlers.
constexpr int kBrushCount = 7;
extern std::array<HBRUSH, kBrushCount> g_brushes;
// Mixed into the volume serial to give the machine identifier.
constexpr std::uint32_t kMachineIdMask = 0x5A3C96E1;

// From any thread: queue a private message for the main dialog; dropped while there is none.
void PostDelayedEvent(std::uint32_t code);
