#include <gtest/gtest.h>

#include <cmath>

#include "aecore/catalogue/AEHypo.h"

namespace {

// An engine with 16 sensors on a 50 mm cube and one velocity entry (Vx, Vy, Vz).
void CubeEngine(CAEHypo& h, float vx, float vy, float vz) {
  const double pos[16][3] = {{-25, -10, 10}, {-25, 12, -15}, {25, 8, 12},  {25, -14, -9},
                             {-8, -25, 14},  {11, -25, -12}, {9, 25, 15},  {-13, 25, -8},
                             {-10, 8, 25},   {12, -9, 25},   {0, 14, 25},  {-11, -12, -25},
                             {13, 10, -25},  {2, -15, -25},  {-25, 0, -2}, {25, 3, 1}};
  h.m_nSensors = 16;
  for (int i = 0; i < 16; ++i) {
    h.m_pSensorXYZ[i] = {pos[i][0], pos[i][1], pos[i][2]};
    h.m_pSensorSign[i] = 1.0f;
  }
  h.m_nShape = 4;
  h.m_fSizeX = h.m_fSizeY = h.m_fSizeZ = h.m_fDiameter = 50.0f;
  h.m_nVelEntries = 1;
  h.m_fVel[0][0] = vx;
  h.m_fVel[0][1] = vy;
  h.m_fVel[0][2] = vz;
}

// Model-E time of a straight ray with three velocities: R^2 / sqrt(sum V_i^2 d_i^2).
double Time3(const KZ_Point3D& s, const double src[3], const double v[3]) {
  double d[3] = {s.x - src[0], s.y - src[1], s.z - src[2]};
  double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  return r2 / std::sqrt(v[0] * v[0] * d[0] * d[0] + v[1] * v[1] * d[1] * d[1] +
                        v[2] * v[2] * d[2] * d[2]);
}

TEST(AEHypoLocation, LocatesTheCurrentRecordInPlace) {
  CAEHypo h;
  CubeEngine(h, 5.0f, 5.0f, 5.0f);
  const double src[3] = {4, -6, 9}, v[3] = {5, 5, 5};
  float t[16], amp[16], rise[16], sn[16];
  std::uint16_t flags[16];
  for (int k = 0; k < 16; ++k) {
    t[k] = static_cast<float>(20.0 + Time3(h.m_pSensorXYZ[k], src, v));
    amp[k] = 100.0f + k;
    rise[k] = 0.5f;
    sn[k] = 30.0f;
    flags[k] = static_cast<std::uint16_t>(k % 2 ? 0xFF : 0x101);  // low byte: -1 or +1
  }
  t[3] = 0.5f;  // an early false pick, on a noisier channel
  sn[3] = 4.0f;
  h.SetArrivals(t, amp, rise, sn, flags);
  EXPECT_EQ(h.m_Rec.nPolarity[1], -1);
  EXPECT_EQ(h.m_Rec.nPolarity[2], 1);
  EXPECT_EQ(h.m_Rec.nSensor[7], 7);
  ASSERT_EQ(h.LocateCurrent(), 1);
  EXPECT_EQ(h.m_Rec.nArrivals, 15);
  EXPECT_NEAR(h.m_Rec.fX, 4.0, 0.02);
  EXPECT_NEAR(h.m_Rec.fY, -6.0, 0.02);
  EXPECT_NEAR(h.m_Rec.fZ, 9.0, 0.02);
  EXPECT_NEAR(h.m_Rec.fT0, 20.0, 0.01);
  EXPECT_FLOAT_EQ(h.m_Rec.fVx, 5.0f);
  // The used arrivals come first and keep their values with their sensor.
  for (int k = 0; k < 16; ++k) {
    int s = h.m_Rec.nSensor[k];
    EXPECT_EQ(h.m_Rec.fAmp[k], 100.0f + s);
    if (k < 15) {
      EXPECT_NE(s, 3);
    }
  }
  float c, d;
  ASSERT_EQ(h.GetSensorIncidence(2, &c, &d), 1);
  EXPECT_GT(c, 0.25f);
}

TEST(AEHypoLocation, SlotHelpersOnTheCurrentRecord) {
  CAEHypo h;
  h.m_nSensors = 4;
  for (int k = 0; k < 4; ++k) {
    h.m_Rec.fTime[k] = 10.0f + k;
    h.m_Rec.fRise[k] = 1.0f + k;
    h.m_Rec.fSN[k] = k == 1 ? 1.0f : 10.0f;
    h.m_Rec.nSensor[k] = static_cast<std::int8_t>(k);
    h.m_pSensorSign[k] = k == 3 ? -1.0f : 1.0f;
  }
  h.m_Rec.nArrivals = 7;
  h.SwapCurrentArrivals(0, 2);
  EXPECT_EQ(h.m_Rec.fTime[0], 12.0f);
  EXPECT_EQ(h.m_Rec.nSensor[0], 2);
  EXPECT_EQ(h.m_Rec.fRise[0], 1.0f);  // rise times stay in their slots
  EXPECT_EQ(h.m_Rec.nArrivals, 7);
  int n = 0;
  h.KeepCurrentBySN(2.0f, &n);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(h.m_Rec.nSensor[2], 3);
  float w[32];
  h.GetSensorWeights(w);
  // Slots now hold sensors 2, 0, 3, 1: each sensor keeps the weight of its own S/N.
  EXPECT_FLOAT_EQ(w[0], 1.0f);
  EXPECT_FLOAT_EQ(w[1], 0.0f);  // S/N 1
  EXPECT_FLOAT_EQ(w[2], 1.0f);
  EXPECT_FLOAT_EQ(w[3], -1.0f);  // a sensor with a negative sign value
}

TEST(AEHypoLocation, UpDownRatio) {
  CAEHypo h;
  struct Case {
    int up, down;
    float ratio;
  };
  for (Case c : {Case{5, 3, -1.0f}, Case{6, 3, 6.0f / 9.0f}}) {
    h.m_Rec = AEHRecord{};
    h.m_Rec.nArrivals = static_cast<std::int8_t>(c.up + c.down + 1);
    for (int k = 0; k < c.up; ++k) h.m_Rec.nPolarity[k] = 1;
    for (int k = 0; k < c.down; ++k) h.m_Rec.nPolarity[c.up + k] = -1;
    int up, down;
    EXPECT_FLOAT_EQ(h.GetUDRatio(&up, &down), c.ratio);
    EXPECT_EQ(up, c.up);
    EXPECT_EQ(down, c.down);
  }
}

TEST(AEHypoLocation, CalibrationListKeepsTheNewest32Copies) {
  CAEHypo h;
  for (int i = 0; i < 33; ++i) {
    h.m_Rec.nIndex = i;
    h.AddCalibEvent(&h.m_Rec);
  }
  EXPECT_EQ(h.GetCalibEvent(0)->nIndex, 1);
  EXPECT_EQ(h.GetCalibEvent(31)->nIndex, 32);
  EXPECT_EQ(h.GetCalibEvent(32), nullptr);
  h.m_Rec.nIndex = 99;  // a copy, not a reference
  EXPECT_EQ(h.GetCalibEvent(31)->nIndex, 32);
  h.ClearCalibEvents();
  EXPECT_EQ(h.GetCalibEvent(0), nullptr);
}

TEST(AEHypoLocation, VelocityInversionFromTransmissionShots) {
  CAEHypo h;
  CubeEngine(h, 5, 5, 5);
  const double v[3] = {5.6, 5.1, 4.3};
  double out[3] = {-1, -1, -1};
  EXPECT_EQ(h.InvertVelocity(out), 0);  // nothing stored
  // Shots from three sensor positions, every other sensor receiving.
  for (int shot : {0, 4, 9}) {
    AEHRecord r{};
    const KZ_Point3D& p = h.m_pSensorXYZ[shot];
    r.fX = static_cast<float>(p.x);
    r.fY = static_cast<float>(p.y);
    r.fZ = static_cast<float>(p.z);
    r.fT0 = 100.0f;
    const double src[3] = {p.x, p.y, p.z};
    for (int k = 0; k < 16; ++k) {
      r.nSensor[k] = static_cast<std::int8_t>(k);
      r.fSN[k] = k == shot ? 0.0f : 10.0f;
      r.fTime[k] = static_cast<float>(100.0 + (k == shot ? 0.0 : Time3(h.m_pSensorXYZ[k], src, v)));
    }
    h.AddCalibEvent(&r);
  }
  ASSERT_EQ(h.InvertVelocity(out), 1);
  EXPECT_NEAR(out[0], 5.6, 1e-3);
  EXPECT_NEAR(out[1], 5.1, 1e-3);
  EXPECT_NEAR(out[2], 4.3, 1e-3);
  EXPECT_EQ(h.GetCalibEvent(0)->nSensor[0], 1);  // kept arrivals moved to the front

  // Five usable equations are too few: a failure that leaves the output alone.
  h.ClearCalibEvents();
  AEHRecord r{};
  r.fT0 = 0.0f;
  for (int k = 0; k < 16; ++k) {
    r.nSensor[k] = static_cast<std::int8_t>(k);
    r.fSN[k] = k < 5 ? 10.0f : 1.0f;
    r.fTime[k] = 8.0f;
  }
  h.AddCalibEvent(&r);
  double keep[3] = {1, 2, 3};
  EXPECT_EQ(h.InvertVelocity(keep), 0);
  EXPECT_EQ(keep[2], 3.0);
}

}  // namespace
