#include "aecore/waveform/AEWHeader.h"

#include <cstring>

#include "platform/ByteOrder.h"

void AEW_EncodeHeader(const AEWHeader& h, std::uint8_t* b) {
  std::memcpy(b, h.szMagic, 8);
  std::memcpy(b + 8, h.szName, 8);
  le::PutI32(b + 16, h.nReserved16);
  le::PutF32(b + 20, h.fScale);
  le::PutI16(b + 24, h.nMin);
  le::PutI16(b + 26, h.nMax);
  le::PutI32(b + 28, h.nReserved28);
  le::PutI32(b + 32, h.nSec);
  le::PutI32(b + 36, h.nUsec);
  const std::int16_t words[] = {
      h.nChannels, h.nBits,  h.nSamples, h.nRate, static_cast<std::int16_t>(h.nEvent16),
      h.nYear,     h.nMonth, h.nDay,     h.nHour, h.nMinute,
      h.nSecond,   h.nStatus};
  for (int i = 0; i < 12; ++i) le::PutI16(b + 40 + 2 * i, words[i]);
  le::PutI32(b + 64, h.nEvent);
}

void AEW_DecodeHeader(const std::uint8_t* b, AEWHeader* h) {
  std::memcpy(h->szMagic, b, 8);
  std::memcpy(h->szName, b + 8, 8);
  h->nReserved16 = le::GetI32(b + 16);
  h->fScale = le::GetF32(b + 20);
  h->nMin = le::GetI16(b + 24);
  h->nMax = le::GetI16(b + 26);
  h->nReserved28 = le::GetI32(b + 28);
  h->nSec = le::GetI32(b + 32);
  h->nUsec = le::GetI32(b + 36);
  std::int16_t* words[] = {&h->nChannels, &h->nBits,   &h->nSamples, &h->nRate,
                           nullptr,       &h->nYear,   &h->nMonth,   &h->nDay,
                           &h->nHour,     &h->nMinute, &h->nSecond,  &h->nStatus};
  for (int i = 0; i < 12; ++i)
    if (words[i]) *words[i] = le::GetI16(b + 40 + 2 * i);
  h->nEvent16 = le::GetU16(b + 48);
  h->nEvent = le::GetI32(b + 64);
}
