// Travel times, velocities and event location of one AE event.
//
// The catalogue engine copies what the models need (sensor geometry, sample shape,
// velocity history and location options) into an AELocSetup and the current record's
// hypocentre and arrivals into an AELocEvent, runs the locator and copies the event back.
// Keeping the mathematics on these two plain structures lets it be checked against
// exact synthetic arrivals without a parameter file or a catalogue.
#pragma once
#include <array>
#include <cstdint>

constexpr int kAEMaxArrivals = 32;

// Hypocentre, velocities and arrival slots of one event (slot k is arrival k; its sensor
// is sensor[k]).
struct AELocEvent {
  float x = 0.0f, y = 0.0f, z = 0.0f, t0 = 0.0f;
  float vx = 0.0f, vy = 0.0f, vz = 0.0f;
  std::int32_t sec = 0;  // event time, whole seconds on the catalogue's axis
  int count = 0;         // arrivals used (0 after a failed location)
  std::array<float, kAEMaxArrivals> time{}, sn{}, amp{}, rise{};
  std::array<std::int8_t, kAEMaxArrivals> pol{}, sensor{};
};

struct AELocSetup {
  // Sensors (positions in mm, sample centred on the origin).
  int nSensors = 0;
  std::array<std::array<double, 3>, kAEMaxArrivals> sensorXYZ{};
  std::array<float, kAEMaxArrivals> sensorSign{};
  // Sample: shape 0 is a cylinder; end faces at z = +-sizeZ/2.
  int shape = 0;
  float sizeX = 50.0f, sizeY = 50.0f, sizeZ = 100.0f, diameter = 50.0f;
  float velocityAux = 0.0f;  // P velocity of the end pieces beyond the end faces
  // Velocity history: entry k holds (Vx, Vy, Vz) from velTime[k] seconds on.
  int nVelEntries = 0;
  const std::int32_t* velTime = nullptr;
  const float (*vel)[3] = nullptr;
  int velTimeForm = 0;
  // Location options.
  int gridSearch = 0;  // 0 iterative, 3/5 full grid, 13 grid start
  int fixX = 0, fixY = 0;
  float fixXValue = 0.0f, fixYValue = 0.0f;
  float minSN = 2.0001f, maxRes = 1.0f, hDim = 0.52f;
  int gridX = 20, gridY = 20, gridZ = 20, gridNP = 8;
  std::array<double, 3> vCalib{};  // adopted calibration velocities; used when vCalib[0] >= 0.1
};

class AELocator {
 public:
  AELocator(const AELocSetup& setup, AELocEvent& event) : s_(setup), e_(event) {}

  // --- Travel times (times in the unit of the arrivals, lengths in mm).
  float TravelTime(int slot) const;
  void TravelTimeDeriv(int slot, float* t, float* dx, float* dy, float* dz) const;
  void TravelTimeDerivXZ(int slot, float* t, float* dx, float* dz) const;
  void TravelTimeDerivYZ(int slot, float* t, float* dy, float* dz) const;
  void TravelTime3(int slot, float* t, float* dx, float* dy, float* dz) const;
  void SetVelocityForTime();
  // 0 when the event has fewer than 5 arrivals, else 1 with the cosine of the ray's
  // incidence on the sensor's face and the distance.
  int GetSensorIncidence(int sensor, float* cosIncidence, float* distance) const;
  // Householder least squares of A x ~ b (A: m x n by columns); A and b are overwritten.
  // 0 when the system is rank deficient at the tolerance.
  static int SolveLeastSquares(float* A, float* x, float* b, int m, int n, float tol);

  // --- Location. residuals holds nSensors entries.
  int Locate(float* residuals, int startSlot);
  int LocateDefault(float* residuals, const double* vel);
  int LocateFixedX(float* residuals, const double* vel, float x0);
  int LocateFixedY(float* residuals, const double* vel, float y0);
  int LocateLSQ(float* residuals, const double* vel, int startSlot);
  int LocateGrid(float* residuals);
  int GridSearch(int n, const float* w);
  void GetSensorWeights(float* w) const;

  // Slot helpers.
  static void KeepBySN(AELocEvent& ev, int slots, float threshold, int* n);
  static void SwapArrivals(AELocEvent& ev, int i, int j);
  static void MinMaxIndex(const float* a, int n, int* iMin, float* min, int* iMax, float* max);
  static void MinIndex(const float* a, int n, int* i);

 private:
  enum class Model { E, P, XZ, TDetour };
  struct Method;
  int Iterate(const Method& m, float* residuals, const float* w, int n);
  enum class StepResult { Moved, NoWeight, Singular };
  StepResult Step(const Method& m, float* residuals, const float* w, int n, float* stepLength);
  const std::array<double, 3>& Pos(int slot) const;
  float ModelTime(Model model, int slot, float d[3]) const;
  float PlainTravelTime(int slot) const;
  bool WeightedMeanOrigin(const float* w, int n, float* t0) const;
  void SetVelocities(const double* vel, bool onlyXZ);
  void Drop(int* n, bool byTime);

  const AELocSetup& s_;
  AELocEvent& e_;
};
