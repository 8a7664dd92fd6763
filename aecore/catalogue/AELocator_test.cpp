#include "aecore/catalogue/AELocator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

using P3 = std::array<double, 3>;

// A 50 mm cube with 16 sensors on its six faces.
AELocSetup CubeSetup() {
  AELocSetup s;
  const std::vector<P3> pos = {{-25, -10, 10}, {-25, 12, -15}, {25, 8, 12},  {25, -14, -9},
                               {-8, -25, 14},  {11, -25, -12}, {9, 25, 15},  {-13, 25, -8},
                               {-10, 8, 25},   {12, -9, 25},   {0, 14, 25},  {-11, -12, -25},
                               {13, 10, -25},  {2, -15, -25},  {-25, 0, -2}, {25, 3, 1}};
  s.nSensors = static_cast<int>(pos.size());
  for (int i = 0; i < s.nSensors; ++i) {
    s.sensorXYZ[i] = pos[i];
    s.sensorSign[i] = 1.0f;
  }
  s.shape = 4;
  s.sizeX = s.sizeY = s.sizeZ = s.diameter = 50.0f;
  return s;
}

double Dist(const P3& a, const P3& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

// Arrivals of a source at src with origin time t0 and straight rays at velocity v (mm/us),
// slot k = sensor k, S/N 20.
AELocEvent Arrivals(const AELocSetup& s, const P3& src, double t0, double v) {
  AELocEvent e;
  for (int k = 0; k < s.nSensors; ++k) {
    e.time[k] = static_cast<float>(t0 + Dist(src, s.sensorXYZ[k]) / v);
    e.sn[k] = 20.0f;
    e.sensor[k] = static_cast<std::int8_t>(k);
    e.pol[k] = 1;
  }
  e.vx = e.vy = e.vz = static_cast<float>(v);
  return e;
}

void ExpectAt(const AELocEvent& e, const P3& src, double tol) {
  EXPECT_NEAR(e.x, src[0], tol);
  EXPECT_NEAR(e.y, src[1], tol);
  EXPECT_NEAR(e.z, src[2], tol);
}

TEST(AELocatorTravel, DerivativesMatchDifferencesOfTheTimes) {
  AELocSetup s = CubeSetup();
  AELocEvent e;
  e.sensor[0] = 2;
  e.vx = 5.2f;
  e.vy = 4.7f;
  e.vz = 4.4f;
  AELocator loc(s, e);
  struct Case {
    const char* name;
    std::function<void(float*, float*, float*, float*)> f;
    bool axis[3];
  };
  std::vector<Case> cases = {
      {"E",
       [&](float* t, float* a, float* b, float* c) { loc.TravelTime3(0, t, a, b, c); },
       {true, true, true}},
      {"T",
       [&](float* t, float* a, float* b, float* c) { loc.TravelTimeDeriv(0, t, a, b, c); },
       {true, true, true}},
      {"XZ",
       [&](float* t, float* a, float*, float* c) { loc.TravelTimeDerivXZ(0, t, a, c); },
       {true, false, true}},
      {"P",
       [&](float* t, float*, float* b, float* c) { loc.TravelTimeDerivYZ(0, t, b, c); },
       {false, true, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    e.x = -7;
    e.y = 3;
    e.z = 5;
    float t, d[3] = {};
    c.f(&t, &d[0], &d[1], &d[2]);
    float* coord[3] = {&e.x, &e.y, &e.z};
    for (int a = 0; a < 3; ++a) {
      if (!c.axis[a]) continue;
      const float h = 0.05f;
      float tp, tm, u[3];
      *coord[a] += h;
      c.f(&tp, &u[0], &u[1], &u[2]);
      *coord[a] -= 2 * h;
      c.f(&tm, &u[0], &u[1], &u[2]);
      *coord[a] += h;
      EXPECT_NEAR(d[a], (tp - tm) / (2 * h), 2e-3) << "axis " << a;
    }
  }
  // Isotropic velocity: the time is the distance over the velocity.
  e.vx = e.vy = e.vz = 5.0f;
  float t, a, b, c;
  loc.TravelTime3(0, &t, &a, &b, &c);
  EXPECT_NEAR(t, Dist({-7, 3, 5}, s.sensorXYZ[2]) / 5.0, 1e-3);
  EXPECT_NEAR(loc.TravelTime(0), Dist({-7, 3, 5}, s.sensorXYZ[2]) / 5.0, 1e-4);
}

TEST(AELocatorTravel, SensorBelowTheHypocentreAndEndPieceDetour) {
  AELocSetup s = CubeSetup();
  s.sizeZ = 100.0f;
  s.velocityAux = 6.0f;
  s.sensorXYZ[0] = {0, 0, 60};  // on the axis, 10 mm beyond the top face
  s.sensorXYZ[1] = {0, 0, -30};
  AELocEvent e;
  e.vx = e.vy = e.vz = 5.0f;
  e.sensor[0] = 0;
  e.sensor[1] = 1;
  AELocator loc(s, e);
  float t, dx, dy, dz;
  loc.TravelTimeDeriv(0, &t, &dx, &dy, &dz);
  EXPECT_NEAR(t, 50.0 / 5 + 10.0 / 6, 0.02);
  loc.TravelTimeDeriv(1, &t, &dx, &dy, &dz);  // straight below: finite derivatives
  EXPECT_TRUE(std::isfinite(dx) && std::isfinite(dy));
  EXPECT_NEAR(dz, 1.0 / 5, 1e-3);
}

TEST(AELocatorTravel, VelocityByTime) {
  AELocSetup s = CubeSetup();
  const std::int32_t times[2] = {0, 100};
  const float vel[2][3] = {{4, 5, 6}, {6, 7, 8}};
  s.velTime = times;
  s.vel = vel;
  AELocEvent e;
  AELocator loc(s, e);
  s.nVelEntries = 1;
  e.sec = 500;
  loc.SetVelocityForTime();
  EXPECT_EQ(e.vz, 6.0f);
  s.nVelEntries = 2;
  for (auto [sec, vx] :
       std::vector<std::pair<int, float>>{{50, 5.0f}, {-5, 4.0f}, {100, 6.0f}, {250, 6.0f}}) {
    e.sec = sec;
    loc.SetVelocityForTime();
    EXPECT_FLOAT_EQ(e.vx, vx) << sec;
  }
}

TEST(AELocatorTravel, IncidenceOnTheSensorFace) {
  AELocSetup s = CubeSetup();
  AELocEvent e;
  e.count = 4;
  AELocator loc(s, e);
  float c = -9, d = -9;
  EXPECT_EQ(loc.GetSensorIncidence(2, &c, &d), 0);
  EXPECT_EQ(c, -9.0f);
  e.count = 5;
  e.x = 25 - 30;  // 30 mm straight in front of sensor 2's face (x = +25)
  e.y = 8;
  e.z = 12;
  ASSERT_EQ(loc.GetSensorIncidence(2, &c, &d), 1);
  EXPECT_NEAR(c, 1.0, 1e-6);
  EXPECT_NEAR(d, 30.0, 1e-5);
  s.shape = 0;  // a cylinder: the side face's normal points away from the axis
  s.sensorXYZ[3] = {0, 25, 0};
  e.x = 0;
  e.y = 0;
  e.z = 25;
  ASSERT_EQ(loc.GetSensorIncidence(3, &c, &d), 1);
  EXPECT_NEAR(c, std::sqrt(0.5), 1e-6);
}

TEST(AELocatorSolver, LeastSquaresAgainstTheNormalEquations) {
  // 4 x 2 system by columns; the normal-equation solution is (1, 2) for b = A (1, 2) + e
  // with e orthogonal to the columns.
  float A[8] = {1, 1, 1, 1, 0, 1, 2, 3};
  float e[4] = {1, -1, -1, 1};  // orthogonal to (1,1,1,1) and (0,1,2,3)
  float b[4];
  for (int i = 0; i < 4; ++i) b[i] = A[i] * 1 + A[4 + i] * 2 + 0.1f * e[i];
  float x[2];
  ASSERT_EQ(AELocator::SolveLeastSquares(A, x, b, 4, 2, 1e-5f), 1);
  EXPECT_NEAR(x[0], 1.0, 1e-4);
  EXPECT_NEAR(x[1], 2.0, 1e-4);
  float D[6] = {1, 2, 3, 2, 4, 6};  // second column twice the first
  float c[3] = {1, 2, 3};
  EXPECT_EQ(AELocator::SolveLeastSquares(D, x, c, 3, 2, 1e-5f), 0);
}

TEST(AELocatorSlots, KeepBySNAndIndexes) {
  AELocEvent e;
  const float sn[5] = {1, 5, 0.5f, 8, 3};
  for (int k = 0; k < 5; ++k) {
    e.sn[k] = sn[k];
    e.sensor[k] = static_cast<std::int8_t>(k);
    e.rise[k] = static_cast<float>(k);
  }
  int n = 0;
  AELocator::KeepBySN(e, 5, 2.0f, &n);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(e.sensor[0], 1);
  EXPECT_EQ(e.sensor[1], 3);
  EXPECT_EQ(e.sensor[2], 4);
  EXPECT_EQ(e.rise[1], 1.0f);  // rise times stay in their slots
  const float a[5] = {3, -2, 7, -2, 7};
  int iMin, iMax, i;
  float mn, mx;
  AELocator::MinMaxIndex(a, 5, &iMin, &mn, &iMax, &mx);
  EXPECT_EQ(iMin, 1);
  EXPECT_EQ(iMax, 2);
  AELocator::MinIndex(a, 1, &i);
  EXPECT_EQ(i, 0);
  AELocator::MinIndex(a, 5, &i);
  EXPECT_EQ(i, 1);
}

TEST(AELocatorLocate, DefaultMethodFindsTheSourceOfExactArrivals) {
  AELocSetup s = CubeSetup();
  s.vCalib = {5.0, 5.0, 5.0};
  for (P3 src : {P3{3, -7, 11}, P3{-18, 15, -17}, P3{0, 0, 0}}) {
    AELocEvent e = Arrivals(s, src, 12.5, 5.0);
    AELocator loc(s, e);
    float res[32];
    ASSERT_EQ(loc.Locate(res, -1), 1);
    EXPECT_EQ(e.count, 16);
    ExpectAt(e, src, 0.01);
    EXPECT_NEAR(e.t0, 12.5, 0.01);
    for (int k = 0; k < 16; ++k) EXPECT_LT(std::fabs(res[k]), 0.01);
  }
}

TEST(AELocatorLocate, AnOutlierIsExcludedAndTheRestLocate) {
  AELocSetup s = CubeSetup();
  s.vCalib = {5.0, 5.0, 5.0};
  P3 src{6, 9, -4};
  AELocEvent e = Arrivals(s, src, 3.0, 5.0);
  e.time[5] += 4.0f;  // a late pick on sensor 5
  e.sn[7] = 1.5f;     // below the S/N threshold
  AELocator loc(s, e);
  float res[32];
  ASSERT_EQ(loc.Locate(res, -1), 1);
  EXPECT_EQ(e.count, 14);
  ExpectAt(e, src, 0.02);
  for (int k = 0; k < e.count; ++k) EXPECT_NE(e.sensor[k], 5);
  // The excluded slots carry their residuals at the solution.
  for (int k = e.count; k < 16; ++k) {
    if (e.sensor[k] == 5) {
      EXPECT_NEAR(res[k], 4.0, 0.02);
    }
  }
}

TEST(AELocatorLocate, AnisotropicVelocities) {
  AELocSetup s = CubeSetup();
  s.vCalib = {5.5, 5.0, 4.2};
  P3 src{-9, 4, 13};
  AELocEvent e = Arrivals(s, src, 1.0, 5.0);
  for (int k = 0; k < 16; ++k) {  // elliptical velocity: t = r^2 / sqrt(sum V_i^2 d_i^2)
    const P3& S = s.sensorXYZ[k];
    double d[3] = {src[0] - S[0], src[1] - S[1], src[2] - S[2]};
    double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    double q = std::sqrt(5.5 * 5.5 * d[0] * d[0] + 25 * d[1] * d[1] + 4.2 * 4.2 * d[2] * d[2]);
    e.time[k] = static_cast<float>(1.0 + r2 / q);
  }
  AELocator loc(s, e);
  float res[32];
  ASSERT_EQ(loc.Locate(res, -1), 1);
  ExpectAt(e, src, 0.02);
  EXPECT_FLOAT_EQ(e.vy, 5.0f);
}

TEST(AELocatorLocate, TooFewArrivalsAndZeroWeightsFailCleanly) {
  AELocSetup s = CubeSetup();
  s.vCalib = {5.0, 5.0, 5.0};
  AELocEvent base = Arrivals(s, {1, 2, 3}, 0.0, 5.0);
  for (int k = 3; k < 16; ++k) base.sn[k] = 1.0f;
  for (int method : {0, 5}) {
    AELocEvent e = base;
    e.count = 9;
    s.gridSearch = method;
    AELocator loc(s, e);
    float res[32];
    EXPECT_EQ(loc.Locate(res, -1), 0) << method;
    EXPECT_EQ(e.count, 0);
  }
  s.gridSearch = 0;
  {  // every sensor at one point: no step is ever defined, and the location fails
    AELocSetup same = s;
    for (int k = 0; k < 16; ++k) same.sensorXYZ[k] = {25, 0, 0};
    AELocEvent e = Arrivals(same, {1, 2, 3}, 0.0, 5.0);
    AELocator loc(same, e);
    float res[32];
    EXPECT_EQ(loc.Locate(res, -1), 0);
    EXPECT_EQ(e.count, 0);
    EXPECT_TRUE(std::isfinite(e.x) && std::isfinite(e.t0));
  }
  for (auto& v : s.sensorSign) v = 0.0f;  // every sensor switched off
  AELocEvent e = Arrivals(s, {1, 2, 3}, 0.0, 5.0);
  AELocator loc(s, e);
  float res[32];
  EXPECT_EQ(loc.Locate(res, -1), 0);
  EXPECT_EQ(e.count, 0);
}

TEST(AELocatorLocate, GridMethods) {
  AELocSetup s = CubeSetup();
  const std::int32_t times[1] = {0};
  const float vel[1][3] = {{5, 5, 5}};
  s.nVelEntries = 1;
  s.velTime = times;
  s.vel = vel;
  P3 src{7.3, -12.1, 4.4};
  float res[32];
  {  // full grid: within one cell (2.6 mm) of the truth
    s.gridSearch = 5;
    AELocEvent e = Arrivals(s, src, 2.0, 5.0);
    AELocator loc(s, e);
    ASSERT_EQ(loc.Locate(res, -1), 1);
    EXPECT_EQ(e.count, 16);
    ExpectAt(e, src, 2.7);
  }
  {  // grid start with fewer arrivals than np: a cell centre moved by under half a cell
    s.gridSearch = 13;
    s.gridNP = 20;
    AELocEvent e = Arrivals(s, src, 2.0, 5.0);
    AELocator loc(s, e);
    ASSERT_EQ(loc.Locate(res, -1), 1);
    const float step = 2 * 0.52f * 50 / 20;
    float cx = std::floor((e.x + 26.0f) / step) * step - 26.0f + step / 2;
    EXPECT_LE(std::fabs(e.x - cx), step / 2 + 1e-4);
    ExpectAt(e, src, 2 * step);
    s.gridNP = 8;  // enough arrivals: the grid result starts the iteration
    AELocEvent f = Arrivals(s, src, 2.0, 5.0);
    AELocator loc2(s, f);
    ASSERT_EQ(loc2.Locate(res, -1), 1);
    ExpectAt(f, src, 0.01);
  }
}

TEST(AELocatorLocate, CylinderMethod) {
  AELocSetup s;
  s.shape = 0;
  s.diameter = s.sizeX = s.sizeY = 50.0f;
  s.sizeZ = 100.0f;
  s.nSensors = 16;
  for (int k = 0; k < 16; ++k) {
    double az = k * 2 * M_PI / 8 + (k >= 8 ? M_PI / 8 : 0);
    s.sensorXYZ[k] = {25 * std::cos(az), 25 * std::sin(az),
                      k < 8 ? -20.0 + 5 * (k % 3) : 25.0 - 6 * (k % 2)};
    s.sensorSign[k] = 1.0f;
  }
  s.vCalib = {5.0, 5.0, 5.0};
  P3 src{-6, 8, 10};
  AELocEvent e = Arrivals(s, src, 4.0, 5.0);
  AELocator loc(s, e);
  float res[32];
  ASSERT_EQ(loc.Locate(res, -1), 1);
  ExpectAt(e, src, 0.02);
}

TEST(AELocatorLocate, FixedXRecoversTheOtherCoordinates) {
  AELocSetup s = CubeSetup();
  s.vCalib = {5.0, 5.0, 5.0};
  s.fixX = 1;
  s.fixXValue = 0.0f;
  // Sensors in the plane x = 0 see the y-z distance only: model P is exact for them.
  for (int k = 0; k < 16; ++k) s.sensorXYZ[k][0] = 0.0;
  P3 src{0, 6, -9};
  AELocEvent e = Arrivals(s, src, 1.0, 5.0);
  AELocator loc(s, e);
  float res[32];
  ASSERT_EQ(loc.Locate(res, -1), 1);
  EXPECT_EQ(e.x, 0.0f);
  EXPECT_NEAR(e.y, 6.0, 0.02);
  EXPECT_NEAR(e.z, -9.0, 0.02);
}

}  // namespace
