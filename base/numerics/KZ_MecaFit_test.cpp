#include "base/numerics/KZ_MecaFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "base/base_test_support.h"
#include "base/numerics/TestTables.h"

using tv_test::ReadBytes;
using tv_test::TmpPath;

namespace {

KZ_MecaStation Station(const char* code, double azimuth, double takeoff, double amp, double pol) {
  KZ_MecaStation s;
  std::strncpy(s.m_cCode, code, 4);
  s.m_fAzimuth = static_cast<float>(azimuth);
  s.m_fTakeoff = static_cast<float>(takeoff);
  s.m_fAmp = static_cast<float>(amp);
  s.m_fPolarity = static_cast<float>(pol);
  return s;
}

// Rays spread over the lower focal sphere.
std::vector<std::pair<double, double>> Rays(int n) {
  std::vector<std::pair<double, double>> r;
  for (int k = 0; k < n; ++k)
    r.push_back({std::fmod(k * 137.508, 360.0), 10.0 + 80.0 * ((k * 7) % n) / n});
  return r;
}

double TensorDistance(const double a[9], const double b[9]) {
  double s = 0.0;
  for (int i = 0; i < 9; ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(s);
}

}  // namespace

TEST(KZ_MecaFit, MomentTensorsAndRadiationMatchAkiRichards) {
  tv_test::Table t("base/numerics/testdata/b3_mechanisms.txt");
  const int cases = t.integer(), rays = t.integer();
  for (int c = 0; c < cases; ++c) {
    const double s = t.num(), d = t.num(), r = t.num();
    SCOPED_TRACE(testing::Message() << s << "/" << d << "/" << r);
    const std::vector<double> ref = t.nums(9);
    t.nums(12);  // axes and auxiliary plane, checked with the mechanism geometry
    double M[9];
    MomentTensorFromAngles(0, 0, s, d, r, M);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(M[i], ref[i], 1e-12) << i;
    for (int k = 0; k < rays; ++k) {
      const std::vector<double> ray = t.nums(5);
      for (int type = 1; type <= 3; ++type)
        EXPECT_NEAR(RadiationAmplitude(M, ray[0], ray[1], type), ray[1 + type], 1e-12) << type;
    }
  }
  double M[9];
  MomentTensorFromAngles(0, 0, 10, 20, 30, M);
  EXPECT_EQ(RadiationAmplitude(M, 30, 40, 4), 0.0);
}

TEST(KZ_MecaFit, IsotropicAndClvdFractionsOfAUnitTensor) {
  double M[9];
  for (double iso : {1.0, -1.0}) {
    MomentTensorFromAngles(iso, 0.3, 10, 20, 30, M);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(M[i], i % 4 == 0 ? 0.8164966 * iso : 0.0, 1e-15);
  }
  // The three parts are orthogonal and of equal norm: every mixture has the norm of the
  // unit double couple, sqrt 2, and the trace carries the isotropic part alone.
  const double zero[9] = {};
  for (double iso : {0.0, 0.3, -0.7})
    for (double clvd : {0.0, 0.5, -0.45, 0.00005}) {
      MomentTensorFromAngles(iso, clvd, 200, 35, -60, M);
      EXPECT_NEAR(TensorDistance(M, zero), std::sqrt(2.0), 1e-6) << iso << " " << clvd;
      EXPECT_NEAR(M[0] + M[4] + M[8], 3 * 0.8164966 * iso, 1e-12);
      EXPECT_EQ(M[3], M[1]);
      EXPECT_EQ(M[6], M[2]);
      EXPECT_EQ(M[7], M[5]);
    }
  // Below 1e-4 the CLVD fraction only scales the double couple.
  double dc[9];
  MomentTensorFromAngles(0, 0, 200, 35, -60, dc);
  MomentTensorFromAngles(0, 0.00005, 200, 35, -60, M);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(M[i], dc[i] * std::sqrt(1 - 0.00005 * 0.00005), 1e-15);
}

TEST(KZ_MecaFit, FirstMotionsOfAKnownMechanism) {
  // Strike 40, dip 60, rake 80 lies on the search grid; its steeper plane is met first.
  double M[9];
  MomentTensorFromAngles(0, 0, 40, 60, 80, M);
  std::vector<KZ_MecaStation> st;
  for (auto [az, to] : Rays(40)) {
    const double a = RadiationAmplitude(M, to, az, 1);
    st.push_back(Station("P", az, to, a, a > 0 ? 1 : -1));
  }
  st.push_back(Station("SP", 0, 10, 1e6, 1));  // ratio records take no part
  KZ_MecaFit fit;
  float out[3];
  const int count = fit.FitFirstMotions(st.data(), static_cast<int>(st.size()), out, 0.05f);
  EXPECT_GE(count, 1);
  EXPECT_NEAR(out[0], 40, 8);
  EXPECT_NEAR(out[1], 60, 8);
  EXPECT_NEAR(out[2], 80, 8);

  // Both polarities at each of five rays: no double couple has zero P amplitude at five
  // general rays at once, so every mechanism is contradicted.
  std::vector<KZ_MecaStation> bad;
  for (auto [az, to] : Rays(5)) {
    bad.push_back(Station("P", az, to, 1, 1));
    bad.push_back(Station("P", az, to, 1, -1));
  }
  EXPECT_EQ(fit.FitFirstMotions(bad.data(), 10, out, 0.0f), -1);
  EXPECT_EQ(out[0], 356.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[2], 356.0f);
}

TEST(KZ_MecaFit, UnconstrainedFirstMotionsCountEveryMechanismNearTheFirstStrike) {
  // No station passes the threshold (or none has a polarity): every mechanism agrees, and
  // those within 90 degrees of strike 0, either side of north (strikes 272..356 and 0..88),
  // are counted over all 30 dips and 90 rakes. Their mean is some valid mechanism.
  std::vector<KZ_MecaStation> weak = {Station("P", 10, 30, 0.1, 1)};
  std::vector<KZ_MecaStation> silent = {Station("P", 10, 30, 1, 0), Station("Sv", 50, 60, 1, 0)};
  KZ_MecaFit fit;
  float out[3];
  EXPECT_EQ(fit.FitFirstMotions(weak.data(), 1, out, 2.0f), 45 * 30 * 90);
  EXPECT_TRUE(out[0] >= 0.0f && out[0] < 360.0f) << out[0];
  EXPECT_TRUE(out[1] >= 0.0f && out[1] <= 90.0f) << out[1];
  EXPECT_TRUE(out[2] > -180.0f && out[2] <= 180.0f) << out[2];
  EXPECT_EQ(fit.FitFirstMotions(silent.data(), 2, out, 0.0f), 45 * 30 * 90);
}

TEST(KZ_MecaFit, GridSearchFindsTheDoubleCouple) {
  // Polarities and S/P ratios of strike 100, dip 50, rake -70.
  double M[9];
  MomentTensorFromAngles(0, 0, 100, 50, -70, M);
  std::vector<KZ_MecaStation> st;
  for (auto [az, to] : Rays(24)) {
    const double p = RadiationAmplitude(M, to, az, 1);
    const double sh = RadiationAmplitude(M, to, az, 3);
    st.push_back(Station("P", az, to, p, p > 0 ? 1 : -1));
    st.push_back(Station("SP", az, to, std::fabs(sh / p), 0));
  }
  KZ_MecaFit fit;
  float out[3];
  double misfit = -5, curv[6];
  const int status =
      fit.GridSearch(st.data(), static_cast<int>(st.size()), out, &misfit, curv, 0.001f);
  EXPECT_EQ(status, 0);
  EXPECT_LT(misfit, 0.05);
  double F[9];
  MomentTensorFromAngles(0, 0, out[0], out[1], out[2], F);
  EXPECT_LT(TensorDistance(F, M), 0.2);
  EXPECT_GT(curv[0], 0.0);
  EXPECT_GT(curv[1], 0.0);
  EXPECT_GT(curv[2], 0.0);

  // No usable station: no cell has a misfit, so there is no minimum.
  std::vector<KZ_MecaStation> none = {Station("SP", 10, 20, 0.0, 0)};
  EXPECT_EQ(fit.GridSearch(none.data(), 1, out, &misfit, curv, 0.0f), 1);
  EXPECT_EQ(misfit, -1.0);
}

// Cells of the misfit grid that the search leaves in its grid file.
std::vector<unsigned> GridSearchCells(const std::vector<KZ_MecaStation>& st, float threshold) {
  namespace fs = std::filesystem;
  const fs::path file = fs::path(TV_TEST_TMPDIR) / "Meca.lm3";
  fs::remove(file);
  KZ_MecaFit fit;
  fit.m_strGridFile = file.string();
  float out[3];
  double misfit = 0, curv[6];
  fit.GridSearch(st.data(), static_cast<int>(st.size()), out, &misfit, curv, threshold);
  const std::vector<unsigned char> b = ReadBytes(file.string());
  std::vector<unsigned> cells;
  if (b.size() != 28 + 2 * 72 * 36 * 72) return cells;
  for (std::size_t i = 28; i < b.size(); i += 2) cells.push_back(b[i] | (b[i + 1] << 8));
  return cells;
}

TEST(KZ_MecaFit, GridSearchWeights) {
  // One P polarity, and two opposite SH polarities on one ray of which every mechanism
  // contradicts exactly one.
  std::vector<KZ_MecaStation> st = {Station("P", 30, 40, 100, 1), Station("Sh", 200, 60, 10, 1),
                                    Station("Sh", 200, 60, 10, -1)};
  // A threshold above -0.001 counts P 20000 times an S station: the worst cell is
  // 20001/20002.
  std::vector<unsigned> c = GridSearchCells(st, 0.0f);
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(*std::max_element(c.begin(), c.end()), 9999u);
  // A lower one weights by log10 of the amplitude, 2 for P and 1 for each S, and passes
  // over stations whose amplitude is below its magnitude: cells are 1/4 or 3/4 with all
  // stations, 0 or 1 with P alone, 1/2 with the S pair alone.
  c = GridSearchCells(st, -0.001f);
  ASSERT_FALSE(c.empty());
  std::map<unsigned, int> seen;
  for (unsigned v : c) ++seen[v];
  for (const auto& [v, count] : seen)
    EXPECT_TRUE(v == 0 || v == 2500 || v == 5000 || v == 7500 || v == 10000) << v;
  EXPECT_GT(seen[2500], 1000);
  EXPECT_GT(seen[7500], 1000);
}

TEST(KZ_MecaFit, MisfitGridFileLayout) {
  const std::string path = TmpPath("meca.lm3");
  const double grid[6] = {0.0, 0.12345, 1.0, 6.5535, 1e30, 0.99999};
  ASSERT_TRUE(KZ_WriteMecaGridFile(path, grid, 3, 2, 1));
  const std::vector<unsigned char> b = ReadBytes(path);
  const std::vector<unsigned char> want = {20, 0, 37, 0, 3, 0, 0, 0, 3, 0, 2, 0, 1, 0, 0, 0, 0, 0,
                                           0x7A, 0x44, 0, 0, 0x7A, 0x44, 0, 0, 0x7A, 0x44,
                                           // 0, 1234, 10000, 65535, capped, 9999
                                           0, 0, 0xD2, 0x04, 0x10, 0x27, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0x0F, 0x27};
  EXPECT_EQ(b, want);
  EXPECT_FALSE(KZ_WriteMecaGridFile(TmpPath("no/such/dir.lm3"), grid, 3, 2, 1));
}

TEST(KZ_MecaFit, NestedSearchRecoversMagnitudeAndIsotropicPart) {
  // Amplitudes of magnitude 1.2 (scale 10^1.8), isotropic fraction 0.3, no CLVD, strike 40,
  // dip 60 on the search's rake of 180, with polarities.
  double M[9];
  MomentTensorFromAngles(0.3, 0.0, 40, 60, 180, M);
  const double scale = std::pow(10.0, 1.5 * 1.2);
  std::vector<KZ_MecaStation> st;
  int k = 0;
  for (auto [az, to] : Rays(30)) {
    const char* code = k % 3 == 0 ? "P" : (k % 3 == 1 ? "Sv" : "Sh");
    const int type = k % 3 + 1;
    const double a = scale * RadiationAmplitude(M, to, az, type);
    st.push_back(Station(code, az, to, a, a > 0 ? 1 : -1));
    ++k;
  }
  KZ_MecaFit fit;
  KZ_MecaParam p;
  const KZ_MecaSolution s = fit.Solve(st.data(), static_cast<int>(st.size()), &p, 0.5f, 1.5f);
  EXPECT_GE(s.m_nStatus, 0);
  EXPECT_NEAR(p.m_Group[0].m_fValue, 1.2, 0.02);
  EXPECT_NEAR(p.m_Group[1].m_fValue, 0.3, 0.03);
  EXPECT_NEAR(p.m_Group[2].m_fValue, 0.0, 0.03);
  EXPECT_GT(p.m_Group[0].m_fError, 0.0f);
  EXPECT_EQ(p.m_Group[0].m_fLower, 0.5f);
  EXPECT_EQ(p.m_Group[2].m_fUpper, 0.5f);
  double F[9];
  MomentTensorFromAngles(0, 0, s.m_fStrike, s.m_fDip, s.m_fRake, F);
  double D[9];
  MomentTensorFromAngles(0, 0, 40, 60, 180, D);
  EXPECT_LT(TensorDistance(F, D), 0.15);
  EXPECT_GE(s.m_nMinima, 1);
}

// Amplitudes of a larger magnitude than the range allows: each group stays within its
// bounds however often the nested search comes back to it.
TEST(KZ_MecaFit, NestedSearchKeepsItsBounds) {
  double M[9];
  MomentTensorFromAngles(0.0, 0.0, 40, 60, 180, M);
  const double scale = std::pow(10.0, 1.5 * 1.6);
  std::vector<KZ_MecaStation> st;
  for (auto [az, to] : Rays(30)) {
    const double a = scale * RadiationAmplitude(M, to, az, 1);
    st.push_back(Station("P", az, to, a, a > 0 ? 1 : -1));
  }
  KZ_MecaFit fit;
  KZ_MecaParam p;
  const KZ_MecaSolution s = fit.Solve(st.data(), static_cast<int>(st.size()), &p, 0.5f, 1.0f);
  EXPECT_GE(s.m_nStatus, 0);
  for (int g = 0; g < 3; ++g) {
    EXPECT_GE(p.m_Group[g].m_fValue, p.m_Group[g].m_fLower - 1e-6f) << g;
    EXPECT_LE(p.m_Group[g].m_fValue, p.m_Group[g].m_fUpper + 1e-6f) << g;
  }
  EXPECT_GT(p.m_Group[0].m_fValue, 1.0f - p.m_Group[0].m_fStep);  // the last step inside
}

namespace {
// P and T axes of a double couple: T = (n + d)/sqrt 2, P = (n - d)/sqrt 2.
void PTAxes(double s, double d, double r, double P[3], double T[3]) {
  const double k = 3.14159265358979323846 / 180.0;
  const double f = s * k, dl = d * k, l = r * k;
  const double n[3] = {-std::sin(dl) * std::sin(f), std::sin(dl) * std::cos(f), -std::cos(dl)};
  const double u[3] = {std::cos(l) * std::cos(f) + std::cos(dl) * std::sin(l) * std::sin(f),
                       std::cos(l) * std::sin(f) - std::cos(dl) * std::sin(l) * std::cos(f),
                       -std::sin(l) * std::sin(dl)};
  for (int i = 0; i < 3; ++i) {
    T[i] = (n[i] + u[i]) / std::sqrt(2.0);
    P[i] = (n[i] - u[i]) / std::sqrt(2.0);
  }
}

double AxisAngle(const double a[3], const double b[3]) {
  const double c = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
  return std::acos(std::min(1.0, c)) * 180.0 / 3.14159265358979323846;
}
}  // namespace

// The mechanisms that agree with these sixteen motions lie about both nodal planes, with
// rakes either side of 180 and 360: an average of their angles contradicted most motions.
TEST(KZ_MecaFit, FirstMotionsAverageAcrossTheWrapOfStrikeAndRake) {
  const double truth[3] = {300, 70, -150};
  double M[9];
  MomentTensorFromAngles(0, 0, truth[0], truth[1], truth[2], M);
  std::vector<KZ_MecaStation> st;
  for (auto [az, to] : Rays(16)) {
    const double a = RadiationAmplitude(M, to, az, 1);
    st.push_back(Station("P", az, to, a, a > 0 ? 1 : -1));
  }
  KZ_MecaFit fit;
  float out[3];
  ASSERT_GT(fit.FitFirstMotions(st.data(), static_cast<int>(st.size()), out, 0.0f), 0);
  EXPECT_GT(out[2], -180.0f);
  EXPECT_LE(out[2], 180.0f);
  double P[3], T[3], P0[3], T0[3];
  PTAxes(out[0], out[1], out[2], P, T);
  PTAxes(truth[0], truth[1], truth[2], P0, T0);
  EXPECT_LT(AxisAngle(P, P0), 20.0);
  EXPECT_LT(AxisAngle(T, T0), 20.0);
  double Mf[9];
  MomentTensorFromAngles(0, 0, out[0], out[1], out[2], Mf);
  int wrong = 0;
  for (const KZ_MecaStation& s : st)
    if (RadiationAmplitude(Mf, s.m_fTakeoff, s.m_fAzimuth, 1) * s.m_fPolarity < 0) ++wrong;
  EXPECT_LE(wrong, 1);
}

// First motions of known mechanisms, as the mean-mechanism plot hands them over (P records
// with a polarity, weight in the amplitude), with every seventh polarity flipped, plus SV
// and SH polarities and rays in the nodal planes: the fast fill gives the exhaustive
// grid cell for cell. Without the flipped and extra records the search finds the
// mechanism.
TEST(KZ_MecaFit, FastMisfitGridIsTheExhaustiveOne) {
  struct Case {
    double strike, dip, rake;
    float threshold;
  };
  const Case cases[] = {{30, 60, 90, 0.1f}, {120, 70, 20, 0.1f}, {200, 45, -90, 0.0f},
                        {75, 30, 150, 0.5f}};
  constexpr std::size_t cells = 72 * 36 * 72;
  std::vector<double> fast(cells), exhaustive(cells);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.strike);
    double M[9];
    MomentTensorFromAngles(0, 0, c.strike, c.dip, c.rake, M);
    std::vector<KZ_MecaStation> st;
    int k = 0;
    for (auto [az, to] : Rays(60)) {
      const double p = RadiationAmplitude(M, to, az, 1);
      const double pol = (p > 0 ? 1 : -1) * (++k % 7 == 0 ? -1 : 1);
      st.push_back(Station("P", az, to, 10 * pol, pol));
    }
    for (auto [az, to] : Rays(8)) {
      st.push_back(Station("Sv", az, to, 1, RadiationAmplitude(M, to, az, 2) > 0 ? 1 : -1));
      st.push_back(Station("Sh", az, to, 1, RadiationAmplitude(M, to, az, 3) > 0 ? 1 : -1));
    }
    // Rays along the strike and along the fault normal and in the grid's own planes:
    // amplitudes of zero up to rounding, where a float sum alone could pick either sign.
    st.push_back(Station("P", c.strike, 90, 1, 1));
    st.push_back(Station("P", c.strike + 90, c.dip, 1, -1));
    st.push_back(Station("P", 0, 90, 1, -1));
    st.push_back(Station("P", 45, 45, 1, 1));
    st.push_back(Station("P", 90, 0, 1, 0));  // no polarity: usable, never against
    const int n = static_cast<int>(st.size());
    KZ_MecaMisfitGrid(st.data(), n, c.threshold, fast.data(), false);
    KZ_MecaMisfitGrid(st.data(), n, c.threshold, exhaustive.data(), true);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < cells; ++i) differ += fast[i] != exhaustive[i];
    EXPECT_EQ(differ, 0u);

    // A high threshold leaves too few stations to tell the mechanisms near it apart.
    if (c.threshold > 0.1f) continue;
    std::vector<KZ_MecaStation> clean;
    for (auto [az, to] : Rays(120)) {
      const double p = RadiationAmplitude(M, to, az, 1);
      clean.push_back(Station("P", az, to, p > 0 ? 10 : -10, p > 0 ? 1 : -1));
    }
    KZ_MecaFit fit;
    float out[3];
    double misfit = 0, curv[6];
    ASSERT_EQ(fit.GridSearch(clean.data(), static_cast<int>(clean.size()), out, &misfit, curv,
                             c.threshold),
              0);
    EXPECT_LT(misfit, 0.05);
    double F[9];
    MomentTensorFromAngles(0, 0, out[0], out[1], out[2], F);
    EXPECT_LT(TensorDistance(F, M), 0.35) << out[0] << "/" << out[1] << "/" << out[2];
  }
}

// A catalogue's worth of rays, more than the fast fill takes in one block of stations,
// with the P stations ending inside a block and rays along the grid's planes in every
// block: the counts added up over the blocks give the exhaustive grid cell for cell.
TEST(KZ_MecaFit, FastMisfitGridAcrossStationBlocks) {
  constexpr std::size_t cells = 72 * 36 * 72;
  std::vector<double> fast(cells), exhaustive(cells);
  double M[9];
  MomentTensorFromAngles(0, 0, 40, 55, -70, M);
  std::vector<KZ_MecaStation> st;
  int k = 0;
  for (auto [az, to] : Rays(600)) {
    const double p = RadiationAmplitude(M, to, az, 1);
    const double pol = (p > 0 ? 1 : -1) * (++k % 5 == 0 ? -1 : 1);
    st.push_back(Station("P", az, to, 10 * pol, pol));
    if (k % 250 == 0) st.push_back(Station("P", 40, 90, 1, 1));  // along the strike
  }
  for (auto [az, to] : Rays(60)) {
    st.push_back(Station("Sv", az, to, 1, RadiationAmplitude(M, to, az, 2) > 0 ? 1 : -1));
    st.push_back(Station("Sh", az, to, 1, RadiationAmplitude(M, to, az, 3) > 0 ? 1 : -1));
  }
  const int n = static_cast<int>(st.size());
  KZ_MecaMisfitGrid(st.data(), n, 0.1f, fast.data(), false);
  KZ_MecaMisfitGrid(st.data(), n, 0.1f, exhaustive.data(), true);
  std::size_t differ = 0;
  for (std::size_t i = 0; i < cells; ++i) differ += fast[i] != exhaustive[i];
  EXPECT_EQ(differ, 0u);
}
