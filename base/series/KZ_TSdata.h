// One multichannel recording of the mechanical side of an experiment (load, stress,
// pressure, strains, displacements, AE counts) on one time axis. Samples are raw 32-bit
// integers per channel; each channel carries its calibration (scale and offset), a base
// for relative readings, a plot range and a colour. Loaded from KV text, KVDATA02B and
// the acquisition program's raw "DLV" files, written back as KV text.
#pragma once
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/WinTypes.h"

namespace plat {
class CDC;
}

struct KZ_TSchannel {
  std::int32_t nEnabled = 1;
  char szName[64] = {};  // selects colours, plot defaults, AE handling and formulas
  char szUnit[16] = {};
  float fInMax = 2.5f;  // input range, volts
  float fInMin = -2.5f;
  float fGain = 1.0f;  // engineering units per volt
  float fBase = 0.0f;  // subtracted from relative readings
  float fOffset = 0.0f;
  double dVoltsPerCount = 7.62939453125e-5;
  double dScale = 7.62939453125e-5;  // engineering units per count
  std::int32_t nPlot = 1;            // plotted and exported
  float fPlotA = 1.0f;
  float fPlotB = 0.0f;
  float fPlotC = 1.0f;
  float fPlotD = 1.0f;
  float fPlotMin = 0.0f;
  float fPlotMax = 0.0f;
  COLORREF crColour = 0;
};

// `count` zeroed arrays of `entries` 32-bit integers; null when any allocation fails.
std::int32_t** KZ_AllocChannelArrays(int entries, int count);
void KZ_FreeChannelArrays(std::int32_t** arrays, int count);

class KZ_TSdata {
 public:
  double* m_pTime = nullptr;           // ms since the start time
  std::int32_t** m_ppData = nullptr;   // one raw-sample array per channel
  KZ_TSchannel* m_pChannel = nullptr;  // channel count + 4 records (owned unless handed in)
  std::int16_t m_nChannels = 0;
  std::int32_t m_nSamples = 0;
  std::int32_t m_nReserved[4] = {};
  std::int32_t m_nViewFirst = 0;  // selected view window, kept up to date by ThinSamples
  std::int32_t m_nViewLast = 0;
  std::int32_t m_nCapacity = 0;
  std::int32_t m_nFlag = 1;
  std::int64_t m_tStart = 0;  // seconds since 1970-01-01 00:00:00 UTC
  std::string m_strTitle;     // the path the series was loaded from
  std::unique_ptr<plat::File> m_pFile;

  KZ_TSdata() = default;
  virtual ~KZ_TSdata();
  KZ_TSdata(const KZ_TSdata&) = delete;
  KZ_TSdata& operator=(const KZ_TSdata&) = delete;

  void Free();
  // Room for `capacity` samples (+ 8) of `channels` channels with default records (or the
  // caller's, which stay the caller's); false, with an empty series, when memory runs out.
  bool Alloc(int channels, int capacity, bool startNow, KZ_TSchannel* records);
  // New zeroed arrays of capacity + 2 samples (the contents are lost).
  bool Realloc(int capacity);
  void SetDefaultColours();
  std::tm StartTime() const;  // local calendar time of the start

  // raw x scale + offset in single precision, less the base when relative, plus a
  // channel formula "FUN=a ... CHN(k)" adding a times channel k's relative value. A
  // formula that leads back to a channel already being evaluated adds nothing, so
  // channels referring to each other in a cycle cannot recurse for ever.
  float Value(int channel, int sample, bool relative) const;
  // Relative value at the first sample at or after `ms`; 0 with the index at the sample
  // count when there is none.
  float ValueAtTime(double ms, int channel, int* index) const;
  // The same search, held at the last sample; one relative value per channel. Returns
  // the channel count.
  int ValuesAtTime(double ms, double* values, int* index) const;
  // Range of the channel's relative values; returns max - min.
  float GetRange(int channel, float* max, float* min) const;
  // Keeps sample 0 and every sample at least `minStep` ms after the last kept one, or
  // closer but differing from it by more than `threshold` in a plotted channel other
  // than an AE count.
  void ThinSamples(int minStep, std::int16_t threshold);
  // Centred moving average of 2n + 1 raw samples (integer mean); the first and last n stay.
  void SmoothChannel(int halfWidth, int channel);
  void SmoothAEChannels(int halfWidth);

  // A channel as a polyline: time t0 (s) at x0 and the plot-range minimum at y0, w and h
  // for the time span T (s) and the plot range; points closer than 50 units in both
  // directions to the last drawn one are left out.
  void DrawChannel(plat::CDC* dc, int x0, int y0, int w, int h, double T, int channel, double t0,
                   int first, bool relative, int penWidth, COLORREF colour) const;
  // a x channel c1 + b x channel c2 in c1's plot range; `r` from (left, bottom) to
  // (right, top) in a y-up mapping.
  void DrawChannelSum(plat::CDC* dc, const RECT& r, double T, int c1, double a, int c2, double b,
                      double t0, int first, bool relative, int penWidth, COLORREF colour) const;
  // Every sample as a circle of radius 50 and the polyline through them (raw x scale).
  void DrawChannelPoints(plat::CDC* dc, const RECT& r, double T, int channel, double t0, int first,
                         int penWidth, COLORREF colour) const;

  // By the ending of the path: "KV0" KV text, "KVB" KVDATA02B, else a raw "DLV" file
  // (records first .. last, both written back). A file that is refused leaves the series
  // as it was and, unless it could not be opened at all, tells the user why.
  bool Load(const std::string& path, std::int64_t* first, std::int64_t* last);
  bool ReadKVText(const std::string& path);
  bool ReadKVBinary(const std::string& path);
  // The plotted channels of the samples with t0 <= time <= t1 (ms) as KV text.
  bool WriteKVText(const std::string& path, double t0, double t1) const;

  // A channel's value with its name's formula resolved once, for reading many samples:
  // the channels the formula chain adds, outermost first, each with its factor.
  struct ValueChain {
    struct Term {
      int channel;
      float factor;  // of the next term's value (0 for the last)
      bool relative;
    };
    std::vector<Term> terms;
  };
  ValueChain ChainOf(int channel, bool relative) const;
  // Value(channel, sample, relative) for the chain's channel and flag.
  float ChainValue(const ValueChain& chain, int sample) const;

 private:
  bool ReadRaw(const std::string& path, std::int64_t* first, std::int64_t* last);
  void Swap(KZ_TSdata& other) noexcept;
  float ValueOnPath(int channel, int sample, bool relative, const void* path) const;
  bool m_bOwnChannels = true;
};
