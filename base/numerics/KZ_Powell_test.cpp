#include "base/numerics/KZ_Powell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "base/numerics/TestTables.h"

namespace {

int g_calls = 0;

double Bowl2(double* v, void*, double*) {
  ++g_calls;
  return (v[0] - 1) * (v[0] - 1) + 10 * (v[1] + 2) * (v[1] + 2);
}
double Rosenbrock(double* v, void*, double*) {
  return 100 * std::pow(v[1] - v[0] * v[0], 2) + std::pow(1 - v[0], 2);
}
double Beale(double* v, void*, double*) {
  const double x = v[0], y = v[1];
  return std::pow(1.5 - x + x * y, 2) + std::pow(2.25 - x + x * y * y, 2) +
         std::pow(2.625 - x + x * y * y * y, 2);
}
double Bowl3(double* v, void*, double*) {
  return std::pow(v[0] + v[1] + v[2] - 3, 2) + std::pow(v[0] - v[1], 2) +
         2 * std::pow(v[1] - v[2] + 1, 2) + 0.5;
}
double Powell4(double* v, void*, double*) {
  return std::pow(v[0] + 10 * v[1], 2) + 5 * std::pow(v[2] - v[3], 2) +
         std::pow(v[1] - 2 * v[2], 4) + 10 * std::pow(v[0] - v[3], 4);
}
double Valley(double* v, void*, double*) {
  const double a = v[0] + 0.9 * v[1], b = v[0] - v[1];
  return a * a + 30 * b * b + 1;
}
double Huge(double* v, void*, double*) { return -1e10 - v[0] * v[0]; }
double ScratchSeen(double* v, void* unused, double* scratch) {
  EXPECT_EQ(unused, nullptr);
  EXPECT_NE(scratch, nullptr);
  return v[0] * v[0];
}

}  // namespace

TEST(Powell, AgreesWithScipyOnStandardFunctions) {
  const std::map<std::string, std::pair<KZ_PowellObjective, double>> functions = {
      {"bowl2", {Bowl2, 1e-6}}, {"rosenbrock", {Rosenbrock, 1e-4}}, {"beale", {Beale, 1e-4}},
      {"bowl3", {Bowl3, 1e-6}}, {"powell4", {Powell4, 2e-2}},  // singular Hessian at its minimum
  };
  tv_test::Table t("base/numerics/testdata/powell.txt");
  int rows = 0;
  while (!t.done()) {
    const std::string name = t.word();
    const int n = t.integer();
    auto p = t.nums(n);
    const auto expect = t.nums(n);
    const double fexpect = t.num();
    const auto& fn = functions.at(name);
    // Where the minimum value is 0 the fractional test of 1e-15 may never be met, so the
    // pass limit can end the run; the point reached is what counts.
    KZ_PowellMinimize(fn.first, p.data(), nullptr, n, 1e-15, 200);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(p[i], expect[i], fn.second) << name << " " << i;
    double scratch;
    EXPECT_NEAR(fn.first(p.data(), nullptr, &scratch), fexpect, 1e-8) << name;
    ++rows;
  }
  EXPECT_EQ(rows, 5);
}

TEST(Powell, QuadraticBowlConvergesInAFewPasses) {
  double p[2] = {0, 0};
  g_calls = 0;
  EXPECT_FALSE(KZ_PowellMinimize(Bowl2, p, nullptr, 2, 1e-15, 100));
  EXPECT_NEAR(p[0], 1, 1e-7);
  EXPECT_NEAR(p[1], -2, 1e-7);
  EXPECT_LT(g_calls, 200);
}

TEST(Powell, StopsAtThePassLimitOrOnHugeValues) {
  double p[2] = {-1.2, 1};
  EXPECT_TRUE(KZ_PowellMinimize(Rosenbrock, p, nullptr, 2, 1e-15, 1));
  double q[1] = {0.5};
  EXPECT_TRUE(KZ_PowellMinimize(Huge, q, nullptr, 1, 1e-15, 100));
  double r[1] = {3};
  EXPECT_FALSE(KZ_PowellMinimize(ScratchSeen, r, nullptr, 1, 1e-15, 100));
  double big[21] = {};
  EXPECT_TRUE(
      KZ_PowellMinimize(ScratchSeen, big, nullptr, 21, 1e-15, 100));  // beyond the line state
}

TEST(Powell, CallersDirectionsAreUpdatedInPlace) {
  // A narrow rotated valley: the overall step replaces a direction.
  double rows[2][2] = {{1, 0}, {0, 1}};
  double* xi[2] = {rows[0], rows[1]};
  double p[2] = {-1.2, 1};
  EXPECT_FALSE(KZ_PowellMinimize(Valley, p, xi, 2, 1e-15, 100));
  EXPECT_EQ(xi[0], rows[0]);
  EXPECT_NE(rows[0][0], 1.0);
  EXPECT_NEAR(p[0], 0, 1e-7);
  EXPECT_NEAR(p[1], 0, 1e-7);
  double q[3] = {5, -4, 2};
  EXPECT_FALSE(KZ_PowellMinimize(Bowl3, q, nullptr, 3, 1e-15, 100));
  EXPECT_NEAR(q[0], 2.0 / 3, 1e-6);
}

TEST(LineSearch, BracketAndBrentOnAParabola) {
  auto parabola = [](double s) { return (s - 3.7) * (s - 3.7) + 1; };
  double a = 0, b = 1, c, fa, fb, fc;
  KZ_BracketMinimum(&a, &b, &c, &fa, &fb, &fc, parabola);
  EXPECT_LT(fb, fa);
  EXPECT_LT(fb, fc);
  EXPECT_TRUE((a - b) * (b - c) > 0);  // b between a and c
  double xmin = 0;
  EXPECT_NEAR(KZ_BrentMinimize(a, b, c, parabola, 1e-8, &xmin), 1.0, 1e-12);
  EXPECT_NEAR(xmin, 3.7, 1e-6);
}
