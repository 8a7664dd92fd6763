// One located event of the document's event list. The catalogue engine's statistics and
// sheets take the list as an argument, so the entry lives beside the catalogue.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

struct AEEventEntry {
  float x = 0, y = 0, z = 0;  // mm, origin at the sample centre
  float Mw = 0;
  float iso = 0;
  float clvd = 0;
  float CC = 0;
  double time = 0;  // seconds on the catalogue's time axis
  std::int16_t arrivals = 0;
  std::int32_t record = 0;
  std::uint8_t flags = 0;
};

using AEEventList = std::vector<std::unique_ptr<AEEventEntry>>;
