// Writes a generated X-Plane Aircraft folder: tk_aircraft_tree <folder> [count]
// (count 300 unless given; 43000 for the benchmark's size).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testbed/aircraft_tree.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: tk_aircraft_tree <aircraft-folder> [count]\n");
    return 2;
  }
  const int count = argc == 3 ? std::atoi(argv[2]) : 300;
  if (count <= 0) {
    std::fprintf(stderr, "tk_aircraft_tree: the count must be a positive number\n");
    return 2;
  }
  const auto made = MakeAircraftTree(argv[1], count);
  if (made.size() != static_cast<std::size_t>(count)) {
    std::fprintf(stderr, "tk_aircraft_tree: could not write the files below %s\n", argv[1]);
    return 1;
  }
  std::printf("%d model files below %s\n", count, argv[1]);
  return 0;
}
