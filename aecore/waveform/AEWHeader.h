// The fixed header of a waveform record: recording parameters and start time. Event files
// store its first 64 bytes (63 when the magic has 7 bytes); the event number at 64 lives
// in memory only.
#pragma once
#include <cstddef>
#include <cstdint>

struct AEWHeader {
  char szMagic[8];           // 0: "AEWAVE05", "AEWAVE04", "AEW01"; byte 7 is the version
  char szName[8];            // 8: file-set name, not terminated when 8 long
  std::int32_t nReserved16;  // 16
  float fScale;              // 20: amplitude scale
  std::int16_t nMin;         // 24: smallest sample
  std::int16_t nMax;         // 26: largest sample
  std::int32_t nReserved28;  // 28
  std::int32_t nSec;         // 32: start time, whole seconds
  std::int32_t nUsec;        // 36: and microseconds
  std::int16_t nChannels;    // 40
  std::int16_t nBits;        // 42: ADC resolution
  std::int16_t nSamples;     // 44: samples per channel
  std::int16_t nRate;        // 46: samples per microsecond
  std::uint16_t nEvent16;    // 48: event number, low 16 bits
  std::int16_t nYear;        // 50
  std::int16_t nMonth;       // 52
  std::int16_t nDay;         // 54
  std::int16_t nHour;        // 56
  std::int16_t nMinute;      // 58
  std::int16_t nSecond;      // 60
  std::int16_t nStatus;      // 62: negative marks a rejected event
  std::int32_t nEvent;       // 64: event number (memory only)
};

static_assert(sizeof(AEWHeader) == 68, "68 bytes in memory");
static_assert(offsetof(AEWHeader, fScale) == 20 && offsetof(AEWHeader, nSec) == 32 &&
                  offsetof(AEWHeader, nChannels) == 40 && offsetof(AEWHeader, nEvent16) == 48 &&
                  offsetof(AEWHeader, nStatus) == 62 && offsetof(AEWHeader, nEvent) == 64,
              "fields at their file offsets");

constexpr int AEW_HEADER_BYTES = 68;
constexpr int AEW_FILE_HEADER_BYTES = 64;

// Little-endian image of the header (68 bytes) <-> header.
void AEW_EncodeHeader(const AEWHeader& h, std::uint8_t* bytes);
void AEW_DecodeHeader(const std::uint8_t* bytes, AEWHeader* h);
