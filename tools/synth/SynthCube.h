// The synthetic acoustic-emission experiment with known sources, written to a folder:
// a 50 mm cube centred on the origin carrying 16 sensors staggered over its six faces.
// Events: a 3 x 3 x 3 grid at -15, 0, +15 mm, then random points within 20 mm of the
// centre (100 in all by default). Each channel holds 2000 16-bit samples at 10 MHz:
// Gaussian noise of 10 counts plus, from the onset t0 + travel time on, a damped 0.3 MHz
// wavelet A sin(2 pi 0.3 t) exp(-t / 50 us) with A = 8000 x (amplitude factor) x (30 mm / d)
// x R, R being the P radiation pattern of the event's double couple (its sign is the first
// motion). A source with a corner frequency fc (the laboratory test's) rings at fc instead,
// A sin(2 pi fc t) exp(-t / 50 us) with A = 8000 x (amplitude factor) x (fc / 0.5 MHz) x
// (30 mm / d) x R, so that its integral, the displacement the magnitude measures, follows
// the amplitude factor. Travel times: d / v with v = 5.5 mm/us, or in the anisotropic variant the
// ellipsoidal model v = sqrt(Vx^2 nx^2 + Vy^2 ny^2 + Vz^2 nz^2) of the ray direction n with
// Vx 5.0, Vy 5.5, Vz 6.0 mm/us. Origin times lie between samples.
//
// Written: <NAME>.pad (parameter file), <NAME>.aeh (catalogue with each event's time),
// <NAME upper case>.00/<iiiiii>.WAV (event i), truth.txt (one line per event: index, x, y,
// z in mm, t0 in us, amplitude factor, strike, dip, rake in degrees with north along the
// specimen's y, east along its x and down along -z, the frame of the mechanism fit; in the
// laboratory test also the event time, the magnitude above the smallest event and the
// corner frequency in MHz) and
// onsets.txt (one line per event and channel: index, channel, onset in us, first-motion
// polarity, amplitude in counts).
// Everything follows from the seed: the same options give the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace synthcube {

constexpr int kSensors = 16;
constexpr int kSamples = 2000;
constexpr int kRate = 10;           // samples per microsecond
constexpr double kFrequency = 0.3;  // MHz

extern const double kSensorXYZ[kSensors][3];  // mm, specimen frame (z up)

// One event: position (mm, specimen frame), origin time (us), amplitude factor, and the
// double couple (degrees; north along the specimen's y, east along its x, down along -z).
struct Source {
  double x = 0, y = 0, z = 0, t0 = 25.05, factor = 1.0, strike = 0, dip = 90, rake = 0;
  int liveChannels = kSensors;  // the channels from this one on are flat (dead)
  // Event time in seconds after the reference time (below 0: 1 + 7 i for event i) and,
  // in the laboratory test, the magnitude above its smallest event.
  double time = -1, dM = 0;
  // Corner frequency (MHz) of a Brune source; 0: the ringing wavelet.
  double fc = 0;
};

struct Options {
  std::string folder;
  int events = 100;
  std::uint64_t seed = 1;
  bool aniso = false;
  std::string name = "Cube";
  // With copy = M (1 <= M < events) only the first M events are written, byte for byte
  // as the whole experiment has them.
  int copy = -1;
  // When given, these events in place of the grid and the random points.
  std::vector<Source> sources;
  // A laboratory loading test in place of the grid and the random points: event times
  // that accelerate towards failure and decay after it, most sources clustered on a fault
  // plane with normal-fault mechanisms, Gutenberg-Richter magnitudes, and the stress-strain
  // (".STS") and AE peak (".PK1") side files beside the parameter file.
  bool lab = false;
};

// The laboratory test's history (seconds after the reference time 10:00:00).
constexpr double kLabDuration = 7200.0;
constexpr double kLabFailure = 5400.0;
// Its fault plane (degrees, north = y, east = x, down = -z) through the cube's centre.
constexpr double kLabStrike = 30.0, kLabDip = 60.0;
// Corner frequency (MHz) of its smallest event. At a constant stress drop the moment
// goes with fc^-3 and, for a Brune source, with the displacement peak over fc; the
// displacement peak, which the magnitude measures, thus goes with fc^-2: an event dM
// above the smallest has fc = 0.5 x 10^(-dM / 2) MHz.
constexpr double kLabCornerTop = 0.5;
// Its parameter file's magnitude window: from the magnitude the program measures for the
// smallest source (the median of the catalogue's magnitude minus the source's dM) to
// just above the largest, 1.4 higher; and the magnitude from the corner frequency,
// N_M_FC log10(fc) + M_FC_1M, of the scaling above on the same scale (fc = 0.5 MHz at
// MAG_MIN).
constexpr double kLabMagMin = -12.71, kLabMagMax = -11.2;
constexpr double kLabMagFcSlope = -2.0, kLabMagFcConst = -13.31;  // -12.71 + 2 log10(0.5)


// P velocities along the axes, mm/us.
void Velocities(bool aniso, double& vx, double& vy, double& vz);

// Straight-ray P travel time (us) from (x, y, z) mm to sensor k under the experiment's model.
double TravelTime(bool aniso, double x, double y, double z, int k);

// Writes the experiment; returns the number of events written, or 0 with the reason in
// *error.
int Write(const Options& options, std::string* error);

// Runs every event of a written experiment through the program's own road (full
// processing: picks, location, magnitudes, corner frequency, first motions, mechanism,
// flags) and stores each record in its catalogue; then, with keepFiles >= 0, deletes the
// event files from number keepFiles on. Returns the number of located events, or -1 with
// the reason in *error.
int Process(const std::string& folder, const std::string& name, int keepFiles,
            std::string* error);

}  // namespace synthcube
