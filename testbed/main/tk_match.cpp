// tk_match: runs the title matcher over titles read from standard input, one
// per line (the bytes as they stand, the line end removed; a title ends at a
// NUL byte, as the program's titles do). For each title one line of five TAB
// separated fields: the decision list's result (with an empty type buffer),
// the type it wrote (empty when none), the military flag (0 or 1), then the
// scorer's result and type on the same title.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "core/aircraft_type_db.h"
#include "core/table_memory.h"
#include "sim/title_matcher.h"
#include "sim/title_type_scorer.h"

namespace {
constexpr std::string_view kDefaultTypesFile = "res/data/tk_aircrafts.txt";

struct Options {
  bool normalise = false;
  std::string typesFile;
};

void Usage(std::ostream& out) {
  out << "usage: tk_match [--normalise] [--types FILE] < titles\n"
         "  Prints per title: list result, list type, military flag, scorer result, scorer type (TAB separated).\n"
         "  --normalise    pass each title through the title normalisation first\n"
         "  --types FILE   the aircraft type file (default res/data/tk_aircrafts.txt, here or in the source tree)\n";
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      Usage(std::cout);
      std::exit(0);
    }
    if (name == "--normalise") {
      options.normalise = true;
    } else if (name == "--types" && i + 1 < argc) {
      options.typesFile = argv[++i];
    } else {
      std::cerr << "tk_match: " << (name == "--types" ? "missing value of " : "unknown argument ") << name << "\n";
      Usage(std::cerr);
      return std::nullopt;
    }
  }
  if (options.typesFile.empty()) {
    options.typesFile = std::string(kDefaultTypesFile);
    if (!std::filesystem::exists(options.typesFile)) options.typesFile = std::string(TK_SOURCE_DIR "/") + options.typesFile;
  }
  return options;
}

// Only the type table is needed, not the program's other big tables.
bool LoadTypes(const std::string& path) {
  AircraftTypeDb& db = g_aircraftTypeDb();
  db.records = AllocateTableRecords<AircraftTypeRecord>(kAircraftTypeSlots);
  return db.records != nullptr && LoadAircraftTypes(path) > 0;
}
}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return 2;
  if (!LoadTypes(options->typesFile)) {
    std::cerr << "tk_match: cannot load the aircraft types from " << options->typesFile << "\n";
    return 2;
  }

  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (options->normalise) NormaliseTitle(line.data());
    const char* title = line.c_str();
    char listType[kTitleTypeBufferSize] = {};
    int military = 0;
    const int listResult = MatchTitleToIcaoType(title, listType, &military);
    char guessType[kTitleTypeBufferSize] = {};
    const int guessResult = GuessIcaoTypeFromTitle(title, guessType);
    std::cout << listResult << '\t' << listType << '\t' << military << '\t' << guessResult << '\t' << guessType << '\n';
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}
