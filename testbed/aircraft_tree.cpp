#include "testbed/aircraft_tree.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace {
struct Model {
  std::string_view folder;
  std::string_view file;
};

constexpr std::array<std::string_view, 12> kPackages = {
    "Heavy Metal",    "Laminar Research", "Airliners",   "General Aviation", "Freeware",   "Helicopters",
    "Regional Props", "Business Jets",    "Old Timers",  "Community",        "Studio Nine", "Cargo Fleet"};

constexpr std::array<Model, 24> kModels = {{
    {"B738", "B738"},
    {"Boeing 737-800", "b738_xp11"},
    {"A320neo", "A320"},
    {"Airbus A319", "A319_CFM"},
    {"Cessna 172SP", "Cessna_172SP"},
    {"Cessna 208 Caravan", "C208B"},
    {"KingAir C90", "C90B"},
    {"Baron 58", "Baron_58"},
    {"MD-82", "MD82"},
    {"ATR 72-600", "ATR72"},
    {"Dash 8 Q400", "DHC8-400"},
    {"CRJ-200", "CRJ2"},
    {"Embraer E190", "E190"},
    {"Boeing 747-400", "747-400"},
    {"Boeing 777-300ER", "B77W"},
    {"Learjet 45", "LJ45"},
    {"Citation X", "C750"},
    {"Robinson R22", "R22"},
    {"Bell 206", "B206"},
    {"Piper PA-28 Archer", "PA28_181"},
    {"Cirrus SR22", "SR22"},
    {"Fokker 100", "F100"},
    {"Douglas DC-3", "DC3"},
    {"Schleicher ASK21", "ASK21"},
}};

constexpr std::array<std::string_view, 4> kVariants = {"", "_cargo", "_xp12", "_winglets"};
}  // namespace

bool MakeEmptyFile(const std::string& folder, const std::string& relativePath) {
  namespace fs = std::filesystem;
  const fs::path path = fs::path(folder) / relativePath;
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (error) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out);
}

std::vector<std::string> MakeAircraftTree(const std::string& aircraftFolder, int count) {
  std::vector<std::string> made;
  made.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
  // Each package holds each model in numbered copies ("B738", "B738 2", ...),
  // each copy a few variants of its .acf file.
  const std::size_t perCopy = kPackages.size() * kModels.size() * kVariants.size();
  for (int i = 0; i < count; ++i) {
    const auto n = static_cast<std::size_t>(i);
    const std::size_t copy = n / perCopy;
    const std::size_t inCopy = n % perCopy;
    const std::size_t variant = inCopy / (kPackages.size() * kModels.size());
    const std::size_t model = (inCopy / kPackages.size()) % kModels.size();
    const std::size_t package = inCopy % kPackages.size();
    std::string path(kPackages[package]);
    path += '/';
    path += kModels[model].folder;
    if (copy != 0) path.append(" ").append(std::to_string(copy + 1));
    path += '/';
    path += kModels[model].file;
    path += kVariants[variant];
    path += ".acf";
    if (!MakeEmptyFile(aircraftFolder, path)) return {};
    made.push_back(std::move(path));
  }
  return made;
}
