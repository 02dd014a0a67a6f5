// "CrossSimOffsets.ini": one section "OFS_<ICAO>" per airport, keys "SIM0" to
// "SIM9", each "A,B,lat,lon,alt,heading" (family names, degrees, feet).
#pragma once

#include <cstdint>
#include <string_view>

// What a load did.
struct CrossSimLoadResult {
  bool attempted = false;  // the file, an airport and the own family were all there
  int entriesRead = 0;     // good entries, from SIM0 on
  int errorCode = 0;       // the parse code that stopped the load, 0 when none did
  // All ten entries were read: the pilot ways should take their pairs again.
  bool Complete() const;
};

// Reads the section of `icao` (at most 4 characters are used) into the
// program's table, from SIM0 on, until a missing or empty key or a bad value;
// entries from there on keep their values, and an entry that fails to parse
// is left as it was. Each good entry makes `icao` the table's airport. Nothing
// happens when the file is missing, the code is empty or `ownFamily` is 0.
// A bad value is traced (trace mask bit 0x20) with its code, section, key,
// file and text.
CrossSimLoadResult LoadCrossSimOffsets(std::string_view icao, std::int32_t ownFamily, const char* path);
// The same for the nearest airport and the program's offsets file.
CrossSimLoadResult LoadCrossSimOffsets(std::int32_t ownFamily);

enum class CrossSimSaveResult {
  Saved,
  NoAirport,     // no airport within range: nothing written
  InvalidEntry,  // an entry's family has no file name or a value is out of range: nothing written
  WriteFailed,   // the file could not be written (keys before the failing one are written)
};

// Writes the ten entries of the program's table as the section of `icao`.
// Every entry is checked first, so a table that would not load back leaves the
// file untouched; that is traced in the error colour.
CrossSimSaveResult SaveCrossSimOffsets(std::string_view icao, const char* path);
// The same for the nearest airport and the program's offsets file.
CrossSimSaveResult SaveCrossSimOffsets();
