// Modified Bessel functions of complex argument against mpmath (table by
// tools/numerics_further/gen_bessel_complex_table.py): both normalisations, reflected
// arguments, orders up to 14; the option and the error cases.
#include "numerics/further/nml_bessel_complex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/nml_test_util.h"

namespace {

struct Case {
  float nu, re, im;
  std::vector<std::complex<double>> I, K;
};

std::vector<Case> ReadTable() {
  std::ifstream in(TV_SOURCE_DIR "/numerics/further/testdata/bessel_complex_reference.txt");
  std::vector<Case> out;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string word;
    s >> word;
    if (word != "case") continue;
    Case c;
    int n = 0;
    s >> c.nu >> c.re >> c.im >> n;
    for (int k = 0; k < n && std::getline(in, line); ++k) {
      std::istringstream v(line);
      double a, b, d, e;
      v >> a >> b >> d >> e;
      c.I.emplace_back(a, b);
      c.K.emplace_back(d, e);
    }
    out.push_back(c);
  }
  return out;
}

std::unique_ptr<nml_f_complex, decltype(&std::free)> Owned(nml_f_complex* p) {
  return {p, &std::free};
}

class BesselComplex : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

TEST_F(BesselComplex, MatchesMpmath) {
  const auto cases = ReadTable();
  ASSERT_EQ(cases.size(), 22u);
  for (const Case& c : cases) {
    const int n = static_cast<int>(c.I.size());
    const nml_f_complex z = nml_c_make(c.re, c.im);
    auto I = Owned(nml_c_bessel_Ix(c.nu, z, n, 0));
    auto K = Owned(nml_c_bessel_Kx(c.nu, z, n, 0));
    ASSERT_TRUE(I && K) << c.nu << " " << c.re << " " << c.im;
    EXPECT_EQ(nml_error_type(1), 0);
    for (int k = 0; k < n; ++k) {
      const std::complex<double> gi(I.get()[k].re, I.get()[k].im), gk(K.get()[k].re, K.get()[k].im);
      const double tol = 2e-5;
      EXPECT_LE(std::abs(gi - c.I[k]), tol * std::abs(c.I[k]))
          << "I order " << c.nu + k << " at " << c.re << "+" << c.im << "i: " << gi;
      EXPECT_LE(std::abs(gk - c.K[k]), tol * std::abs(c.K[k]))
          << "K order " << c.nu + k << " at " << c.re << "+" << c.im << "i: " << gk;
    }
    // Wronskian I_v K_v+1 + I_v+1 K_v = 1/z on the computed sequences.
    const std::complex<double> zd(c.re, c.im);
    for (int k = 0; k + 1 < n; ++k) {
      auto at = [](const nml_f_complex* p, int i) {
        return std::complex<double>(p[i].re, p[i].im);
      };
      const std::complex<double> w =
          at(I.get(), k) * at(K.get(), k + 1) + at(I.get(), k + 1) * at(K.get(), k);
      const double scale = std::abs(at(I.get(), k) * at(K.get(), k + 1)) +
                           std::abs(at(I.get(), k + 1) * at(K.get(), k));
      EXPECT_LE(std::abs(w - 1.0 / zd), 2e-5 * scale) << c.nu + k << " at " << zd;
    }
  }
}

TEST_F(BesselComplex, AdressFormsAndCallersArray) {
  float nu = 1.0f;
  nml_f_complex z = nml_c_make(1.0f, 0.0f);
  nml_f_complex out[2] = {};
  EXPECT_EQ(nml_c_bessel_Ix_adr(&nu, &z, 2, NML_RETURN_USER, out, 0), out);
  EXPECT_NEAR(out[0].re, 0.5651591f, 1e-6f);
  EXPECT_NEAR(out[1].re, 0.1357477f, 1e-6f);
  EXPECT_EQ(nml_c_bessel_Kx_adr(&nu, &z, 2, NML_RETURN_USER, out, 0), out);
  EXPECT_NEAR(out[0].re, 0.60190723f, 1e-6f);
}

TEST_F(BesselComplex, Errors) {
  struct Row {
    bool k;
    float nu, re, im;
    int n, option;
    int type, code;
    bool null;
  } rows[] = {
      {false, 0.0f, 1.0f, 0.0f, 0, 0, NML_TERMINAL, 14000, true},
      {true, 0.0f, 1.0f, 0.0f, 2, 77, NML_TERMINAL, 11001, true},
      {false, -0.5f, 1.0f, 0.0f, 2, 0, NML_TERMINAL, 14001, true},
      {true, -0.4f, 1.0f, 0.0f, 2, 0, 0, 0, false},
      {false, 0.0f, 1e16f, 0.0f, 2, 0, NML_TERMINAL, 14002, true},
      {true, 0.0f, 80.0f, 0.0f, 2, 0, NML_WARNING, 14003, false},
      {false, 0.0f, 1.0f, 0.0f, 60, 0, NML_FATAL, 14004, true},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    const nml_f_complex z = nml_c_make(r.re, r.im);
    auto p = Owned(r.k ? nml_c_bessel_Kx(r.nu, z, r.n, r.option, nullptr, 0)
                       : nml_c_bessel_Ix(r.nu, z, r.n, r.option, nullptr, 0));
    EXPECT_EQ(p == nullptr, r.null) << r.code;
    EXPECT_EQ(nml_error_type(1), r.type) << r.code;
    EXPECT_EQ(nml_error_code(1), r.code);
  }
  // With the caller's array the entries that could be computed are there and the others are
  // NaN: I_k(1) falls below single precision's tiny/eps near order 24.
  nmltest::FreshRuntime();
  std::vector<nml_f_complex> out(60, nml_c_make(-7.0f, 0.0f));
  EXPECT_EQ(nml_c_bessel_Ix(0.0f, nml_c_make(1.0f, 0.0f), 60, NML_RETURN_USER, out.data(), 0),
            out.data());
  EXPECT_EQ(nml_error_code(1), 14004);
  EXPECT_NEAR(out[0].re, 1.2660659f, 1e-6f);
  EXPECT_GT(out[20].re, 0.0f);
  EXPECT_TRUE(std::isnan(out[59].re));
}

}  // namespace
