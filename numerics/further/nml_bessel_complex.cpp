// Modified Bessel functions of complex argument. The argument is reflected into the right
// half-plane; Miller's backward recurrence gives the ratios of the I functions from a start
// order found by a forward trial; the sequence is normalised through the Neumann series of
// the I functions (small |w|) or through the Wronskian with K from Temme's second continued
// fraction (larger |w|); K then runs upward by forward recurrence of K and K'.
#include "numerics/further/nml_bessel_complex.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdarg>
#include <cstdlib>
#include <vector>

#include "numerics/further/nml_constant.h"

namespace {

using C = std::complex<float>;
using CD = std::complex<double>;

constexpr int kLimit = 20000;

// Continued-fraction coefficients (tools/numerics_further/gen_bessel_fractions.py):
//   ln Gamma(1 + v) = v G1 / (1 + v G2 / (1 + v G3 / ...))
//   (x / sin x - 1) / x^2 = S1 / (1 + y S2 / (1 + y S3 / ...)), y = x^2
constexpr float kG[33] = {
    -5.77215665e-1f, 1.42488689f,    -9.37711577e-1f, -9.77347727e-2f, 6.13061586e-1f,
    1.03554835e-1f,  3.83345368e-1f, 1.67609853e-1f,  3.42315307e-1f,  1.87209638e-1f,
    3.04417645e-1f,  2.03805774e-1f, 3.03692224e-1f,  2.11147344e-1f,  2.81549253e-1f,
    2.1866204e-1f,   2.88759993e-1f, 2.21136569e-1f,  2.71193123e-1f,  2.2785164e-1f,
    2.79828902e-1f,  2.25771973e-1f, 2.67065335e-1f,  2.33819248e-1f,  2.72079713e-1f,
    2.29730432e-1f,  2.6623289e-1f,  2.3557729e-1f,   2.66512996e-1f,  2.35242322e-1f,
    2.63910127e-1f,  2.34981396e-1f, 2.6594703e-1f};
constexpr float kS[12] = {1.66666667e-1f, -1.16666667e-1f, 1.12244898e-2f, -2.8396207e-2f,
                          3.88183101e-3f, -1.25669017e-2f, 1.95901584e-3f, -7.05867445e-3f,
                          1.17979744e-3f, -4.51456369e-3f, 7.88000857e-4f, -3.13399282e-3f};

// Machine-dependent constants, set once.
struct State {
  float eps, lnEps, r, lnTinyEps, hugeps, huge, tinyeps;
  int nG, nS;  // coefficients of the two fractions used at this precision
  float pi;
};

const State& St() {
  static const State s = [] {
    State t{};
    const float tiny = nml_amach(1);
    t.huge = nml_amach(2);
    t.eps = nml_amach(3);
    t.lnEps = std::log(t.eps);
    t.tinyeps = tiny / t.eps;
    t.r = std::sqrt(t.tinyeps);
    t.lnTinyEps = std::log(t.tinyeps);
    t.hugeps = t.huge * t.eps;
    const float d = -0.4343f * t.lnEps;
    t.nG = std::min(33, static_cast<int>(1.3f * d + 1.1f) + 1);
    t.nS = std::min(12, static_cast<int>(0.45f * d + 2.0f) + 1);
    t.pi = nml_f_constant("pi", nullptr);
    return t;
  }();
  return s;
}

float L1(C c) { return std::fabs(c.real()) + std::fabs(c.imag()); }
C ToC(nml_f_complex z) { return {z.re, z.im}; }
nml_f_complex ToN(C z) { return nml_c_make(z.real(), z.imag()); }

// ln Gamma(1 + v), |v| <= 1/2.
float LnGamma1p(float v) {
  const State& s = St();
  float t = 1.0f;
  for (int i = s.nG - 1; i >= 1; --i) t = 1.0f + v * kG[i] / t;
  return v * kG[0] / t;
}

// (x / sin x - 1) / x^2.
float SinFraction(float x) {
  const State& s = St();
  const float y = x * x;
  float t = 1.0f;
  for (int i = s.nS - 1; i >= 1; --i) t = 1.0f + y * kS[i] / t;
  return kS[0] / t;
}

// Temme's second continued fraction for K at order nu0 (|nu0| <= 1/2), Re w >= 0, by
// Steed's algorithm. Returns K'/K; with sInv also 1/S, where K = sqrt(pi/(2w)) e^-w / S.
// False when the fraction did not settle within the term limit.
bool C3IS_KCF(C w, float nu0, float eps, C* dKoverK, C* sInv) {
  const float a1 = 0.25f - nu0 * nu0;
  C b = 2.0f * (1.0f + w), d = 1.0f / b, h = d, dh = d;
  C q1 = 0.0f, q2 = 1.0f, q = a1, c = a1;
  float a = -a1;
  C s = 1.0f + q * dh;
  bool settled = false;
  for (int i = 1; i < kLimit; ++i) {
    a -= 2.0f * static_cast<float>(i);
    c = -a * c / static_cast<float>(i + 1);
    const C qn = (q1 - b * q2) / a;
    q1 = q2;
    q2 = qn;
    q += c * qn;
    b += 2.0f;
    d = 1.0f / (b + a * d);
    dh = (b * d - 1.0f) * dh;
    h += dh;
    const C ds = q * dh;
    s += ds;
    float change = L1(dh) / L1(h);
    if (sInv) change = std::max(change, L1(ds) / L1(s));
    if (change < eps) {
      settled = true;
      break;
    }
  }
  // K_{nu0+1}/K_nu0 = (nu0 + w + 1/2 - a1 h)/w and K' = (nu0/w) K - K_{nu0+1}.
  *dKoverK = (a1 * h - w - 0.5f) / w;
  if (sInv) *sInv = 1.0f / s;
  return settled;
}

void FillHuge(int n, nml_f_complex I[]) {
  const nml_f_complex v = nml_c_make(St().huge, 0.0f);
  const int one = 1;
  nml_c_fill(&n, &v, I, &one);
}

struct Kernel {
  C z;
  float nu;
  int n;
  nml_f_complex* I;
  nml_f_complex* K;
  bool wantK;

  void Run();
};

void Kernel::Run() {
  const State& st = St();
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 14000);
    return;
  }
  if (nu <= -0.5f) {
    nml_error_set_float(1, nu);
    nml_error_post(NML_TERMINAL, 14001);
    FillHuge(n, I);
    return;
  }
  // Reflection into the right half-plane: z = w e^(i sigma pi).
  float sgn = 1.0f, sigma = 0.0f;
  if (z.real() < 0.0f || (z.real() == 0.0f && z.imag() < 0.0f)) {
    sgn = -1.0f;
    sigma = z.imag() >= 0.0f ? 1.0f : -1.0f;
  }
  const C w = sgn * z;
  const float aw = std::abs(w);
  if (aw > 1.0f / st.r) {
    nml_error_set_complex(1, w.real(), w.imag());
    nml_error_set_float(1, 1.0f / st.r);
    nml_error_post(NML_TERMINAL, 14002);
    FillHuge(n, I);
    return;
  }

  // Entries that cannot be computed (underflow of I, overflow of K) read as NaN.
  {
    const nml_f_complex nan = nml_c_make(nml_amach(6), nml_amach(6));
    const int one = 1;
    nml_c_fill(&n, &nan, I, &one);
    if (wantK) nml_c_fill(&n, &nan, K, &one);
  }
  int computed = 0;  // entries 1..computed written
  auto finish = [&] {
    if (computed == 0) {
      nml_error_post(NML_WARNING, 14003);
    } else if (computed < n) {
      nml_error_set_int(1, computed);
      nml_error_post(NML_FATAL, 14004);
    }
  };

  // Orders: index j stands for nu + j - 1; j0 is the index of nu0 in (-1/2, 1/2].
  const int m = std::max(static_cast<int>(nu + 0.4999f), 0);
  float nu0 = nu - static_cast<float>(m);
  int j0 = 1 - m;
  if (aw < 0.001f && nu0 * std::log(aw) > 2.0f) {
    j0 = 2 - m;
    nu0 = nu - static_cast<float>(m) + 1.0f;
    if (m == 0) return finish();
  }
  const bool small = aw < 3.0f || (std::fabs(w.real()) < 2.0f && std::fabs(w.imag()) < 20.0f);

  // Start of the backward recurrence: where the forward recurrence (dominated by K) has grown
  // beyond what the wanted precision needs.
  if (aw > static_cast<float>(kLimit)) return finish();
  int N = std::max({n + 1, j0 + 2, static_cast<int>(aw)});
  {
    const float grow = small ? 10.0f / st.eps : std::sqrt(10.0f / st.eps);
    C pm = 0.0f, p = 1.0f;
    while (L1(p) <= grow && N <= kLimit) {
      const C pn = pm - (2.0f * (nu + static_cast<float>(N - 1)) / w) * p;
      pm = p;
      p = pn;
      ++N;
    }
    if (N > kLimit) return finish();
    if ((N - j0) % 2 != 0) ++N;
  }

  // Backward recurrence in ratio form. ratio_j = I_{mu-1}/I_mu - mu/w at order mu of index j.
  std::vector<C> y(static_cast<std::size_t>(n) + 1);  // unnormalised I, index 1..n
  const float nuN = nu + static_cast<float>(N - 1);
  C val = 1.0f;
  C ratio = nuN / w + w / (2.0f * (nuN + 1.0f));
  C neumann = val, dsum = val;  // sums over the indices j0 + 2k (Neumann: k >= 0; D: k >= 1)
  float c = 1.0f, e = 1.0f;
  const float limit = std::min(1.0f, std::pow(aw, nu0 + 1.0f)) * st.hugeps;
  auto rho = [nu0](int k) {
    return k == 1 ? 2.0f + nu0
                  : (nu0 + 2.0f * k) * (nu0 + k - 1.0f) / ((nu0 + 2.0f * k - 2.0f) * k);
  };
  for (int j = N - 1; j >= j0; --j) {
    const float mu = nu + static_cast<float>(j - 1);
    const C f = (mu + 1.0f) / w + ratio;
    val *= f;
    ratio = 1.0f / f + mu / w;
    if (j >= 1 && j <= n) y[j] = val;
    if ((j - j0) % 2 == 0) {
      const int k = (j - j0) / 2;  // pair reached; the pair left is k + 1
      c = -c / rho(k + 1);
      neumann += c * val;
      if (k >= 1) {
        e *= (static_cast<float>(k + 1) - nu0) / ((k + 2.0f * nu0) * rho(k + 1));
        dsum += e * val;
      }
    }
    if (L1(val) > limit) {
      val *= st.r;
      neumann *= st.r;
      dsum *= st.r;
      // From the current index on: its entry was stored before the scaling.
      for (int i = std::max(j, 1); i <= n; ++i) y[i] = L1(y[i]) < st.r ? C(0.0f) : y[i] * st.r;
    }
  }
  C y0 = val;
  const C q = ratio;  // I'_nu0 / I_nu0
  if (y0.real() == 0.0f) y0 = C(st.eps, 0.0f);

  // Normaliser (kept in double so that its products do not overflow) and K, K' at nu0.
  CD norm;
  C k0 = 0.0f, dk0 = 0.0f;
  const CD wd(w.real(), w.imag());
  if (small) {
    const C two_w = 2.0f / w;
    const float arg = two_w.real() == 0.0f ? std::copysign(st.pi / 2.0f, two_w.imag())
                                           : std::atan2(two_w.imag(), two_w.real());
    const C ln2w(std::log(std::hypot(two_w.real(), two_w.imag())), arg);
    const C A = nu0 * ln2w + LnGamma1p(nu0);
    if (A.real() < st.lnTinyEps) return finish();
    const CD Ad(A.real(), A.imag());
    // (w/2)^nu0 / Gamma(1 + nu0) = (sum of c_k I_{nu0+2k}) / c_final
    norm = std::exp(-Ad) * static_cast<double>(c) / CD(neumann.real(), neumann.imag());
    if (wantK) {
      const C E = std::exp(A);
      C B;
      if (nu0 == 0.0f) {
        B = ln2w + kG[0];
      } else {
        const float x = st.pi * nu0;
        const float F = -(st.pi / 2.0f) * x * SinFraction(x);
        const C sinhA = C(0.0f, -1.0f) * std::sin(C(0.0f, 1.0f) * A);
        B = F + E * sinhA / nu0;
      }
      const CD I0 = norm * CD(y0.real(), y0.imag());
      const CD Bd(B.real(), B.imag()), Ed(E.real(), E.imag());
      const CD kd = Bd * I0 + static_cast<double>((2.0f + nu0) / (1.0f - nu0)) * Ed * Ed * norm *
                                  CD(dsum.real(), dsum.imag()) / static_cast<double>(e);
      k0 = C(static_cast<float>(kd.real()), static_cast<float>(kd.imag()));
      if (L1(q) >= 30.0f && aw >= 0.5f) {
        C ratioK;
        C3IS_KCF(w, nu0, st.eps, &ratioK, nullptr);
        dk0 = k0 * ratioK;
      } else {
        const CD dkd = CD(q.real(), q.imag()) * kd - 1.0 / (wd * I0);
        dk0 = C(static_cast<float>(dkd.real()), static_cast<float>(dkd.imag()));
      }
    }
  } else {
    if (-w.real() < st.lnTinyEps) return finish();
    C ratioK, sInv;
    C3IS_KCF(w, nu0, st.eps, &ratioK, &sInv);
    // e^-w with the imaginary part reduced by whole turns (pi split in two parts).
    const float piHi = 3.1416015625f, piLo = -8.90891e-6f;
    const float turns = std::trunc(w.imag() / (2.0f * st.pi));
    const float theta = w.imag() - 2.0f * turns * piHi - 2.0f * turns * piLo;
    const C ew = std::exp(-w.real()) * C(std::cos(theta), -std::sin(theta));
    C root = std::sqrt(st.pi / (2.0f * w));
    if (root.real() < 0.0f) root = -root;
    k0 = root * ew * sInv;
    dk0 = k0 * ratioK;
    const CD kd(k0.real(), k0.imag()), dkd(dk0.real(), dk0.imag());
    norm = (1.0 / wd) / (CD(y0.real(), y0.imag()) * (CD(q.real(), q.imag()) * kd - dkd));
  }
  const double nmod = std::fabs(norm.real()) + std::fabs(norm.imag());
  const C unit(static_cast<float>(norm.real() / nmod), static_cast<float>(norm.imag() / nmod));

  // Final sweep upward: I from the stored values, K by forward recurrence of (K, K').
  C turn = sigma == 0.0f ? C(1.0f) : std::exp(C(0.0f, sigma * st.pi * nu0));
  C kw = k0, dkw = dk0;
  const float kLimitValue = std::min(aw, 1.0f) * st.hugeps;
  for (int j = j0; j <= n; ++j) {
    const float mu = nu + static_cast<float>(j - 1);
    if (j > j0) {
      const float mup = mu - 1.0f;
      const C kn = (mup / w) * kw - dkw;
      dkw = -kw - (mu / w) * kn;
      kw = kn;
      if (wantK && L1(kw) > kLimitValue) break;
      turn = -turn;
    }
    if (j < 1) continue;
    const CD ijd = CD(unit.real() * y[j].real() - unit.imag() * y[j].imag(),
                      unit.real() * y[j].imag() + unit.imag() * y[j].real()) *
                   nmod;
    const C iw(static_cast<float>(ijd.real()), static_cast<float>(ijd.imag()));
    if (L1(iw) < st.tinyeps) break;
    I[j - 1] = ToN(sigma == 0.0f ? iw : iw * turn);
    if (wantK) {
      C kz = kw;
      if (sigma != 0.0f) {
        kz = C(0.0f, -sigma * st.pi) * iw;
        if (L1(kw) > st.tinyeps) kz += std::conj(turn) * kw;
      }
      K[j - 1] = ToN(kz);
    }
    computed = j;
  }
  finish();
}

// Reads the one option: NML_RETURN_USER and the caller's array, or the end of the list.
bool ReadOption(va_list ap, nml_f_complex** user) {
  const int code = va_arg(ap, int);
  if (code == 0) return true;
  if (code == NML_RETURN_USER) {
    *user = va_arg(ap, nml_f_complex*);
    return true;
  }
  nml_error_set_int(1, code);
  nml_error_set_int(2, 3);
  nml_error_post(NML_TERMINAL, 11001);
  return false;
}

nml_f_complex* Driver(float nu, nml_f_complex z, int n, va_list ap, bool wantK) {
  nml_f_complex* user = nullptr;
  if (!ReadOption(ap, &user)) return nullptr;
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 14000);
    return nullptr;
  }
  const std::size_t bytes = sizeof(nml_f_complex) * static_cast<std::size_t>(n);
  nml_f_complex* result = user;
  if (!result && !(result = static_cast<nml_f_complex*>(std::malloc(bytes)))) {
    nml_error_post(NML_TERMINAL, 200);
    return nullptr;
  }
  nml_f_complex cell{};
  if (!wantK) {
    nml::NameScope scope("CBIS ");
    const int mode = 4;
    C3IS(&z, &nu, &n, result, nullptr, &cell, &cell, &mode);
  } else if (auto* work = static_cast<nml_f_complex*>(std::malloc(bytes))) {
    const int mode = 2;
    C3IS(&z, &nu, &n, work, result, &cell, &cell, &mode);
    std::free(work);
  } else {
    nml_error_set_string(1, "n");
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 201);
  }
  const int type = nml_error_current_type();
  if (type >= NML_FATAL && type != NML_WARNING_IMMEDIATE && result != user) {
    std::free(result);
    return nullptr;
  }
  return result;
}

nml_f_complex* Public(const char* name, float nu, nml_f_complex z, int n, va_list ap, bool wantK) {
  nml_f_complex* result = nullptr;
  nml_public(name, [&] { result = Driver(nu, z, n, ap, wantK); });
  return result;
}

}  // namespace

nml_f_complex nml_c_neg(nml_f_complex z) { return nml_c_make(-z.re, -z.im); }
nml_f_complex nml_c_add(nml_f_complex z, nml_f_complex w) {
  return nml_c_make(z.re + w.re, z.im + w.im);
}
nml_f_complex nml_c_sub(nml_f_complex z, nml_f_complex w) {
  return nml_c_make(z.re - w.re, z.im - w.im);
}
void nml_c_fill(const int* n, const nml_f_complex* value, nml_f_complex* x, const int* inc) {
  for (int k = 0; k < *n; ++k) x[k * *inc] = *value;
}

void C3IS(const nml_f_complex* z, const float* nu, const int* n, nml_f_complex I[],
          nml_f_complex K[], nml_f_complex*, nml_f_complex*, const int* mode) {
  nml::NameScope scope("C3IS ");
  Kernel k{ToC(*z), *nu, *n, I, K, *mode == 2};
  k.Run();
}

nml_f_complex* nml_c_bessel_Ix(float nu, nml_f_complex z, int n, ...) {
  va_list ap;
  va_start(ap, n);
  nml_f_complex* r = Public("nml_c_bessel_Ix", nu, z, n, ap, false);
  va_end(ap);
  return r;
}

nml_f_complex* nml_c_bessel_Ix_adr(float* nu, nml_f_complex* z, int n, ...) {
  va_list ap;
  va_start(ap, n);
  nml_f_complex* r = Public("nml_c_bessel_Ix_adr", *nu, *z, n, ap, false);
  va_end(ap);
  return r;
}

nml_f_complex* nml_c_bessel_Kx(float nu, nml_f_complex z, int n, ...) {
  va_list ap;
  va_start(ap, n);
  nml_f_complex* r = Public("nml_c_bessel_Kx", nu, z, n, ap, true);
  va_end(ap);
  return r;
}

nml_f_complex* nml_c_bessel_Kx_adr(float* nu, nml_f_complex* z, int n, ...) {
  va_list ap;
  va_start(ap, n);
  nml_f_complex* r = Public("nml_c_bessel_Kx_adr", *nu, *z, n, ap, true);
  va_end(ap);
  return r;
}
