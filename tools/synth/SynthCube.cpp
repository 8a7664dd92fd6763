#include "tools/synth/SynthCube.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "tools/synth/SynthLab.h"

namespace synthcube {

// Staggered over the faces x = +-25, y = +-25 (three each) and z = +-25 (two each).
const double kSensorXYZ[kSensors][3] = {
    {25, -10, -12}, {25, 8, 3},  {25, -3, 15},  {-25, 11, -9}, {-25, -7, 5}, {-25, 2, 17},
    {-12, 25, -14}, {6, 25, -2}, {-4, 25, 13},  {13, -25, -6}, {-9, -25, 8}, {3, -25, -17},
    {-8, -11, 25},  {10, 9, 25}, {7, -12, -25}, {-11, 6, -25}};

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNoise = 10.0;
constexpr double kDecay = 50.0;              // us: the coda rings on to the end of the record
constexpr double kReferenceDistance = 30.0;  // mm: about 8000 counts across the cube

// P radiation pattern 2 (g.n)(g.s) of a double couple for the unit ray g, all in the
// specimen frame (z up); n and s from strike, dip and rake in the north-east-down frame
// that the mechanism fit reports in: north along the specimen's y, east along its x, down
// along -z. That frame is right-handed, so the angles written mean what the fit reports.
double Radiation(const Source& e, const double g[3]) {
  const double f = e.strike * kPi / 180, d = e.dip * kPi / 180, l = e.rake * kPi / 180;
  const double nNed[3] = {-std::sin(d) * std::sin(f), std::sin(d) * std::cos(f), -std::cos(d)};
  const double sNed[3] = {std::cos(l) * std::cos(f) + std::cos(d) * std::sin(l) * std::sin(f),
                          std::cos(l) * std::sin(f) - std::cos(d) * std::sin(l) * std::cos(f),
                          -std::sin(l) * std::sin(d)};
  const double n[3] = {nNed[1], nNed[0], -nNed[2]};
  const double s[3] = {sNed[1], sNed[0], -sNed[2]};
  return 2 * (g[0] * n[0] + g[1] * n[1] + g[2] * n[2]) * (g[0] * s[0] + g[1] * s[1] + g[2] * s[2]);
}

int Failed(std::string* error, const std::string& what) {
  if (error) *error = what;
  return 0;
}

}  // namespace

void Velocities(bool aniso, double& vx, double& vy, double& vz) {
  vx = aniso ? 5.0 : 5.5;
  vy = 5.5;
  vz = aniso ? 6.0 : 5.5;
}

double TravelTime(bool aniso, double x, double y, double z, int k) {
  double vx, vy, vz;
  Velocities(aniso, vx, vy, vz);
  const double dx = kSensorXYZ[k][0] - x, dy = kSensorXYZ[k][1] - y, dz = kSensorXYZ[k][2] - z;
  const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
  const double g[3] = {dx / d, dy / d, dz / d};
  return d / std::sqrt(vx * vx * g[0] * g[0] + vy * vy * g[1] * g[1] + vz * vz * g[2] * g[2]);
}

int Write(const Options& o, std::string* error) {
  const std::string& folder = o.folder;
  const std::string& name = o.name;
  const int events = o.sources.empty() ? o.events : static_cast<int>(o.sources.size());
  const int copy = o.copy;
  const std::uint64_t seed = o.seed;
  const bool aniso = o.aniso;
  if (events < 1 || events > 1000) return Failed(error, "between 1 and 1000 events");
  const int written = copy >= 1 && copy < events ? copy : events;
  double vx, vy, vz;
  Velocities(aniso, vx, vy, vz);
  if (!plat::FolderExists(folder) && !plat::CreateFolder(folder))
    return Failed(error, "cannot create " + folder);

  // Parameter file.
  const std::string pad = folder + "/" + name + ".pad";
  {
    plat::File f;
    if (!f.Open(pad, "wt")) return Failed(error, "cannot write " + pad);
    if (o.lab)
      f.Printf("Synthetic loading test: 50 mm cube, 16 sensors, failure at 11:30, seed %llu\n",
               static_cast<unsigned long long>(seed));
    else
      f.Printf("Synthetic cube 50 mm, 16 sensors, %s P velocity, seed %llu\n",
               aniso ? "Vx 5.0 Vy 5.5 Vz 6.0 mm/us" : "5.5 mm/us",
               static_cast<unsigned long long>(seed));
    f.Printf("Written by tv_synth; truth.txt holds the sources\n");
    f.Printf("Sensors: number, x, y, z (mm), sign, name, sensitivity\n");
    f.Printf("0\n%d\n0\n%d 0 0\n", kSamples, kSensors);
    f.Printf("50.0 50.0 50.0 4 CUBE\n");
    f.Printf("%.1f 0.0 0.0\n", vz);
    for (int k = 0; k < kSensors; ++k)
      f.Printf("%d %.2f %.2f %.2f 1.0 +S%02d gain=1.83e-6\n", k + 1, kSensorXYZ[k][0],
               kSensorXYZ[k][1], kSensorXYZ[k][2], k + 1);
    f.Printf("1\n1 0 %.2f %.2f %.2f\n", vz, vx, vy);
    f.Printf("X=1.0 Y=1.0 Z=1.0\n");
    f.Printf("PEAK=2026/12/10 10:00:00.0\n");
    f.Printf("REF=2026/12/10 10:00:00.0\n");
    f.Printf("END=2026/12/10 12:00:00\n");
    f.Printf("(end of times)\n");
    // A band the lab recordings' 10 MHz rate can carry: the program's default stop edge
    // lies at that rate's Nyquist frequency, where no filter can be designed.
    if (o.lab) f.Printf("FILTER_OPT\nFp=0.0 Fl=0.1 Fh=1.0 Fs=2.0 Ap=0.5 As=5.0\n");
    f.Printf("<LOC_OPT\nRORDER=5\nCC_WIN=200\nCC_SHI=10\nCC_MIN=0.8\n");
    if (o.lab)
      f.Printf("MAG_MIN=%.2f\nMAG_MAX=%.2f\nN_M_FC=%.1f\nM_FC_1M=%.2f\n", kLabMagMin, kLabMagMax,
               kLabMagFcSlope, kLabMagFcConst);
    f.Printf("</LOC_OPT>\n");
    f.Printf("END\n");
    if (!f.Flush()) return Failed(error, "cannot write " + pad);
  }

  // Sources.
  Random rnd(seed);
  std::vector<Source> list = o.sources;
  if (o.sources.empty() && o.lab) list = LabSources(events, rnd);
  for (int i = 0; o.sources.empty() && !o.lab && i < events; ++i) {
    Source e{};
    if (i < 27) {
      e.x = -15.0 + 15.0 * (i % 3);
      e.y = -15.0 + 15.0 * (i / 3 % 3);
      e.z = -15.0 + 15.0 * (i / 9);
    } else {
      ScatterInSphere(e, rnd);
    }
    e.t0 = std::floor(rnd.Uniform(20, 30)) + rnd.Uniform(0.01, 0.09);  // between samples
    e.factor = std::exp(rnd.Uniform(std::log(0.5), std::log(2.0)));
    e.strike = rnd.Uniform(0, 360);
    e.dip = rnd.Uniform(20, 90);
    e.rake = rnd.Uniform(-180, 180);
    list.push_back(e);
  }

  // Catalogue with each event's time (created through the engine, as the program does).
  CAEHypo hypo;
  if (!hypo.LoadPad(pad, false)) return Failed(error, "cannot open the catalogue of " + pad);

  plat::File truth, onsets;
  if (!truth.Open(folder + "/truth.txt", "wt") || !onsets.Open(folder + "/onsets.txt", "wt"))
    return Failed(error, "cannot write the truth files");
  truth.Printf(
      "# index x y z (mm) t0 (us) amplitude_factor strike dip rake (deg; north = y, east = x, "
      "down = -z)%s\n",
      o.lab ? " time (s after 10:00:00) magnitude_above_smallest corner_frequency (MHz)" : "");
  onsets.Printf("# index channel onset (us) polarity amplitude (counts)\n");

  CAEWave wave;
  std::string setName = plat::ToUpper(name);
  wave.SetFileSet(setName, folder, 0, 0);
  wave.Allocate(kSensors, kSamples, kRate);
  const std::string setFolder = folder + "/" + setName + ".00";
  if (!plat::FolderExists(setFolder)) plat::CreateFolder(setFolder);
  for (int i = 0; i < written; ++i) {
    const Source& e = list[i];
    truth.Printf("%d %.4f %.4f %.4f %.5f %.4f %.2f %.2f %.2f", i, e.x, e.y, e.z, e.t0, e.factor,
                 e.strike, e.dip, e.rake);
    if (o.lab) truth.Printf(" %.6f %.3f %.4f", e.time, e.dM, e.fc);
    truth.Printf("\n");
    AEWHeader& h = *wave.m_pHeader;
    h.nBits = 16;
    h.fScale = 1.0f;
    const int seconds = e.time >= 0 ? static_cast<int>(e.time) : 1 + 7 * i;
    h.nSec = seconds;
    h.nUsec = e.time >= 0 ? static_cast<std::int32_t>((e.time - seconds) * 1e6)
                          : static_cast<std::int32_t>(rnd.Uniform(0, 999999));
    h.nYear = 2026;
    h.nMonth = 12;
    h.nDay = 10;
    h.nHour = static_cast<std::int16_t>(10 + seconds / 3600);
    h.nMinute = static_cast<std::int16_t>(seconds / 60 % 60);
    h.nSecond = static_cast<std::int16_t>(seconds % 60);
    h.nStatus = 0;
    for (int k = 0; k < kSensors; ++k) {
      const double dx = kSensorXYZ[k][0] - e.x, dy = kSensorXYZ[k][1] - e.y,
                   dz = kSensorXYZ[k][2] - e.z;
      const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
      const double g[3] = {dx / d, dy / d, dz / d};
      const double v =
          std::sqrt(vx * vx * g[0] * g[0] + vy * vy * g[1] * g[1] + vz * vz * g[2] * g[2]);
      const double onset = e.t0 + d / v;
      const bool live = k < e.liveChannels;
      const double wc = 2 * kPi * (e.fc > 0 ? e.fc : kFrequency);
      const double amplitude = live ? 8000.0 * e.factor * (e.fc > 0 ? e.fc / kLabCornerTop : 1.0) *
                                          (kReferenceDistance / d) * Radiation(e, g)
                                    : 0.0;
      onsets.Printf("%d %d %.5f %d %.1f\n", i, k, onset, live ? (amplitude > 0 ? 1 : -1) : 0,
                    amplitude);
      for (int s = 0; s < kSamples && !live; ++s)
        wave.m_pSamples[static_cast<std::size_t>(k) * kSamples + s] = 0;
      for (int s = 0; s < kSamples && live; ++s) {
        const double t = static_cast<double>(s) / kRate - onset;
        double value = kNoise * rnd.Gauss();
        if (t >= 0) value += amplitude * std::sin(wc * t) * std::exp(-t / kDecay);
        value = std::clamp(std::round(value), -32767.0, 32767.0);
        wave.m_pSamples[static_cast<std::size_t>(k) * kSamples + s] =
            static_cast<std::int16_t>(value);
      }
      wave.m_pPickTime[k] = wave.m_pPickSN[k] = 0.0f;
      wave.m_pPolarity[k] = 0;
      wave.m_pGain[k] = 1.0f;
    }
    wave.UpdateRange();
    if (!wave.SaveNumbered(i, 0)) return Failed(error, "cannot write event " + std::to_string(i));

    AEHRecord& r = hypo.m_Rec;
    r = AEHRecord{};
    r.nYear = static_cast<std::uint8_t>(h.nYear & 0xFF);
    r.nMonth = static_cast<std::uint8_t>(h.nMonth);
    r.nDay = static_cast<std::uint8_t>(h.nDay);
    r.nHour = static_cast<std::uint8_t>(h.nHour);
    r.nMinute = static_cast<std::uint8_t>(h.nMinute);
    r.nSecond = static_cast<std::uint8_t>(h.nSecond);
    r.nTimeSec = h.nSec;
    r.nTimeUs = h.nUsec;
    r.nIndex = i;
    for (int k = 0; k < kSensors; ++k) r.nSensor[k] = static_cast<std::int8_t>(k);
    if (!hypo.PutAEH(i, false))
      return Failed(error, "cannot write catalogue record " + std::to_string(i));
  }
  if (!truth.Flush() || !onsets.Flush()) return Failed(error, "cannot write the truth files");
  if (o.lab && !WriteLabSideFiles(folder, name, seed))
    return Failed(error, "cannot write the side files of " + pad);
  return written;
}

}  // namespace synthcube
