// One event of the catalogue as it is kept in memory: the 128-byte header followed by
// six arrays of 32 arrivals. The file holds only the first n entries of each array (n
// sensors) and in another order; AEHRecordIO.h converts between the two byte by byte.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int AEH_MAX_SENSORS = 32;
constexpr int AEH_HEADER_SIZE = 128;

// Class flags of header byte 67.
constexpr std::uint8_t AEH_FLAG_LOCATED = 0x01;
constexpr std::uint8_t AEH_FLAG_EM = 0x02;
constexpr std::uint8_t AEH_FLAG_TEMPLATE = 0x08;
constexpr std::uint8_t AEH_FLAG_DETECTED = 0x10;
constexpr std::uint8_t AEH_FLAG_LOCKED = 0x20;
constexpr std::uint8_t AEH_FLAG_MECHANISM = 0x80;

struct AEHRecord {
  // Header; the comment gives each field's byte offset in the record.
  std::uint8_t nYear;        // 0: low 8 bits of the waveform's year
  std::uint8_t nMonth;       // 1
  std::uint8_t nDay;         // 2
  std::uint8_t nHour;        // 3
  std::uint8_t nMinute;      // 4
  std::uint8_t nSecond;      // 5
  std::int8_t nArrivals;     // 6: arrivals used by the location; -1 marks noise
  std::int8_t nPeakLevel;    // 7: magnitude of the matching peak in quarter units
  std::int32_t nTimeSec;     // 8: event time on the catalogue axis, whole seconds
  std::int32_t nTimeUs;      // 12: and microseconds
  float fFc;                 // 16: corner frequency
  float fMw;                 // 20: Mw from the median amplitude
  float fIso;                // 24: isotropic part of the source
  float fClvd;               // 28: CLVD part
  float fX, fY, fZ;          // 32..40: hypocentre (mm)
  float fT0;                 // 44: origin time
  float fDX, fDY, fDZ, fDT;  // 48..60: errors
  std::int8_t nMecType;      // 64: 0 none, 1 S, 2 T, 3 C, 4 TS, 5 moment tensor
  std::uint8_t reserved65[2];
  std::uint8_t nFlags;  // 67: class flags (AEH_FLAG_*)
  std::uint8_t reserved68[16];
  float fCC;                   // 84: template correlation
  float fSN1, fSN2;            // 88, 92: template-match signal-to-noise values
  float fMw2;                  // 96: Mw from the rms amplitude
  float fStrike, fDip, fRake;  // 100..108: mechanism (degrees)
  std::int32_t nIndex;         // 112: record index, rewritten by every read
  float fVx, fVy, fVz;         // 116..124: velocities used by the location

  // Arrivals, in memory order.
  float fTime[AEH_MAX_SENSORS];  // microseconds from the first sample of the waveform
  float fSN[AEH_MAX_SENSORS];
  float fAmp[AEH_MAX_SENSORS];
  float fRise[AEH_MAX_SENSORS];
  std::int8_t nPolarity[AEH_MAX_SENSORS];
  std::int8_t nSensor[AEH_MAX_SENSORS];
};

static_assert(sizeof(AEHRecord) == 704, "the record is copied as one 704-byte block");
static_assert(offsetof(AEHRecord, nTimeSec) == 8 && offsetof(AEHRecord, nMecType) == 64 &&
                  offsetof(AEHRecord, nFlags) == 67 && offsetof(AEHRecord, fCC) == 84 &&
                  offsetof(AEHRecord, nIndex) == 112 && offsetof(AEHRecord, fVz) == 124 &&
                  offsetof(AEHRecord, fTime) == 128,
              "header fields at their catalogue offsets");

// Header bytes <-> record header (all 128 bytes, little-endian).
void AEH_DecodeHeader(const std::uint8_t* bytes, AEHRecord* rec);
void AEH_EncodeHeader(const AEHRecord& rec, std::uint8_t* bytes);
// Record in the file layout of n sensors (128 + 18 n bytes) <-> record.
void AEH_DecodeRecord(const std::uint8_t* bytes, int n, AEHRecord* rec);
void AEH_EncodeRecord(const AEHRecord& rec, int n, std::uint8_t* bytes);
