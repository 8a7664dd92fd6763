// Zeros of a real polynomial: the Jenkins-Traub three-stage procedure for real
// coefficients (no-shift, fixed-shift and variable-shift stages, with quadratic factors
// for conjugate pairs), and the companion-matrix path through the eigenvalue routine.
//
// Inside the zero finder the coefficient arrays are 1-based with the leading coefficient
// first: p(1) x^n + ... + p(nn), nn = n + 1.
#include "numerics/further/nml_zeros_poly.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>

#include "numerics/further/nml_eigensystem.h"
#include "numerics/further/nml_further_kernels.h"

namespace {

constexpr int kMaxDegree = 100;

// The working record of one call: the polynomial, its quotient, the K-polynomial and its
// quotient, the saved K, and the scalars of the recurrences.
struct ZeroFinder {
  double p[kMaxDegree + 2], qp[kMaxDegree + 2], k[kMaxDegree + 2], qk[kMaxDegree + 2],
      svk[kMaxDegree + 2];
  double sr = 0, si = 0, u = 0, v = 0, a = 0, b = 0, c = 0, d = 0, a1 = 0, a3 = 0, a7 = 0, e = 0,
         f = 0, g = 0, h = 0, szr = 0, szi = 0, lzr = 0, lzi = 0;
  double eta = 0, are = 0, mre = 0;
  int n = 0, nn = 0;

  void Quadsd(int count, double uu, double vv, const double* src, double* q, double* aa,
              double* bb);
  int Calcsc();
  void Nextk(int type);
  void Newest(int type, double* uu, double* vv);
  int Fxshfr(int l2);
  int Quadit(double uu, double vv);
  int Realit(double* sss, int* iflag);
};

// Zeros of a x^2 + b1 x + c: the smaller into (sr, si), the larger into (lr, li). A pair
// comes with the positive imaginary part first.
void Quad(double a, double b1, double c, double* sr, double* si, double* lr, double* li) {
  if (a == 0) {
    *sr = b1 != 0 ? -c / b1 : 0;
    *lr = 0;
    *si = *li = 0;
    return;
  }
  if (c == 0) {
    *sr = 0;
    *lr = -b1 / a;
    *si = *li = 0;
    return;
  }
  // The discriminant without overflow.
  const double b = b1 / 2;
  double e, d;
  if (std::fabs(b) >= std::fabs(c)) {
    e = 1 - (a / b) * (c / b);
    d = std::sqrt(std::fabs(e)) * std::fabs(b);
  } else {
    e = c < 0 ? -a : a;
    e = b * (b / std::fabs(c)) - e;
    d = std::sqrt(std::fabs(e)) * std::sqrt(std::fabs(c));
  }
  if (e < 0) {
    *sr = *lr = -b / a;
    *si = std::fabs(d / a);
    *li = -*si;
    return;
  }
  if (b >= 0) d = -d;
  *lr = (-b + d) / a;
  *sr = *lr != 0 ? (c / *lr) / a : 0;
  *si = *li = 0;
}

// Synthetic division of src (count coefficients) by x^2 + uu x + vv: the quotient into q,
// the last two partial values, which make the remainder, into *aa and *bb.
void ZeroFinder::Quadsd(int count, double uu, double vv, const double* src, double* q, double* aa,
                        double* bb) {
  double bv = src[1];
  q[1] = bv;
  double av = src[2] - uu * bv;
  q[2] = av;
  for (int i = 3; i <= count; ++i) {
    const double cv = src[i] - uu * av - vv * bv;
    q[i] = cv;
    bv = av;
    av = cv;
  }
  *aa = av;
  *bb = bv;
}

// Divides k by the quadratic and forms the scalars of the next step; returns the type
// (3 when the quadratic is almost a factor of k).
int ZeroFinder::Calcsc() {
  Quadsd(n, u, v, k, qk, &c, &d);
  if (std::fabs(c) <= std::fabs(k[n]) * 100 * eta &&
      std::fabs(d) <= std::fabs(k[n - 1]) * 100 * eta)
    return 3;
  if (std::fabs(c) > std::fabs(d)) {
    e = a / c;
    f = d / c;
    g = u * e;
    h = v * b;
    a3 = a * e + (h / c + g) * b;
    a1 = b - a * (d / c);
    a7 = a + g * d + h * f;
    return 1;
  }
  e = a / d;
  f = c / d;
  g = u * b;
  h = v * b;
  a3 = (a + g) * e + h * (b / d);
  a1 = b * f - a;
  a7 = (f + u) * a + h;
  return 2;
}

void ZeroFinder::Nextk(int type) {
  if (type == 3) {
    k[1] = k[2] = 0;
    for (int i = 3; i <= n; ++i) k[i] = qk[i - 2];
    return;
  }
  const double temp = type == 1 ? b : a;
  if (std::fabs(a1) > std::fabs(temp) * eta * 10) {
    a7 /= a1;
    a3 /= a1;
    k[1] = qp[1];
    k[2] = qp[2] - a7 * qp[1];
    for (int i = 3; i <= n; ++i) k[i] = a3 * qk[i - 2] - a7 * qp[i - 1] + qp[i];
  } else {
    k[1] = 0;
    k[2] = -a7 * qp[1];
    for (int i = 3; i <= n; ++i) k[i] = a3 * qk[i - 2] - a7 * qp[i - 1];
  }
}

void ZeroFinder::Newest(int type, double* uu, double* vv) {
  *uu = *vv = 0;
  if (type == 3) return;
  double a4, a5;
  if (type == 2) {
    a4 = (a + g) * f + h;
    a5 = (f + u) * c + v * d;
  } else {
    a4 = a + u * b + h * f;
    a5 = c + (u + v * f) * d;
  }
  const double b1 = -k[n] / p[nn];
  const double b2 = -(k[n - 1] + b1 * p[n]) / p[nn];
  const double c1 = v * b2 * a1;
  const double c2 = b1 * a7;
  const double c3 = b1 * b1 * a3;
  const double c4 = c1 - c2 - c3;
  const double temp = a5 + b1 * a4 - c4;
  if (temp == 0) return;
  *uu = u - (u * (c3 + c2) + v * (b1 * a1 + b2 * a7)) / temp;
  *vv = v * (1 + c4 / temp);
}

// Variable-shift iteration for a quadratic factor; returns 2 when a pair converged.
int ZeroFinder::Quadit(double uu, double vv) {
  u = uu;
  v = vv;
  int j = 0;
  bool tried = false;
  double omp = 0, relstp = 0;
  for (;;) {
    Quad(1, u, v, &szr, &szi, &lzr, &lzi);
    // Real zeros that are not close: not a quadratic factor to iterate on.
    if (std::fabs(std::fabs(szr) - std::fabs(lzr)) > 0.01 * std::fabs(lzr)) return 0;
    Quadsd(nn, u, v, p, qp, &a, &b);
    const double mp = std::fabs(a - szr * b) + std::fabs(szi * b);
    // A bound on the rounding error of evaluating p.
    const double zm = std::sqrt(std::fabs(v));
    double ee = 2 * std::fabs(qp[1]);
    for (int i = 2; i <= n; ++i) ee = ee * zm + std::fabs(qp[i]);
    const double t = -szr * b;
    ee = (5 * mre + 4 * are) * ee - (5 * mre + 2 * are) * (std::fabs(a + t) + std::fabs(b) * zm) +
         2 * are * std::fabs(t);
    if (mp <= 20 * ee) return 2;
    if (++j > 20) return 0;
    if (j >= 2 && relstp <= 0.01 && mp >= omp && !tried) {
      // A cluster stalls the iteration: a few fixed-shift steps with a nearby quadratic.
      relstp = std::sqrt(relstp < eta ? eta : relstp);
      u -= u * relstp;
      v += v * relstp;
      Quadsd(nn, u, v, p, qp, &a, &b);
      for (int i = 0; i < 5; ++i) Nextk(Calcsc());
      tried = true;
      j = 0;
    }
    omp = mp;
    Nextk(Calcsc());
    double ui, vi;
    Newest(Calcsc(), &ui, &vi);
    if (vi == 0) return 0;
    relstp = std::fabs((vi - v) / vi);
    u = ui;
    v = vi;
  }
}

// Variable-shift iteration for a real zero; returns 1 when it converged. iflag is set
// when a cluster near the real axis calls for the quadratic iteration (from *sss).
int ZeroFinder::Realit(double* sss, int* iflag) {
  double s = *sss, t = 0, omp = 0;
  *iflag = 0;
  int j = 0;
  for (;;) {
    double pv = p[1];
    qp[1] = pv;
    for (int i = 2; i <= nn; ++i) {
      pv = pv * s + p[i];
      qp[i] = pv;
    }
    const double mp = std::fabs(pv);
    const double ms = std::fabs(s);
    double ee = (mre / (are + mre)) * std::fabs(qp[1]);
    for (int i = 2; i <= nn; ++i) ee = ee * ms + std::fabs(qp[i]);
    if (mp <= 20 * ((are + mre) * ee - mre * mp)) {
      szr = s;
      szi = 0;
      return 1;
    }
    if (++j > 10) return 0;
    if (j >= 2 && std::fabs(t) <= 0.001 * std::fabs(s - t) && mp > omp) {
      *iflag = 1;
      *sss = s;
      return 0;
    }
    omp = mp;
    double kv = k[1];
    qk[1] = kv;
    for (int i = 2; i <= n; ++i) {
      kv = kv * s + k[i];
      qk[i] = kv;
    }
    if (std::fabs(kv) <= std::fabs(k[n]) * 10 * eta) {
      k[1] = 0;
      for (int i = 2; i <= n; ++i) k[i] = qk[i - 1];
    } else {
      t = -pv / kv;
      k[1] = qp[1];
      for (int i = 2; i <= n; ++i) k[i] = t * qk[i - 1] + qp[i];
    }
    kv = k[1];
    for (int i = 2; i <= n; ++i) kv = kv * s + k[i];
    t = std::fabs(kv) > std::fabs(k[n]) * 10 * eta ? -pv / kv : 0;
    s += t;
  }
}

// Fixed-shift stage of at most l2 steps; returns the number of zeros found (0, 1 or 2).
int ZeroFinder::Fxshfr(int l2) {
  double betav = 0.25, betas = 0.25;
  double oss = sr, ovv = v, otv = 0, ots = 0;
  Quadsd(nn, u, v, p, qp, &a, &b);
  int type = Calcsc();
  for (int j = 1; j <= l2; ++j) {
    Nextk(type);
    type = Calcsc();
    double ui, vi;
    Newest(type, &ui, &vi);
    const double vv = vi;
    const double ss = k[n] != 0 ? -p[nn] / k[n] : 0;
    double tv = 1, ts = 1;
    if (j != 1 && type != 3) {
      if (vv != 0) tv = std::fabs((vv - ovv) / vv);
      if (ss != 0) ts = std::fabs((ss - oss) / ss);
      const double tvv = tv < otv ? tv * otv : 1;
      const double tss = ts < ots ? ts * ots : 1;
      const bool vpass = tvv < betav;
      const bool spass = tss < betas;
      if (spass || vpass) {
        const double svu = u, svv = v;
        for (int i = 1; i <= n; ++i) svk[i] = k[i];
        double s = ss;
        bool vtry = false, stry = false;
        // 0: quadratic iteration, 1: real iteration, 2: restore and go on.
        int next = (spass && (!vpass || tss < tvv)) ? 1 : 0;
        for (;;) {
          if (next == 0) {
            if (Quadit(ui, vi) > 0) return 2;
            vtry = true;
            betav *= 0.25;
            if (!stry && spass) {
              for (int i = 1; i <= n; ++i) k[i] = svk[i];
              next = 1;
            } else {
              next = 2;
            }
          } else if (next == 1) {
            int iflag = 0;
            if (Realit(&s, &iflag) > 0) return 1;
            stry = true;
            betas *= 0.25;
            if (iflag) {
              ui = -(s + s);
              vi = s * s;
              next = 0;
            } else {
              next = 2;
            }
          } else {
            u = svu;
            v = svv;
            for (int i = 1; i <= n; ++i) k[i] = svk[i];
            if (vpass && !vtry) {
              next = 0;
              continue;
            }
            Quadsd(nn, u, v, p, qp, &a, &b);
            type = Calcsc();
            break;
          }
        }
      }
    }
    ovv = vv;
    oss = ss;
    otv = tv;
    ots = ts;
  }
  return 0;
}

// Zeros of a x^2 + b x + c (a != 0) with radix scaling, into out[0] (the smaller) and
// out[1].
void QuadraticZeros(double a, double b, double c, nml_d_complex* out) {
  nml_d_complex small{0, 0}, large{0, 0};
  if (c == 0) {
    large = {-b / a, 0};
  } else {
    const double base = nml_i_machine(6);
    const int l = static_cast<int>(
        (std::log(std::fabs(a)) + std::log(std::fabs(c)) + std::log(base)) / (2 * std::log(base)));
    const double sc = nml_d_powi(base, l);
    if ((std::fabs(b) + sc) - std::fabs(b) == 0) {
      small = {c / (-b), 0};
      large = {-b / a, 0};
    } else {
      const double hh = (std::fabs(b) + sc) - sc == 0 ? 0 : (-b / sc) / 2;
      const double as = a / sc, cs = c / sc;
      const double delta = hh * hh - as * cs;
      const double s = std::sqrt(std::fabs(delta));
      if (delta <= 0) {
        out[1] = {hh / as, std::fabs(s / as)};
        out[0] = {hh / as, -std::fabs(s / as)};
        return;
      }
      const double w = hh >= 0 ? hh + s : hh - s;
      small = {cs / w, 0};
      large = {w / as, 0};
    }
  }
  if (std::fabs(small.re) > std::fabs(large.re)) small = {-large.re, -large.im};
  out[0] = small;
  out[1] = large;
}

// Reverses coef[0..count-1] in place.
void Reverse(int count, double* coef) {
  const int half = count / 2;
  if (half > 0) DSWAP(half, coef, 1, coef + (count - half), -1);
}

// The Jenkins-Traub driver; coef is reversed while it runs and restored on every path.
void JenkinsTraub(int ndeg, double* coef, nml_d_complex* zero) {
  struct Restore {
    int count;
    double* c;
    ~Restore() { Reverse(count, c); }
  } restore{ndeg + 1, coef};
  Reverse(ndeg + 1, coef);

  const double inf = nml_dmach(7);
  if (ndeg == 2 && coef[0] != 0) {
    QuadraticZeros(coef[0], coef[1], coef[2], zero);
    return;
  }

  int nlz = 0;
  while (nlz <= ndeg && coef[nlz] == 0) ++nlz;
  const int atInfinity = nlz < ndeg ? nlz : ndeg;
  for (int i = 0; i < atInfinity; ++i) zero[ndeg - 1 - i] = {inf, 0};
  if (nlz > 0) {
    nml_error_set_int(1, nlz);
    nml_error_set_int(2, atInfinity);
    nml_error_post(NML_WARNING, 7004);
  }
  if (nlz >= ndeg) return;
  const int degree = ndeg - nlz;  // the finite zeros fill positions 1..degree

  ZeroFinder z;
  z.n = degree;
  // Zeros at the origin come first.
  while (coef[nlz + z.n] == 0) {
    zero[degree - z.n] = {0, 0};
    if (--z.n == 0) return;
  }
  z.nn = z.n + 1;
  for (int i = 1; i <= z.nn; ++i) z.p[i] = coef[nlz + i - 1];

  const double base = nml_i_machine(6);
  const double smalno = nml_dmach(1), infin = nml_dmach(2);
  z.eta = z.are = z.mre = nml_dmach(4);
  const double lo = smalno / z.eta;
  const double cosr = -0.06975647, sinr = 0.9975641;
  double xx = std::sqrt(0.5), yy = -xx;
  auto put = [&](int pos, double re, double im) { zero[pos - 1] = {re, im}; };

  while (z.n > 2) {
    // Scale the coefficients by a power of the radix when they are very large or small.
    double mx = 0, mn = infin;
    for (int i = 1; i <= z.nn; ++i) {
      const double x = std::fabs(z.p[i]);
      if (x > mx) mx = x;
      if (x != 0 && x < mn) mn = x;
    }
    double sc = lo / mn;
    bool scale = false;
    if (sc > 1) {
      scale = infin / sc >= mx;
    } else if (mx >= 10) {
      scale = true;
      if (sc == 0) sc = smalno * base * base;
    }
    if (scale) {
      const int l = static_cast<int>(std::log(sc) / std::log(base) + 0.5);
      if (l != 0) {
        const double factor = nml_d_powi(base, l);
        for (int i = 1; i <= z.nn; ++i) z.p[i] *= factor;
      }
    }

    // A lower bound on the moduli of the zeros: the positive root of the Cauchy
    // polynomial, by chopping and Newton's method.
    double pt[kMaxDegree + 2];
    for (int i = 1; i <= z.nn; ++i) pt[i] = std::fabs(z.p[i]);
    pt[z.nn] = -pt[z.nn];
    double x = std::exp((std::log(-pt[z.nn]) - std::log(pt[1])) / z.n);
    if (pt[z.n] != 0) {
      const double xm = -pt[z.nn] / pt[z.n];
      if (xm < x) x = xm;
    }
    for (;;) {
      const double xm = 0.1 * x;
      double ff = pt[1];
      for (int i = 2; i <= z.nn; ++i) ff = ff * xm + pt[i];
      if (!(ff > 0)) break;  // also ends on a NaN
      x = xm;
    }
    double dx = x;
    while (std::fabs(dx / x) > 0.005) {
      double ff = pt[1], df = ff;
      for (int i = 2; i <= z.n; ++i) {
        ff = ff * x + pt[i];
        df = df * x + ff;
      }
      ff = ff * x + pt[z.nn];
      dx = ff / df;
      x -= dx;
    }
    const double bnd = x;

    // No-shift stage: K is the scaled derivative, then five unshifted steps.
    const int n = z.n, nn = z.nn;
    for (int i = 2; i <= n; ++i) z.k[i] = (nn - i) * z.p[i] / n;
    z.k[1] = z.p[1];
    const double aa = z.p[nn], bb = z.p[n];
    bool zerok = z.k[n] == 0;
    for (int jj = 0; jj < 5; ++jj) {
      if (!zerok) {
        const double t = -aa / z.k[n];
        for (int j = n; j >= 2; --j) z.k[j] = t * z.k[j - 1] + z.p[j];
        z.k[1] = z.p[1];
        zerok = std::fabs(z.k[n]) <= std::fabs(bb) * z.eta * 10;
      } else {
        for (int j = n; j >= 2; --j) z.k[j] = z.k[j - 1];
        z.k[1] = 0;
        zerok = z.k[n] == 0;
      }
    }
    double temp[kMaxDegree + 2];
    for (int i = 1; i <= n; ++i) temp[i] = z.k[i];

    // Fixed shifts on a circle of radius bnd, turned by 94 degrees each time.
    int nf = 0;
    for (int cnt = 1; cnt <= 20 && nf == 0; ++cnt) {
      const double xxx = cosr * xx - sinr * yy;
      yy = sinr * xx + cosr * yy;
      xx = xxx;
      z.sr = bnd * xx;
      z.si = bnd * yy;
      z.u = -2 * z.sr;
      z.v = bnd * bnd;
      nf = z.Fxshfr(20 * cnt);
      if (nf == 0)
        for (int i = 1; i <= n; ++i) z.k[i] = temp[i];
    }
    if (nf == 0) {
      nml_error_set_int(1, degree - n);
      nml_error_set_int(2, n);
      nml_error_post(NML_WARNING, 7005);
      for (int pos = degree - n + 1; pos <= degree; ++pos) put(pos, inf, 0);
      return;
    }

    // Deflate by the zero or pair found.
    put(degree - n + 1, z.szr, z.szi);
    if (nf == 2) put(degree - n + 2, z.lzr, z.lzi);
    z.nn -= nf;
    z.n = z.nn - 1;
    for (int i = 1; i <= z.nn; ++i) z.p[i] = z.qp[i];
  }

  if (z.n == 1) {
    put(degree, -z.p[2] / z.p[1], 0);
  } else {
    double sr, si, lr, li;
    Quad(z.p[1], z.p[2], z.p[3], &sr, &si, &lr, &li);
    put(degree - 1, sr, si);
    put(degree, lr, li);
  }
}

// The companion-matrix path. Vanishing leading coefficients are taken off first, as the
// default path does: a zero leading coefficient would put infinite or undefined entries
// into the matrix.
void Companion(int ndeg, const double* coef, nml_d_complex* zero) {
  int nlz = 0;
  while (nlz <= ndeg && coef[ndeg - nlz] == 0) ++nlz;
  const int atInfinity = nlz < ndeg ? nlz : ndeg;
  for (int i = 0; i < atInfinity; ++i) zero[ndeg - 1 - i] = {nml_dmach(7), 0};
  if (nlz > 0) {
    nml_error_set_int(1, nlz);
    nml_error_set_int(2, atInfinity);
    nml_error_post(NML_WARNING, 7004);
  }
  if (nlz >= ndeg) return;
  const int deg = ndeg - nlz;
  const std::size_t cells = static_cast<std::size_t>(deg) * static_cast<std::size_t>(deg);
  double* m = cells > SIZE_MAX / sizeof(double)
                  ? nullptr
                  : static_cast<double*>(std::calloc(cells, sizeof(double)));
  if (!m) {
    nml_error_set_int(1, ndeg);
    nml_error_set_string(1, "ndeg");
    nml_error_post(NML_TERMINAL, 201);
    return;
  }
  for (int i = 0; i + 1 < deg; ++i) m[static_cast<std::size_t>(i) * deg + i + 1] = 1;
  for (int i = 0; i < deg; ++i)
    m[static_cast<std::size_t>(deg - 1) * deg + i] = -coef[i] / coef[deg];
  nml_d_eig_gen(deg, m, NML_RETURN_USER, zero, 0);
  std::free(m);
}

void ZerosBody(int ndeg, double* coef, nml::OptionReader& opt, nml_d_complex** result) {
  nml_d_complex* user = nullptr;
  bool companion = false;
  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case NML_RETURN_USER:
        user = opt.Pointer<nml_d_complex>();
        break;
      case NML_COMPANION:
        companion = true;
        break;
      default:
        opt.Unknown();
        break;
    }
  }
  if (nml_error_current_type() != 0) return;
  if (companion) {
    // Refused before anything is allocated; the eigenvalue routine reports n < 1 so.
    if (ndeg < 1) {
      nml_error_set_int(1, ndeg);
      nml_error_post(NML_TERMINAL, 1010);
      return;
    }
  } else if (ndeg < 1 || ndeg > kMaxDegree) {
    nml_error_set_int(1, ndeg);
    nml_error_post(NML_TERMINAL, 7002);
    return;
  }
  nml_d_complex* zero = user;
  if (!zero) {
    zero = static_cast<std::size_t>(ndeg) > SIZE_MAX / sizeof(nml_d_complex)
               ? nullptr
               : static_cast<nml_d_complex*>(std::malloc(ndeg * sizeof(nml_d_complex)));
    if (!zero) {
      nml_error_set_int(1, ndeg);
      nml_error_set_string(1, "ndeg");
      nml_error_post(NML_TERMINAL, 201);
      return;
    }
  }
  if (companion)
    Companion(ndeg, coef, zero);
  else
    JenkinsTraub(ndeg, coef, zero);
  if (nml_error_current_type() > NML_WARNING && nml_error_current_type() != NML_WARNING_IMMEDIATE) {
    if (zero != user) std::free(zero);
    return;
  }
  *result = zero;
}

nml_d_complex* Zeros(int ndeg, double* coef, nml::OptionReader& opt) {
  nml_d_complex* result = nullptr;
  nml_public("nml_d_zeros_poly", [&] { ZerosBody(ndeg, coef, opt, &result); });
  return result;
}

}  // namespace

nml_d_complex* nml_d_zeros_poly(int ndeg, double* coef, ...) {
  va_list ap;
  va_start(ap, coef);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 2, ap);
  nml_d_complex* result = Zeros(ndeg, coef, opt);
  va_end(ap);
  return result;
}

nml_d_complex* nml_d_zeros_poly(int ndeg, double* coef, const nml_options& options) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 2, options);
  return Zeros(ndeg, coef, opt);
}
