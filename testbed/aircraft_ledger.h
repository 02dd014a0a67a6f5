// What the plug-in stand-ins did with each pilot's AI aircraft, from their
// event lines ("add SK0001 model ...", "remove SK0001", "remove SK0001 (link
// ended)", "refuse SK0001"), kept per stand-in: each restart is a simulator of
// its own, which the client fills again with the pilots still flying.
// Thread-safe: the lines come from the stand-ins' threads.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

struct AircraftEvents {
  int adds = 0;
  int removes = 0;         // by the client
  int linkEndRemoves = 0;  // the plug-in link ended with the aircraft still there
  int refusals = 0;
};

class AircraftLedger {
 public:
  // The lines from now on belong to the next stand-in.
  void NextInstance();
  // Any other line is ignored.
  void Take(std::string_view line);
  int Instances() const;
  AircraftEvents Of(int instance, const std::string& callsign) const;
  std::map<std::string, AircraftEvents> All(int instance) const;

 private:
  mutable std::mutex mutex_;
  int instance_ = 0;
  std::map<int, std::map<std::string, AircraftEvents>> byInstance_;
};
