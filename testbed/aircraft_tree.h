// A generated X-Plane "Aircraft" folder: packages of model folders holding
// zero-byte .acf files under real-looking names, for the scan's tests, the
// demo and the benchmark.
#pragma once

#include <string>
#include <vector>


// Writes `count` distinct .acf files below `aircraftFolder` (created when
// missing): "<package>/<model folder>/<file>.acf", the same names for the same
// count. The relative paths, in creation order; empty when a file could not be made.
std::vector<std::string> MakeAircraftTree(const std::string& aircraftFolder, int count);

// One zero-byte file at `relativePath` below `folder`, its folders made: false on failure.
bool MakeEmptyFile(const std::string& folder, const std::string& relativePath);
