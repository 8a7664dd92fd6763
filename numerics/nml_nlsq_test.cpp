// The public nonlinear fits: certified NIST problems, scipy comparisons, options, outputs
// and the failure paths.
#include "numerics/nml_nlsq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/nml_nlsq_internal.h"
#include "numerics/nml_test_util.h"

namespace {

// ---------------------------------------------------------------------------------------
// A fit problem in a global, since residual functions are plain function pointers.
struct Problem {
  std::string model;
  std::vector<float> x, y;
};
const Problem* g_p = nullptr;
int g_calls = 0;
std::vector<std::vector<float>> g_points;  // every point the residual function saw

float model_value(const std::string& model, const float* b, float x) {
  if (model == "Misra1a") return b[0] * (1.0f - std::exp(-b[1] * x));
  if (model == "MGH17") return b[0] + b[1] * std::exp(-x * b[3]) + b[2] * std::exp(-x * b[4]);
  if (model == "Bennett5") return b[0] * std::pow(b[1] + x, -1.0f / b[2]);
  if (model == "power") return b[0] * std::pow(x, b[1]);
  if (model == "powerlaw") return b[0] + b[1] * std::pow(x, b[2]);
  if (model == "expdecay") return b[0] * std::exp(-b[1] * x) + b[2];
  ADD_FAILURE() << "unknown model " << model;
  return 0.0f;
}

void residuals(int m, int n, float b[], float f[]) {
  ++g_calls;
  g_points.emplace_back(b, b + n);
  for (int i = 0; i < m; ++i) f[i] = g_p->y[i] - model_value(g_p->model, b, g_p->x[i]);
}

// Analytic Jacobian of the residuals of the NIST models, row order.
void jacobian(int m, int, float b[], float fjac[], int cd) {
  for (int i = 0; i < m; ++i) {
    const float x = g_p->x[i];
    float* r = fjac + (size_t)i * cd;
    if (g_p->model == "Misra1a") {
      const float e = std::exp(-b[1] * x);
      r[0] = -(1.0f - e);
      r[1] = -b[0] * x * e;
    } else if (g_p->model == "MGH17") {
      const float e4 = std::exp(-x * b[3]), e5 = std::exp(-x * b[4]);
      r[0] = -1.0f;
      r[1] = -e4;
      r[2] = -e5;
      r[3] = b[1] * x * e4;
      r[4] = b[2] * x * e5;
    } else {
      const float u = b[1] + x, p = std::pow(u, -1.0f / b[2]);
      r[0] = -p;
      r[1] = b[0] * p / (b[2] * u);
      r[2] = -b[0] * p * std::log(u) / (b[2] * b[2]);
    }
  }
}

struct Nist {
  Problem p;
  std::vector<double> start1, start2, cert, sd;
  double rss = 0.0;
};

Nist load_nist(const std::string& name) {
  Nist d;
  d.p.model = name;
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/nist/" + name + ".dat");
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  int nobs = 0;
  for (const auto& l : lines) {
    const auto q = l.find_first_not_of(' ');
    if (q != std::string::npos && l[q] == 'b' && q + 1 < l.size() && std::isdigit(l[q + 1]) &&
        l.find(" = ") != std::string::npos) {
      std::istringstream ss(l.substr(l.find('=') + 1));
      double a, b, c, e;
      if (ss >> a >> b >> c >> e) {
        d.start1.push_back(a);
        d.start2.push_back(b);
        d.cert.push_back(c);
        d.sd.push_back(e);
      }
    }
    if (l.rfind("Residual Sum of Squares:", 0) == 0) d.rss = std::atof(l.substr(24).c_str());
    if (l.rfind("Number of Observations:", 0) == 0) nobs = std::atoi(l.substr(23).c_str());
  }
  for (int i = 0; i < nobs; ++i) {  // observations from line 61 as "y x"
    std::istringstream ss(lines.at(60 + i));
    double y, x;
    ss >> y >> x;
    d.p.x.push_back((float)x);
    d.p.y.push_back((float)y);
  }
  return d;
}

double lre(double value, double certified) {
  const double rel = std::fabs(value - certified) / std::fabs(certified);
  return rel == 0.0 ? 99.0 : -std::log10(rel);
}

class Nlsq : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls = 0;
    g_points.clear();
  }
  void TearDown() override { l_nlsq_set_prediction_form(l_prediction_row_sum); }
  nmltest::StdErrCapture quiet_;  // the fits' warnings are not this test's output
};

// ---------------------------------------------------------------------------------------
// NIST StRD: from the certified start values, single precision reaches the certified values
// only to what float residuals allow. Rounding alone (eps = 2^-24 on each observation,
// propagated through the pseudo-inverse at the certified solution) limits the parameters
// to about 6.4 digits for Misra1a, 5.4 for MGH17 and 3.9 for Bennett5, and the residual sum
// of squares to about 4.8, 4.9 and 3.8 digits. With the analytic Jacobian the fits come
// close to that; the difference Jacobian (step sqrt(eps) of the scale) costs two to three
// digits more on the ill-conditioned problems, and on Bennett5 its rank decision drops a
// parameter. Not reached at all: MGH17 from start 1 (its exp(-2x) columns underflow to
// zero and the iteration stalls far away) and Bennett5 from start 2 (stalls in the flat
// valley at ~2 digits of the RSS).
TEST_F(Nlsq, NistCertifiedValues) {
  struct Case {
    const char* name;
    int start;
    bool analytic;           // else forward differences with internal scaling
    double params, rss, sd;  // least number of agreeing digits
  };
  const Case cases[] = {
      {"Misra1a", 1, true, 5.5, 4.0, 4.0},  {"Misra1a", 2, true, 5.5, 4.0, 4.0},
      {"MGH17", 2, true, 4.0, 4.0, 3.5},    {"Bennett5", 1, true, 3.2, 3.2, 2.2},
      {"Misra1a", 1, false, 3.3, 4.0, 2.2}, {"Misra1a", 2, false, 3.5, 4.0, 2.2},
      {"MGH17", 2, false, 1.5, 3.0, 1.0},
  };
  std::map<std::string, Nist> data;
  for (int form = 0; form < 2; ++form) {
    l_nlsq_set_prediction_form((l_prediction_form)form);
    for (const auto& c : cases) {
      if (!data.count(c.name)) data[c.name] = load_nist(c.name);
      const Nist& d = data[c.name];
      g_p = &d.p;
      const int m = (int)d.p.x.size(), n = (int)d.cert.size();
      std::vector<float> x0(n), xs(n), res(m), cov(n * n);
      for (int j = 0; j < n; ++j) {
        x0[j] = (float)(c.start == 1 ? d.start1[j] : d.start2[j]);
        xs[j] = 1.0f / std::fabs(x0[j]);
      }
      int rank = -1;
      float* b = c.analytic
                     ? nml_f_nonlin_least_squares(
                           residuals, m, n, NML_JACOBIAN_FUNCTION, jacobian, NML_X_SCALE, xs.data(),
                           NML_INITIAL_GUESS, x0.data(), NML_RESIDUALS_USER, res.data(),
                           NML_JACOBIAN_RANK, &rank, NML_JTJ_INVERSE_USER, cov.data(), 0)
                     : nml_f_nonlin_least_squares(residuals, m, n, NML_INTERNAL_SCALING,
                                                  NML_INITIAL_GUESS, x0.data(), NML_RESIDUALS_USER,
                                                  res.data(), NML_JACOBIAN_RANK, &rank,
                                                  NML_JTJ_INVERSE_USER, cov.data(), 0);
      const std::string what = std::string(c.name) + " start " + std::to_string(c.start) +
                               (c.analytic ? " analytic" : " differences") + " form " +
                               std::to_string(form);
      ASSERT_NE(b, nullptr) << what;
      EXPECT_EQ(rank, n) << what;
      double rss = 0.0;
      for (float r : res) rss += (double)r * r;
      EXPECT_GE(lre(rss, d.rss), c.rss) << what;
      const double s2 = rss / (m - n);
      for (int j = 0; j < n; ++j) {
        EXPECT_GE(lre(b[j], d.cert[j]), c.params) << what << " b" << j + 1;
        EXPECT_GE(lre(std::sqrt(s2 * cov[j * n + j]), d.sd[j]), c.sd) << what << " sd" << j + 1;
      }
      std::free(b);
    }
  }
}

// ---------------------------------------------------------------------------------------
// The base library's models against scipy.optimize.least_squares (tools/numerics_nlsq).
struct ScipyCase {
  std::string name, model;
  int m = 0, n = 0;
  bool bounded = false;
  Problem p;
  std::vector<double> start, lower, upper, params, jtjdiag;
  double rss = 0.0;
};

std::vector<ScipyCase> load_scipy() {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/nlsq_scipy.txt");
  std::vector<ScipyCase> cases;
  for (std::string line; std::getline(in, line);) {
    std::istringstream ss(line);
    std::string key;
    ss >> key;
    if (key == "case") {
      cases.emplace_back();
      int b;
      ss >> cases.back().name >> cases.back().model >> cases.back().m >> cases.back().n >> b;
      cases.back().bounded = b != 0;
      cases.back().p.model = cases.back().model;
      continue;
    }
    if (cases.empty() || key.empty() || key[0] == '#') continue;
    ScipyCase& c = cases.back();
    std::vector<double> v;
    for (std::string t; ss >> t;) v.push_back(t == "nan" ? NAN : std::stod(t));
    if (key == "x") c.p.x.assign(v.begin(), v.end());
    if (key == "y") c.p.y.assign(v.begin(), v.end());
    if (key == "start") c.start = v;
    if (key == "lower") c.lower = v;
    if (key == "upper") c.upper = v;
    if (key == "params") c.params = v;
    if (key == "jtjdiag") c.jtjdiag = v;
    if (key == "rss") c.rss = v.at(0);
  }
  return cases;
}

// Both routines get exactly the options the base library's fit driver passes.
TEST_F(Nlsq, BaseModelsAgreeWithScipy) {
  const auto cases = load_scipy();
  ASSERT_EQ(cases.size(), 5u);
  for (int form = 0; form < 2; ++form) {
    for (const auto& c : cases) {
      l_nlsq_set_prediction_form((l_prediction_form)form);
      g_p = &c.p;
      std::vector<float> x0(c.start.begin(), c.start.end()), res(c.m), cov(c.n * c.n);
      std::vector<float> lo(c.lower.begin(), c.lower.end()), hi(c.upper.begin(), c.upper.end());
      int rank = -1;
      float* b = c.bounded
                     ? nml_f_bounded_least_squares(residuals, c.m, c.n, 0, lo.data(), hi.data(),
                                                   NML_INITIAL_GUESS, x0.data(), NML_RESIDUALS_USER,
                                                   res.data(), NML_JACOBIAN_RANK, &rank,
                                                   NML_JTJ_INVERSE_USER, cov.data(), 0)
                     : nml_f_nonlin_least_squares(residuals, c.m, c.n, NML_INITIAL_GUESS, x0.data(),
                                                  NML_RESIDUALS_USER, res.data(), NML_JACOBIAN_RANK,
                                                  &rank, NML_JTJ_INVERSE_USER, cov.data(), 0);
      ASSERT_NE(b, nullptr) << c.name << " form " << form;
      EXPECT_EQ(rank, c.n) << c.name;
      for (int j = 0; j < c.n; ++j) {
        EXPECT_NEAR(b[j], c.params[j], 2e-3 * std::max(1.0, std::fabs(c.params[j])))
            << c.name << " p" << j;
        EXPECT_NEAR(std::sqrt(cov[j * c.n + j]), c.jtjdiag[j], 2e-2 * c.jtjdiag[j])
            << c.name << " (J'J)^-1 diagonal " << j;
        if (c.bounded) {
          EXPECT_GE(b[j], lo[j]);
          EXPECT_LE(b[j], hi[j]);
        }
      }
      double rss = 0.0;
      for (float r : res) rss += (double)r * r;
      EXPECT_NEAR(rss, c.rss, 1e-4 * c.rss) << c.name;
      std::free(b);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Options and outputs, on Misra1a (the residuals are cheap and the fit is well posed).
class NlsqOptions : public Nlsq {
 protected:
  void SetUp() override {
    Nlsq::SetUp();
    d_ = load_nist("Misra1a");
    g_p = &d_.p;
    m_ = (int)d_.p.x.size();
  }
  Nist d_;
  int m_ = 0;
  float x0_[2] = {250.0f, 5e-4f};
  float xs_[2] = {1.0f / 250.0f, 2000.0f};
  float far_[2] = {500.0f, 1e-4f};
  float far_scale_[2] = {1.0f / 500.0f, 1e4f};
};

TEST_F(NlsqOptions, TypedAndVariadicListsGiveTheSameFit) {
  std::vector<float> r1(m_), r2(m_);
  float* a = nml_f_nonlin_least_squares(residuals, m_, 2, NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_,
                                        NML_RESIDUALS_USER, r1.data(), 0);
  float* b = nml_f_nonlin_least_squares(
      residuals, m_, 2,
      nml_opts(NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_, NML_RESIDUALS_USER, r2.data(), 0));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
  EXPECT_EQ(r1, r2);
  EXPECT_GE(lre(a[0], d_.cert[0]), 3.0);
  std::free(a);
  std::free(b);
}

TEST_F(NlsqOptions, StartsFromZeroWithoutStartValues) {
  float* b = nml_f_nonlin_least_squares(residuals, m_, 2, NML_ITERATION_LIMIT, 1, 0);
  ASSERT_FALSE(g_points.empty());
  EXPECT_EQ(g_points[0], (std::vector<float>{0.0f, 0.0f}));
  std::free(b);
}

TEST_F(NlsqOptions, SizeErrorsReturnNullAndTouchNothing) {
  // each size test posts on its own
  struct Case {
    int m, n;
    std::vector<const char*> codes;
  };
  const Case cases[] = {{0, 1, {"8054", "8057"}}, {14, 0, {"8020"}}, {1, 2, {"8057"}}};
  for (const auto& c : cases) {
    quiet_.clear();
    float res[2] = {7.0f, 7.0f}, cov[4] = {7.0f, 7.0f, 7.0f, 7.0f};
    int rank = 7;
    float* b = nml_f_nonlin_least_squares(residuals, c.m, c.n, NML_RESIDUALS_USER, res,
                                          NML_JACOBIAN_RANK, &rank, NML_JTJ_INVERSE_USER, cov, 0);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL);
    for (const char* code : c.codes) EXPECT_NE(quiet_.text().find(code), std::string::npos) << code;
    EXPECT_EQ(rank, 7);
    EXPECT_EQ(res[0], 7.0f);
    EXPECT_EQ(cov[3], 7.0f);
    EXPECT_EQ(g_calls, 0);
  }
}

TEST_F(NlsqOptions, UnknownOptionEndsTheCall) {
  float* b = nml_f_nonlin_least_squares(residuals, m_, 2, NML_INITIAL_GUESS, x0_, 4711, 1.0, 0);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(nml_error_code(1), 103);
  EXPECT_EQ(g_calls, 0);
}

// m = n: two equations, two unknowns, solved exactly.
void square_fcn(int, int, float x[], float f[]) {
  f[0] = x[0] + x[1] - 3.0f;
  f[1] = x[0] - x[1] - 1.0f;
}

TEST_F(NlsqOptions, SquareSystemIsAccepted) {
  float* b = nml_f_nonlin_least_squares(square_fcn, 2, 2, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_NEAR(b[0], 2.0f, 1e-3f);
  EXPECT_NEAR(b[1], 1.0f, 1e-3f);
  std::free(b);
}

TEST_F(NlsqOptions, ResidualAndJacobianOutputs) {
  float user[14];
  float* given = nullptr;
  float* jnew = nullptr;
  std::vector<float> juser(m_ * 3, -1.0f);
  float result[2];
  float* b = nml_f_nonlin_least_squares(
      residuals, m_, 2, NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_, NML_RETURN_USER, result,
      NML_RESIDUALS, &given, NML_RESIDUALS_USER, user, NML_JACOBIAN_MATRIX, &jnew,
      NML_JACOBIAN_MATRIX_USER, juser.data(), NML_JACOBIAN_MATRIX_COL_DIM, 3, 0);
  ASSERT_EQ(b, result);
  EXPECT_EQ(given, user) << "with both residual options the pointer gets the caller's array";
  for (int i = 0; i < m_; ++i) {
    const float fi = d_.p.y[i] - result[0] * (1.0f - std::exp(-result[1] * d_.p.x[i]));
    EXPECT_NEAR(user[i], fi, 1e-4f);
    // J at the returned point by forward differences: compare with the analytic one
    const float e = std::exp(-result[1] * d_.p.x[i]);
    EXPECT_NEAR(juser[i * 3 + 0], -(1.0f - e), 2e-3f);
    EXPECT_NEAR(juser[i * 3 + 1], -result[0] * d_.p.x[i] * e, 2e-3f * result[0] * d_.p.x[i]);
    EXPECT_EQ(juser[i * 3 + 2], -1.0f) << "beyond n columns nothing is written";
    EXPECT_EQ(jnew[i * 3 + 0], juser[i * 3 + 0]);
    EXPECT_EQ(jnew[i * 3 + 1], juser[i * 3 + 1]);
  }
  std::free(jnew);

  float* fresh = nullptr;
  b = nml_f_nonlin_least_squares(residuals, m_, 2, NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_,
                                 NML_RESIDUALS, &fresh, 0);
  ASSERT_NE(fresh, nullptr);
  EXPECT_NEAR(fresh[0], user[0], 1e-3f);
  std::free(fresh);
  std::free(b);
}

TEST_F(NlsqOptions, NewInverseWinsOverCallersArray) {
  float* vnew = nullptr;
  float vuser[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
  float* b = nml_f_nonlin_least_squares(residuals, m_, 2, NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_,
                                        NML_JTJ_INVERSE_USER, vuser, NML_JTJ_INVERSE, &vnew, 0);
  ASSERT_TRUE(b && vnew);
  EXPECT_GT(vnew[0], 0.0f);
  EXPECT_EQ(vnew[1], vnew[2]) << "symmetric";
  EXPECT_EQ(vuser[0], -1.0f);
  std::free(vnew);
  std::free(b);
}

// Models with a parameter that the residuals cannot determine.
// y = b0*x + b1*x*(1 + 1e-4*(-1)^i): the second column leans 1e-4 away from the first.
float lean(int i) { return 1.0f + 1e-4f * (i % 2 ? -1.0f : 1.0f); }
void dependent_fcn(int m, int, float b[], float f[]) {
  for (int i = 0; i < m; ++i) {
    const float x = 1.0f + i;
    f[i] = 2.0f * x + 0.01f * (i % 3) - (b[0] * x + b[1] * x * lean(i));
  }
}
void dependent_jac(int m, int, float[], float fjac[], int cd) {
  for (int i = 0; i < m; ++i) {
    fjac[i * cd] = -(1.0f + i);
    fjac[i * cd + 1] = -(1.0f + i) * lean(i);
  }
}
float g_unused_last = 0.0f;
void unused_fcn(int m, int n, float b[], float f[])  // the parameter b[n-1] is not used
{
  for (int i = 0; i < m; ++i) {
    const float x = 0.5f * i;
    f[i] = 1.0f + 2.0f * x + 0.1f * (i % 2) - (b[0] + b[1] * x);
  }
  g_unused_last = b[n - 1];
}
void unused_first_fcn(int m, int, float b[], float f[])  // b[0] is not used
{
  for (int i = 0; i < m; ++i) {
    const float x = 0.5f * i;
    f[i] = 1.0f + 2.0f * x + 0.1f * (i % 2) - (b[1] + b[2] * x);
  }
}

TEST_F(Nlsq, RankDecisionAndDroppedParameters) {
  // Columns 1e-4 apart (with the analytic Jacobian, so that difference noise does not
  // blur them): kept under 100*eps = 1.2e-5, the default with a Jacobian function;
  // dropped under sqrt(eps) = 3.5e-4 and under 1e-3 given before or after the function.
  struct Case {
    bool jac;
    double tol;  // 0: none given
    bool tol_first;
    int rank;
  };
  const Case cases[] = {{true, 0, false, 2},
                        {true, 3.4526698e-4, false, 1},
                        {true, 1e-3, true, 1},
                        {true, 1e-3, false, 1}};
  for (const auto& c : cases) {
    int rank = -1;
    float cov[4];
    float start[2] = {1.0f, 1.0f};
    nml_options o = nml_opts(NML_INITIAL_GUESS, start);
    if (c.tol != 0 && c.tol_first) o.add(NML_RANK_TOLERANCE), o.add(c.tol);
    if (c.jac) o.add(NML_JACOBIAN_FUNCTION), o.add(dependent_jac);
    if (c.tol != 0 && !c.tol_first) o.add(NML_RANK_TOLERANCE), o.add(c.tol);
    o.add(NML_JACOBIAN_RANK), o.add(&rank), o.add(NML_JTJ_INVERSE_USER), o.add(cov), o.add(0);
    float* b = nml_f_nonlin_least_squares(dependent_fcn, 20, 2, o);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(rank, c.rank) << c.jac << " " << c.tol;
    if (rank == 1) {
      EXPECT_EQ(cov[1], 0.0f);
      EXPECT_EQ(cov[2], 0.0f);
      EXPECT_EQ(cov[3], 0.0f);
      EXPECT_GT(cov[0], 0.0f);
    }
    std::free(b);
  }
  // A parameter with an exactly zero column is not dropped: as the last one it gets a zero
  // row and column; as an earlier one its row of R is inconsistent and the fit fails.
  int rank = -1;
  float cov[9];
  float* b = nml_f_nonlin_least_squares(unused_fcn, 10, 3, NML_JACOBIAN_RANK, &rank,
                                        NML_JTJ_INVERSE_USER, cov, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(rank, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(cov[2 * 3 + k], 0.0f);
    EXPECT_EQ(cov[k * 3 + 2], 0.0f);
  }
  EXPECT_GT(cov[0], 0.0f);
  std::free(b);
  b = nml_f_nonlin_least_squares(unused_first_fcn, 10, 3, NML_JACOBIAN_RANK, &rank,
                                 NML_JTJ_INVERSE_USER, cov, 0);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(nml_error_code(1), 11060);
  EXPECT_EQ(rank, 3);
}

// Ordinary data must not end the program: the failure comes back as a null result.
TEST_F(NlsqOptions, FailuresReturnNull) {
  struct Case {
    nml_options opts;
    int type, code;
  };
  const Case cases[] = {
      {nml_opts(NML_INITIAL_GUESS, x0_, NML_FUNCTION_DIGITS, 1, 0), NML_TERMINAL, 8052},
      {nml_opts(NML_INITIAL_GUESS, x0_, NML_LM_SEARCH_LIMIT, 0, NML_INITIAL_TRUST_RADIUS, 1e-3, 0),
       NML_FATAL, 12115},
  };
  for (const auto& c : cases) {
    float* b = nml_f_nonlin_least_squares(residuals, m_, 2, c.opts);
    EXPECT_EQ(b, nullptr) << c.code;
    EXPECT_EQ(nml_error_type(1), c.type) << c.code;
    EXPECT_EQ(nml_error_code(1), c.code);
  }
}

// After a failed step search the outputs describe the last accepted point: J there, not
// the factored matrix the search was working on.
TEST_F(NlsqOptions, OutputsAfterAFailedSearchDescribeTheLastPoint) {
  std::vector<float> j(m_ * 2, 0.0f), res(m_, 0.0f);
  float* b = nml_f_nonlin_least_squares(residuals, m_, 2, NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_,
                                        NML_LM_SEARCH_LIMIT, 0, NML_INITIAL_TRUST_RADIUS, 1e-3,
                                        NML_JACOBIAN_MATRIX_USER, j.data(), NML_RESIDUALS_USER,
                                        res.data(), 0);
  ASSERT_EQ(b, nullptr);
  ASSERT_EQ(nml_error_code(1), 12115);
  for (int i = 0; i < m_; ++i) {
    const float x = d_.p.x[i], e = std::exp(-x0_[1] * x);
    EXPECT_NEAR(j[i * 2 + 0], -(1.0f - e), 1e-3f) << i;
    EXPECT_NEAR(j[i * 2 + 1], -x0_[0] * x * e, 2e-3f * x0_[0] * x) << i;
    EXPECT_NEAR(res[i], d_.p.y[i] - x0_[0] * (1.0f - e), 1e-4f) << i;
  }
}

// Residuals with deterministic noise of 1e-6 (a hash of x's bits) near their minimum: tiny
// steps lower f far less than predicted, which is false convergence.
void noisy_fcn(int, int, float x[], float f[]) {
  unsigned u;
  std::memcpy(&u, &x[0], sizeof u);
  u *= 2654435761u;
  const float noise = 1e-6f * (((u >> 8) & 0xffff) / 65536.0f - 0.5f);
  f[0] = (x[0] - 1.0f) + noise;
  f[1] = 0.5f * (x[0] - 1.0f) - noise;
}

TEST_F(Nlsq, FalseConvergenceReturnsNull) {
  float start[1] = {3.0f};
  float* b = nml_f_nonlin_least_squares(
      noisy_fcn, 2, 1, NML_INITIAL_GUESS, start, NML_GRADIENT_TOLERANCE, 0.0, NML_STEP_TOLERANCE,
      0.0, NML_RELATIVE_FUNCTION_TOLERANCE, 0.0, NML_ABSOLUTE_FUNCTION_TOLERANCE, 0.0, 0);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  EXPECT_EQ(nml_error_code(1), 8051);
}

TEST_F(NlsqOptions, WarningsKeepTheSolution) {
  // the iteration limit, and the fifth step of maximum length
  struct Case {
    nml_options opts;
    int code;
  };
  const Case cases[] = {
      {nml_opts(NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_, NML_ITERATION_LIMIT, 2, 0), 8017},
      {nml_opts(NML_X_SCALE, far_scale_, NML_INITIAL_GUESS, far_, NML_STEP_LIMIT, 0.05, 0), 8032},
  };
  for (const auto& c : cases) {
    float* b = nml_f_nonlin_least_squares(residuals, m_, 2, c.opts);
    ASSERT_NE(b, nullptr) << c.code;
    EXPECT_EQ(nml_error_type(1), NML_WARNING);
    EXPECT_EQ(nml_error_code(1), c.code);
    std::free(b);
  }
}

TEST_F(NlsqOptions, StartAtTheSolutionReturnsAtOnce) {
  float sol[2] = {238.94212918f, 5.5015643181e-4f};
  int iparam[6] = {1, 7, 100, 400, 400, 0};
  const float eps = nml_amach(4);
  float rparam[7] = {std::sqrt(eps), 2.4e-5f, 2.4e-5f, 1.0f, 100 * eps, -999.0f, -999.0f};
  float d[2] = {1.0f, 1.0f}, e[14], x[2], fx[14], fjac[28], wk[9 * 2 + 3 * 14 - 1];
  int iwk[2];
  for (float& v : e) v = 1.0f;
  // absolute tolerance 1 is above f = 0.0623 at the certified point
  U2LSF(residuals, m_, 2, sol, d, e, iparam, rparam, x, fx, fjac, m_, wk, iwk, 100);
  EXPECT_EQ(iparam[2], 0);
  EXPECT_EQ(iparam[3], 3) << "F and the two difference columns";
  EXPECT_EQ(iparam[4], 1);
  EXPECT_EQ(x[0], sol[0]);
  EXPECT_EQ(nml_error_type(1), 0);
}

// The unbounded fit counts every call of the residual function; the bounded one does not
// count the difference Jacobians inside its iteration (only the one at the start).
TEST_F(NlsqOptions, FunctionEvaluationCounts) {
  const float eps = nml_amach(4);
  float e[14], x[2], fx[14], fjac[28];
  for (float& v : e) v = 1.0f;
  std::vector<float> wk(11 * 2 + 3 * 14 - 1);
  int iwk[4];
  for (int bounded = 0; bounded < 2; ++bounded) {
    g_calls = 0;
    int iparam[6] = {1, 7, 100, 400, 400, 0};
    float rparam[7] = {std::sqrt(eps), 2.4e-5f, 2.4e-5f, 2.4e-5f, 100 * eps, -999.0f, -999.0f};
    float d[2] = {xs_[0], xs_[1]};
    float lo[2] = {0.0f, 0.0f}, hi[2] = {1000.0f, 1.0f};
    if (bounded)
      B2LSF(residuals, m_, 2, x0_, 0, lo, hi, d, e, iparam, rparam, x, fx, fjac, m_, wk.data(), iwk,
            100);
    else
      U2LSF(residuals, m_, 2, x0_, d, e, iparam, rparam, x, fx, fjac, m_, wk.data(), iwk, 100);
    EXPECT_GT(iparam[2], 1);
    EXPECT_EQ(iparam[3], g_calls - (bounded ? 2 * (iparam[4] - 1) : 0)) << bounded;
    EXPECT_GE(lre(x[0], d_.cert[0]), 3.0) << bounded;
  }
}

TEST_F(NlsqOptions, NegativeSettingsAreReplacedWithWarnings) {
  float* b = nml_f_nonlin_least_squares(residuals, m_, 2, NML_X_SCALE, xs_, NML_INITIAL_GUESS, x0_,
                                        NML_GRADIENT_TOLERANCE, -1.0, NML_ITERATION_LIMIT, -5, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_GE(lre(b[0], d_.cert[0]), 3.0);
  EXPECT_NE(quiet_.text().find("8072"), std::string::npos);
  EXPECT_NE(quiet_.text().find("8069"), std::string::npos);
  std::free(b);
}

// ---------------------------------------------------------------------------------------
// Bounded fit
TEST_F(NlsqOptions, BoundedStartOutsideTheBoxIsProjected) {
  float lo[2] = {100.0f, 1e-4f}, hi[2] = {230.0f, 1e-3f};
  float start[2] = {500.0f, 1e-5f};
  float* b = nml_f_bounded_least_squares(residuals, m_, 2, 0, lo, hi, NML_X_SCALE, xs_,
                                         NML_INITIAL_GUESS, start, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(g_points[0], (std::vector<float>{230.0f, 1e-4f}));
  for (const auto& p : g_points) {
    EXPECT_LE(p[0], hi[0] * (1 + 4e-4f))
        << "trial points stay in the box (up to a difference step)";
    EXPECT_GE(p[1], lo[1]);
  }
  // b1 = 238.9 is outside: the fit ends on the upper bound of b1
  EXPECT_EQ(b[0], 230.0f);
  EXPECT_GT(b[1], 5.5e-4f);
  std::free(b);
}

TEST_F(NlsqOptions, BoundedAllFixedEndsInFirstIteration) {
  // The unconstrained optimum lies above both upper bounds: the gradient points out of
  // the box in every coordinate.
  float lo[2] = {0.0f, 0.0f}, hi[2] = {100.0f, 1e-4f};
  float start[2] = {1000.0f, 1.0f};
  int iparam[6] = {1, 7, 100, 400, 400, 0};
  const float eps = nml_amach(4);
  float rparam[7] = {0.0f, 0.0f, 0.0f, 0.0f, 100 * eps, -999.0f, -999.0f};
  float d[2] = {1.0f / 100, 1e4f}, e[14], x[2], fx[14], fjac[28];
  std::vector<float> wk(11 * 2 + 3 * 14 - 1);
  int iwk[4];
  for (float& v : e) v = 1.0f;
  B2LSF(residuals, m_, 2, start, 0, lo, hi, d, e, iparam, rparam, x, fx, fjac, m_, wk.data(), iwk,
        100);
  EXPECT_EQ(x[0], 100.0f);
  EXPECT_EQ(x[1], 1e-4f);
  EXPECT_EQ(iparam[2], 1);
  EXPECT_EQ(iparam[3], 3);
  EXPECT_EQ(iparam[4], 1);
}

TEST_F(NlsqOptions, BoundTypes) {
  struct Case {
    int ibtype;
    float lo0, hi0;  // given first bounds
    float lo1, hi1;  // expected second bounds
  };
  const Case cases[] = {{1, 5, 6, 0.0f, 1e20f}, {3, 1.0f, 1000.0f, 1.0f, 1000.0f}};
  for (const auto& c : cases) {
    float lo[2] = {c.lo0, -7.0f}, hi[2] = {c.hi0, -7.0f};
    float start[2] = {100.0f, 1e-3f};
    float* b = nml_f_bounded_least_squares(residuals, m_, 2, c.ibtype, lo, hi, NML_INITIAL_GUESS,
                                           start, NML_ITERATION_LIMIT, 1, 0);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(lo[1], c.lo1);
    EXPECT_EQ(hi[1], c.hi1);
    std::free(b);
  }
  float lo[2] = {0, 0}, hi[2] = {1, 1};
  g_calls = 0;
  float* b = nml_f_bounded_least_squares(residuals, m_, 2, 7, lo, hi, 0);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(nml_error_code(1), 8022);
  EXPECT_EQ(g_calls, 0);
}

TEST_F(NlsqOptions, BoundedStepSearchHasAPassLimit) {
  float lo[2] = {0.0f, 0.0f}, hi[2] = {1000.0f, 1.0f};
  float* b = nml_f_bounded_least_squares(residuals, m_, 2, 0, lo, hi, NML_INITIAL_GUESS, x0_,
                                         NML_LM_SEARCH_LIMIT, 0, NML_INITIAL_TRUST_RADIUS, 1e-3, 0);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(nml_error_code(1), 12115);
}

TEST(NlsqBounds, ClassifyWithinEpsOfABound) {
  const float eps = nml_amach(4);
  const float x[4] = {1.0f + 0.5f * eps, 2.0f, 3.0f - 0.5f * eps, 5.0f};
  const float lo[4] = {1.0f, 0.0f, 0.0f, 5.0f}, hi[4] = {9.0f, 9.0f, 3.0f, 5.0f};
  int ib[4], anyfixed = 0;
  l_classify_bounds(4, x, lo, hi, ib, eps, &anyfixed);
  EXPECT_EQ(ib[0], 1);
  EXPECT_EQ(ib[1], 0);
  EXPECT_EQ(ib[2], 2);
  EXPECT_EQ(ib[3], 1) << "both bounds close: the lower one";
  EXPECT_EQ(anyfixed, 1);
}

}  // namespace
