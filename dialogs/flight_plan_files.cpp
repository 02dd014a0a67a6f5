// The forms' files: ".tkp" plan files (the raw record) and route files.
#include <array>
#include <filesystem>
#include <fstream>

#include "base/klib_settings.h"
#include "core/flight_plan.h"
#include "dialogs/flight_plan_form.h"
#include "dialogs/flight_plan_texts.h"
#include "win/file_dialog.h"
#include "win/msgbox.h"
#include "win/profile.h"

namespace {

namespace id = plan_control;

constexpr DWORD kPlanDialogFlags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_EXPLORER;

// The chosen path, or empty when the pilot cancelled.
std::string ChooseFile(bool open, const char* extension, const char* filter, const std::string& folder, CWnd* owner) {
  CFileDialog dialog(open ? TRUE : FALSE, extension, nullptr,
                     kPlanDialogFlags | (open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT), filter, owner);
  dialog.m_ofn.lpstrInitialDir = folder.c_str();
  return dialog.DoModal() == IDOK ? dialog.GetPathName() : std::string();
}

std::string ProfileText(const char* section, const char* key, std::size_t maxChars, const char* path) {
  std::array<char, 64> text{};
  const auto size = static_cast<DWORD>(std::min(maxChars + 1, text.size()));
  GetPrivateProfileStringA(section, key, "", text.data(), size, path);
  text.back() = '\0';
  return text.data();
}

}  // namespace

std::string ReadRouteWaypoints(const char* iniPath, std::size_t limit) {
  std::string route;
  for (int n = 1; n <= kRouteLastWaypoint; ++n) {
    const std::string section = "WAYPOINT_" + std::to_string(n);
    const std::string waypoint = ProfileText(section.c_str(), "ID", 7, iniPath);
    if (waypoint.empty()) {
      // A waypoint with a name but no ID is skipped; with neither the route ends.
      if (ProfileText(section.c_str(), "NAME", 63, iniPath).empty()) break;
      continue;
    }
    if (route.size() + waypoint.size() + 1 > limit) break;
    route += waypoint;
    route += ' ';
  }
  return route;
}

void CFlightPlanForm::OnLoadFlightPlan() {
  const std::string path = ChooseFile(true, kPlanFileExtension, kPlanFileFilter, FlightPlansFolder(), this);
  if (path.empty()) return;
  LoadPlanFile(path);
}

bool CFlightPlanForm::LoadPlanFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    PrintMessage(kColourError, 0, plan_text::kLoadError);
    return false;
  }
  FlightPlanRecordBytes bytes{};
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto got = static_cast<std::size_t>(file.gcount());
  // Taken as it stands (no decoding), but with every text terminated. An
  // aircraft index past the list keeps the file's own type (RecordToForm).
  FlightPlanRecord record = ReadFlightPlanRecord(std::span<const std::uint8_t>(bytes.data(), got));
  RecordToForm(record);
  SetCurrentFlightPlan(record);
  HideAndShowMainWindow();
  return true;
}

void CFlightPlanForm::OnSaveFlightPlan() {
  FlightPlanRecord record{};
  if (ValidateAndCollect(record) == 0) return;
  const std::string folder = FlightPlansFolder();
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::create_directory(folder, ignored);
  const std::string path = ChooseFile(false, kPlanFileExtension, kPlanFileFilter, folder, this);
  if (path.empty()) return;
  SavePlanFile(path, record);
}

bool CFlightPlanForm::SavePlanFile(const std::string& path, const FlightPlanRecord& record) {
  const FlightPlanRecordBytes bytes = WriteFlightPlanRecord(record);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (file) file.close();
  const bool written = !file.fail();
  if (!written) PrintMessage(kColourError, 0, plan_text::kSaveError);
  HideAndShowMainWindow();
  return written;
}

void CFlightPlanForm::OnClearFlightPlan() {
  // The aircraft stays: its type, and its line (the own aircraft's, when known, replaces it).
  const FlightPlanRecord current = CurrentFlightPlan();
  FlightPlanRecord cleared{};
  cleared.aircraftType = current.aircraftType;
  cleared.aircraftIndex = current.aircraftIndex;
  RecordToForm(cleared);
}

void CFlightPlanUS::OnImportRoute() {
  const std::string path = ChooseFile(true, kRouteFileExtension, kRouteFileFilter, FlightPlansFolder(), this);
  if (path.empty()) return;
  ImportRouteFile(path);
}

void CFlightPlanUS::ImportRouteFile(const std::string& path) {
  SetFieldText(id::kDeparture, ProfileText("DEPARTURE", "ID", kPlanAirportChars, path.c_str()));
  SetFieldText(id::kDestination, ProfileText("ARRIVAL", "ID", kPlanAirportChars, path.c_str()));
  SetFieldText(id::kRoute, ReadRouteWaypoints(path.c_str(), kPlanFormFreeTextChars));
  HideAndShowMainWindow();
}
