#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "aecore/catalogue/AEHypo.h"
#include "base/numerics/KZ_MecaFit.h"
#include "base/types/KZ_Vector3D.h"

namespace {

using V3 = std::array<double, 3>;

// Eigenvectors of a symmetric 3 x 3 matrix by Jacobi rotations; columns of E, values in d.
void Eigen3(const double M[9], double d[3], double E[9]) {
  double A[9];
  std::memcpy(A, M, sizeof A);
  for (int i = 0; i < 9; ++i) E[i] = (i % 4 == 0) ? 1.0 : 0.0;
  for (int sweep = 0; sweep < 50; ++sweep) {
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        double apq = A[3 * p + q];
        if (std::fabs(apq) < 1e-15) continue;
        double theta = (A[3 * q + q] - A[3 * p + p]) / (2 * apq);
        double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < 3; ++k) {  // A = J' A J
          double akp = A[3 * k + p], akq = A[3 * k + q];
          A[3 * k + p] = c * akp - s * akq;
          A[3 * k + q] = s * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) {
          double apk = A[3 * p + k], aqk = A[3 * q + k];
          A[3 * p + k] = c * apk - s * aqk;
          A[3 * q + k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {
          double ekp = E[3 * k + p], ekq = E[3 * k + q];
          E[3 * k + p] = c * ekp - s * ekq;
          E[3 * k + q] = s * ekp + c * ekq;
        }
      }
    }
  }
  for (int i = 0; i < 3; ++i) d[i] = A[4 * i];
}

// P (most negative) and T (most positive) axes of a double couple.
void PTAxes(float strike, float dip, float rake, V3* P, V3* T) {
  double M[9], d[3], E[9];
  MomentTensorFromAngles(0, 0, strike, dip, rake, M);
  Eigen3(M, d, E);
  int iP = 0, iT = 0;
  for (int i = 1; i < 3; ++i) {
    if (d[i] < d[iP]) iP = i;
    if (d[i] > d[iT]) iT = i;
  }
  *P = {E[iP], E[3 + iP], E[6 + iP]};
  *T = {E[iT], E[3 + iT], E[6 + iT]};
}

double AxisAngle(const V3& a, const V3& b) {
  double dot = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
  return std::acos(std::min(dot, 1.0)) * 180 / M_PI;
}

// 32 sensors on the faces of a 50 mm cube; the event at (3, -4, 2); first motions and
// amplitudes of a double couple from the radiation in the fit's frame (x north = the
// specimen's y, y east = the specimen's x, z down).
struct Meca {
  CAEHypo h;
  double M[9];
  Meca(float strike, float dip, float rake) {
    MomentTensorFromAngles(0, 0, strike, dip, rake, M);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-20, 20);
    h.m_nSensors = 32;
    h.m_nShape = 4;
    h.m_fSizeX = h.m_fSizeY = h.m_fSizeZ = 50.0f;
    for (int k = 0; k < 32; ++k) {
      int face = k % 6;
      double a = u(rng), b = u(rng), side = (face % 2) ? 25 : -25;
      KZ_Point3D p;
      if (face < 2)
        p = {side, a, b};
      else if (face < 4)
        p = {a, side, b};
      else
        p = {a, b, side};
      h.m_pSensorXYZ[k] = p;
      h.m_pSensorSign[k] = 1.0f;
    }
    AEHRecord& r = h.m_Rec;
    r.fX = 3;
    r.fY = -4;
    r.fZ = 2;
    r.nArrivals = 32;
    for (int k = 0; k < 32; ++k) {
      const KZ_Point3D& S = h.m_pSensorXYZ[k];
      V3 ray{S.y - r.fY, S.x - r.fX, -(S.z - r.fZ)};
      double n = std::sqrt(ray[0] * ray[0] + ray[1] * ray[1] + ray[2] * ray[2]);
      double rad = 0;
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rad += ray[i] / n * M[3 * i + j] * ray[j] / n;
      r.nSensor[k] = static_cast<std::int8_t>(k);
      r.nPolarity[k] = static_cast<std::int8_t>(rad > 0 ? 1 : -1);
      r.fAmp[k] = static_cast<float>(rad);
      r.fTime[k] = 10.0f;
      r.fSN[k] = 20.0f;
    }
    h.m_nMecMinFM = 14;
    h.m_nMecMinUp = 5;
    h.m_nMecMinDown = 5;
    h.m_nMecSensCorr = 0;
    h.m_fMecAcri = 0.0f;
  }
  // Angles of the fitted P and T axes from the generator's.
  std::pair<double, double> AxisErrors(float s, float d, float r, float s0, float d0,
                                       float r0) const {
    V3 P, T, P0, T0;
    PTAxes(s, d, r, &P, &T);
    PTAxes(s0, d0, r0, &P0, &T0);
    return {AxisAngle(P, P0), AxisAngle(T, T0)};
  }
};

TEST(AEHypoMechanism, FirstMotionsRecoverTheDoubleCouple) {
  for (auto sdr : std::vector<std::array<float, 3>>{{40, 60, 90}, {120, 45, -60}, {300, 70, 20}}) {
    SCOPED_TRACE(sdr[0]);
    Meca m(sdr[0], sdr[1], sdr[2]);
    ASSERT_EQ(m.h.FocalMechanism(-1), 1);
    auto [eP, eT] =
        m.AxisErrors(m.h.m_Rec.fStrike, m.h.m_Rec.fDip, m.h.m_Rec.fRake, sdr[0], sdr[1], sdr[2]);
    EXPECT_LT(eP, 20.0);
    EXPECT_LT(eT, 20.0);
  }
}

// Take-off angles measured from the downward vertical without turning the specimen's
// upward z around mirror every ray through the horizontal plane: the fitted pattern comes
// out turned by 180 degrees about the vertical, and its P and T axes miss the source's.
TEST(AEHypoMechanism, UnturnedTakeOffAnglesGiveAMirroredFit) {
  for (auto sdr : std::vector<std::array<float, 3>>{{40, 60, 90}, {120, 45, -60}, {300, 70, 20}}) {
    SCOPED_TRACE(sdr[0]);
    const float s0 = sdr[0], d0 = sdr[1], r0 = sdr[2];
    Meca m(s0, d0, r0);
    KZ_MecaStation st[32];
    const AEHRecord& r = m.h.m_Rec;
    for (int k = 0; k < 32; ++k) {
      const KZ_Point3D& S = m.h.m_pSensorXYZ[k];
      KZ_Vector3D ray(S.x - r.fX, S.y - r.fY, S.z - r.fZ);
      ray.Normalize();
      double phi, theta;
      ray.GetAxisAngles(&phi, &theta);
      std::strcpy(st[k].m_cCode, "P");
      st[k].m_fPolarity = r.nPolarity[k];
      st[k].m_fAmp = r.nPolarity[k];
      st[k].m_fAzimuth = static_cast<float>(90 - phi * 180 / M_PI);
      st[k].m_fTakeoff = static_cast<float>(theta * 180 / M_PI);
    }
    KZ_MecaFit fit;
    float out[3];
    ASSERT_GE(fit.FitFirstMotions(st, 32, out, 0.0f), 0);
    Meca mended(s0, d0, r0);
    ASSERT_EQ(mended.h.FocalMechanism(-1), 1);
    const AEHRecord& f = mended.h.m_Rec;
    // Same dip and rake, strike turned by 180 degrees.
    EXPECT_NEAR(std::fmod(out[0] - f.fStrike + 720.0, 360.0), 180.0, 0.01);
    EXPECT_NEAR(out[1], f.fDip, 0.01);
    EXPECT_NEAR(out[2], f.fRake, 0.01);
    auto [eP, eT] = m.AxisErrors(out[0], out[1], out[2], s0, d0, r0);
    auto [fP, fT] = m.AxisErrors(f.fStrike, f.fDip, f.fRake, s0, d0, r0);
    EXPECT_GT(std::max(eP, eT), std::max(fP, fT));
    EXPECT_LT(std::max(fP, fT), 20.0);
  }
}

// Amplitude data: the moment-tensor fit of a strike-slip source (its grid carries one
// rake, 180 degrees) within the magnitude range around the record's Mw; running it again
// on its own result searches the same range and gives the same solution.
TEST(AEHypoMechanism, AmplitudeFitRunsAgainToTheSameSolution) {
  Meca m(40, 60, 180);
  m.h.m_nMecData = 1;
  m.h.m_nMecSensCorr = 0;
  for (int k = 0; k < 32; ++k) {
    m.h.m_pSensorGain[k] = 1.83e-6f;
    m.h.m_Rec.fAmp[k] *= 3e4f;  // about magnitude 4.1 on the fit's scale
  }
  m.h.m_Rec.fMw = -7.0f;  // searched from 3 to 5
  ASSERT_EQ(m.h.FocalMechanism(-1), 5);
  const AEHRecord first = m.h.m_Rec;
  EXPECT_NEAR(first.fMw, 4.1f - 11.0f, 0.1);
  auto [eP, eT] = m.AxisErrors(first.fStrike, first.fDip, first.fRake, 40, 60, 180);
  EXPECT_LT(eP, 10.0);
  EXPECT_LT(eT, 10.0);
  ASSERT_EQ(m.h.FocalMechanism(-1), 5);
  EXPECT_NEAR(m.h.m_Rec.fMw, first.fMw, 0.02);
  EXPECT_NEAR(m.h.m_Rec.fStrike, first.fStrike, 1.0);
  EXPECT_NEAR(m.h.m_Rec.fDip, first.fDip, 1.0);
}

TEST(AEHypoMechanism, CountsDecideTheType) {
  Meca m(40, 60, 90);
  m.h.m_Rec.nArrivals = 10;  // fewer than nP
  m.h.m_Rec.nMecType = 4;
  EXPECT_EQ(m.h.FocalMechanism(-1), 0);
  EXPECT_EQ(m.h.m_Rec.nMecType, 0);
  Meca up(40, 60, 90);
  for (int k = 0; k < 32; ++k) up.h.m_Rec.nPolarity[k] = 1;
  EXPECT_EQ(up.h.FocalMechanism(-1), 0);
  EXPECT_EQ(up.h.m_Rec.nMecType, 2);
  for (int k = 0; k < 32; ++k) up.h.m_Rec.nPolarity[k] = -1;
  up.h.FocalMechanism(-1);
  EXPECT_EQ(up.h.m_Rec.nMecType, 3);
  Meca few(40, 60, 90);  // too few down motions: the type is kept
  for (int k = 0; k < 30; ++k) few.h.m_Rec.nPolarity[k] = 1;
  few.h.m_Rec.nMecType = 4;
  EXPECT_EQ(few.h.FocalMechanism(-1), 0);
  EXPECT_EQ(few.h.m_Rec.nMecType, 4);
}

}  // namespace
