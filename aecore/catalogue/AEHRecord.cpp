#include "aecore/catalogue/AEHRecord.h"

#include <cstring>

#include "platform/ByteOrder.h"

void AEH_DecodeHeader(const std::uint8_t* b, AEHRecord* r) {
  r->nYear = b[0];
  r->nMonth = b[1];
  r->nDay = b[2];
  r->nHour = b[3];
  r->nMinute = b[4];
  r->nSecond = b[5];
  r->nArrivals = static_cast<std::int8_t>(b[6]);
  r->nPeakLevel = static_cast<std::int8_t>(b[7]);
  r->nTimeSec = le::GetI32(b + 8);
  r->nTimeUs = le::GetI32(b + 12);
  float* f1[] = {&r->fFc, &r->fMw, &r->fIso, &r->fClvd, &r->fX,  &r->fY,
                 &r->fZ,  &r->fT0, &r->fDX,  &r->fDY,   &r->fDZ, &r->fDT};
  for (int i = 0; i < 12; ++i) *f1[i] = le::GetF32(b + 16 + 4 * i);
  r->nMecType = static_cast<std::int8_t>(b[64]);
  std::memcpy(r->reserved65, b + 65, 2);
  r->nFlags = b[67];
  std::memcpy(r->reserved68, b + 68, 16);
  float* f2[] = {&r->fCC, &r->fSN1, &r->fSN2, &r->fMw2, &r->fStrike, &r->fDip, &r->fRake};
  for (int i = 0; i < 7; ++i) *f2[i] = le::GetF32(b + 84 + 4 * i);
  r->nIndex = le::GetI32(b + 112);
  r->fVx = le::GetF32(b + 116);
  r->fVy = le::GetF32(b + 120);
  r->fVz = le::GetF32(b + 124);
}

void AEH_EncodeHeader(const AEHRecord& r, std::uint8_t* b) {
  b[0] = r.nYear;
  b[1] = r.nMonth;
  b[2] = r.nDay;
  b[3] = r.nHour;
  b[4] = r.nMinute;
  b[5] = r.nSecond;
  b[6] = static_cast<std::uint8_t>(r.nArrivals);
  b[7] = static_cast<std::uint8_t>(r.nPeakLevel);
  le::PutI32(b + 8, r.nTimeSec);
  le::PutI32(b + 12, r.nTimeUs);
  const float f1[] = {r.fFc, r.fMw, r.fIso, r.fClvd, r.fX,  r.fY,
                      r.fZ,  r.fT0, r.fDX,  r.fDY,   r.fDZ, r.fDT};
  for (int i = 0; i < 12; ++i) le::PutF32(b + 16 + 4 * i, f1[i]);
  b[64] = static_cast<std::uint8_t>(r.nMecType);
  std::memcpy(b + 65, r.reserved65, 2);
  b[67] = r.nFlags;
  std::memcpy(b + 68, r.reserved68, 16);
  const float f2[] = {r.fCC, r.fSN1, r.fSN2, r.fMw2, r.fStrike, r.fDip, r.fRake};
  for (int i = 0; i < 7; ++i) le::PutF32(b + 84 + 4 * i, f2[i]);
  le::PutI32(b + 112, r.nIndex);
  le::PutF32(b + 116, r.fVx);
  le::PutF32(b + 120, r.fVy);
  le::PutF32(b + 124, r.fVz);
}

// File order of the arrays: time, amplitude, S/N, rise time, polarity, sensor index.
void AEH_DecodeRecord(const std::uint8_t* b, int n, AEHRecord* r) {
  AEH_DecodeHeader(b, r);
  const std::uint8_t* p = b + AEH_HEADER_SIZE;
  for (int k = 0; k < n; ++k) r->fTime[k] = le::GetF32(p + 4 * k);
  for (int k = 0; k < n; ++k) r->fAmp[k] = le::GetF32(p + 4 * n + 4 * k);
  for (int k = 0; k < n; ++k) r->fSN[k] = le::GetF32(p + 8 * n + 4 * k);
  for (int k = 0; k < n; ++k) r->fRise[k] = le::GetF32(p + 12 * n + 4 * k);
  for (int k = 0; k < n; ++k) r->nPolarity[k] = static_cast<std::int8_t>(p[16 * n + k]);
  for (int k = 0; k < n; ++k) r->nSensor[k] = static_cast<std::int8_t>(p[17 * n + k]);
}

void AEH_EncodeRecord(const AEHRecord& r, int n, std::uint8_t* b) {
  AEH_EncodeHeader(r, b);
  std::uint8_t* p = b + AEH_HEADER_SIZE;
  for (int k = 0; k < n; ++k) le::PutF32(p + 4 * k, r.fTime[k]);
  for (int k = 0; k < n; ++k) le::PutF32(p + 4 * n + 4 * k, r.fAmp[k]);
  for (int k = 0; k < n; ++k) le::PutF32(p + 8 * n + 4 * k, r.fSN[k]);
  for (int k = 0; k < n; ++k) le::PutF32(p + 12 * n + 4 * k, r.fRise[k]);
  for (int k = 0; k < n; ++k) p[16 * n + k] = static_cast<std::uint8_t>(r.nPolarity[k]);
  for (int k = 0; k < n; ++k) p[17 * n + k] = static_cast<std::uint8_t>(r.nSensor[k]);
}
