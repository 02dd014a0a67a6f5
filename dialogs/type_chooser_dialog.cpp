#include "dialogs/type_chooser_dialog.h"

#include <array>
#include <cstdio>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "core/aircraft_change_hook.h"
#include "core/aircraft_type_db.h"
#include "core/app_paths.h"
#include "core/table_memory.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/text_fields.h"
#include "net/multiplayer_session.h"
#include "sim/own_type_match.h"
#include "win/app.h"
#include "win/ascii_case.h"
#include "win/button_ctrl.h"
#include "win/device_context.h"
#include "win/dialog_items.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/paint.h"
#include "win/sys_colors.h"

std::atomic<CSelectPlaneDlg*> g_pSelectPlaneDlg{nullptr};

namespace {
// Dialog units: maker, model, type, class, then the row number.
constexpr std::array<int, 4> kTabStops = {150, 300, 330, 400};

// A row of the list is a record of the type table only while the table holds it.
bool IsTypeTableRow(int row) {
  const AircraftTypeDb& types = g_aircraftTypeDb();
  return row >= 0 && types.Allocated() && row < types.count;
}

// The window the aircraft-change hook posts to (another thread reads it).
std::atomic<HWND> g_chooserWindow{0};

void ShowMainWindow(bool show) {
  CWnd* main = AfxGetMainWnd();
  if (main != nullptr && main->m_hWnd != 0) main->ShowWindow(show ? SW_SHOW : SW_HIDE);
}
}  // namespace

void ShowTypeChooserLater() {
  // Only the handle is read here: a post to a window that has gone is dropped.
  if (const HWND window = g_chooserWindow.load(); window != 0) PostMessageA(window, kShowTypeChooserMessage, 0, 0);
}

CSelectPlaneDlg::CSelectPlaneDlg() : CDialogEx(kTypeChooserTemplate) {}

CSelectPlaneDlg::~CSelectPlaneDlg() {
  if (g_chooserWindow.load() == m_hWnd) {
    SetAircraftChangedHook(nullptr);
    g_chooserWindow = 0;
  }
  if (g_pSelectPlaneDlg.load() == this) g_pSelectPlaneDlg = nullptr;
  DestroyWindow();
}

BOOL CSelectPlaneDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  FillList(g_appPaths().aircraftTypesFile);
  g_chooserWindow = m_hWnd;
  SetAircraftChangedHook(&ShowTypeChooserLater);
  return TRUE;
}

CListBox* CSelectPlaneDlg::List() const { return dynamic_cast<CListBox*>(GetDlgItem(kTypeChooserListId)); }

int CSelectPlaneDlg::FillList(const std::string& path) {
  selectedRow_ = -1;
  CListBox* list = List();
  if (list == nullptr) return 0;
  list->ResetContent();
  list->SetTabStops(kTabStops);
  FilePtr file = OpenDataFile(path);
  if (!file) return 0;

  // Row n must stay record n of the type table, which reads the same file
  // line by line and keeps at most kMaxAircraftTypes records.
  int added = 0;
  std::string line;
  bool more = true;
  while (more && added < kMaxAircraftTypes) {
    const int c = std::getc(file.get());
    more = c != EOF;
    const bool lineEnd = !more || c == '\r' || c == '\n';
    if (!lineEnd) {
      line.push_back(static_cast<char>(c));
      // Such a line is no type line: the reading ends with it.
      if (line.size() < kTypeChooserLineMax) continue;
      more = false;
    }
    if (line.empty()) continue;
    const std::string row = line + "\t" + std::to_string(added);
    line.clear();
    if (list->AddString(row.c_str()) == LB_ERRSPACE) {
      KlibMainTraceLine(Klib().Colour(kColourNormal), "Can't add more than %d aircrafts in the listbox of the flight plan",
                        added);
      break;
    }
    ++added;
  }
  return added;
}

LRESULT CSelectPlaneDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kShowTypeChooserMessage) {
    ShowWindow(SW_SHOW);
    return 0;
  }
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    return ControlColour(static_cast<HDC>(wParam), static_cast<HWND>(lParam));
  }
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam != 0) OnShown();
  return result;
}

LRESULT CSelectPlaneDlg::ControlColour(HDC dc, HWND control) {
  const KlibSettings& settings = Klib();
  const int id = control != 0 ? ::GetDlgCtrlID(control) : 0;
  if (id == kTypeChooserTitleId) {
    SetTextColor(dc, settings.Colour(kColour25));
    SetBkColor(dc, kTypeChooserTitleBackground);
    return static_cast<LRESULT>(static_cast<HBRUSH>(titleBrush_));
  }
  SetTextColor(dc, settings.Colour(kColourNormal));
  if (id == kTypeChooserListId || id == kTypeChooserSearchTextId) {
    SetBkColor(dc, kTypeChooserFieldBackground);
    return static_cast<LRESULT>(static_cast<HBRUSH>(fieldBrush_));
  }
  return static_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void CSelectPlaneDlg::OnShown() {
  ShowMainWindow(false);
  const OwnModel own = g_ownAircraft().Snapshot().model;
  const std::string title(FieldText(own.title));
  if (CWnd* field = GetDlgItem(kTypeChooserTitleId)) field->SetWindowText(title.c_str());
  CListBox* list = List();
  if (list != nullptr && own.typeIndex >= 0 && own.typeIndex < list->GetCount()) {
    list->SetCurSel(own.typeIndex);
    selectedRow_ = own.typeIndex;
  }
}

BOOL CSelectPlaneDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  switch (id) {
    case kTypeChooserListId:
      if (code == LBN_SELCHANGE) {
        if (const CListBox* list = List()) selectedRow_ = list->GetCurSel();
        return TRUE;
      }
      if (code == LBN_DBLCLK) {
        OnOK();
        return TRUE;
      }
      break;
    case kTypeChooserSearchId:
      if (code == BN_CLICKED) {
        NewSearch();
        return TRUE;
      }
      break;
    case kTypeChooserSearchNextId:
      if (code == BN_CLICKED) {
        NextSearch();
        return TRUE;
      }
      break;
    default:
      break;
  }
  return CDialogEx::OnCommand(wParam, lParam);
}

int CSelectPlaneDlg::NewSearch() {
  searchStart_ = 0;
  CWnd* edit = GetDlgItem(kTypeChooserSearchTextId);
  if (edit == nullptr) return kTypeSearchNoText;
  std::string text;
  edit->GetWindowText(text);
  if (text.size() > kTypeSearchTextMax) text.resize(kTypeSearchTextMax);
  if (text.empty()) return kTypeSearchNoText;
  searchText_ = AsciiUpper(text);
  return NextSearch();
}

int CSelectPlaneDlg::NextSearch() {
  if (searchText_.empty()) return kTypeSearchNoText;
  CListBox* list = List();
  if (list == nullptr) return kTypeSearchEnd;
  const int rows = list->GetCount();
  for (int row = searchStart_; row < rows; ++row) {
    if (AsciiUpper(list->ItemText(row)).find(searchText_) == std::string::npos) continue;
    list->SetCurSel(row);
    selectedRow_ = row;
    searchStart_ = row + 1;
    return row;
  }
  return kTypeSearchEnd;
}

void CSelectPlaneDlg::OnOK() {
  const CListBox* list = List();
  const int row = list != nullptr ? list->GetCurSel() : -1;
  if (row >= 0) selectedRow_ = row;
  // A row past the type table's end would give another record's type.
  if (row >= 0 && IsTypeTableRow(row)) {
    MatchTitleToIcao(row);
    CountSessionPeers();
    if (g_sessionOpen.load()) SendMyIdentityToSessionPeers();
  }
  ShowWindow(SW_HIDE);
  ShowMainWindow(true);
}

void CSelectPlaneDlg::OnCancel() {
  ShowWindow(SW_HIDE);
  ShowMainWindow(true);
}
