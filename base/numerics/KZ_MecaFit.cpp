#include "base/numerics/KZ_MecaFit.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "base/numerics/KZ_GridMinimum.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

// Unit vectors of one ray: direction r and the SV and SH polarisations.
struct Ray {
  double r[3], sv[3], sh[3];
};

Ray MakeRay(double takeoff, double azimuth) {
  const double si = std::sin(takeoff * kDeg), ci = std::cos(takeoff * kDeg);
  const double sa = std::sin(azimuth * kDeg), ca = std::cos(azimuth * kDeg);
  return Ray{{ca * si, sa * si, ci}, {ca * ci, sa * ci, -si}, {-sa, ca, 0.0}};
}

double Project(const double M[9], const double r[3], const double e[3]) {
  double s = 0.0;
  for (int i = 0; i < 3; ++i)
    s += r[i] * (M[3 * i] * e[0] + M[3 * i + 1] * e[1] + M[3 * i + 2] * e[2]);
  return s;
}

// 1 P, 2 SV, 3 SH by the phase code.
int PhaseType(const KZ_MecaStation& s) {
  if (s.m_cCode[0] == 'P') return 1;
  return s.m_cCode[1] == 'v' ? 2 : 3;
}

bool IsRatio(const KZ_MecaStation& s) { return s.m_cCode[1] == 'P'; }

double Amplitude(const double M[9], const Ray& ray, int type) {
  switch (type) {
    case 1:
      return Project(M, ray.r, ray.r);
    case 2:
      return Project(M, ray.r, ray.sv);
    case 3:
      return Project(M, ray.r, ray.sh);
    default:
      return 0.0;
  }
}

double Sign(double v) { return v > 0.0 ? 1.0 : (v < 0.0 ? -1.0 : 0.0); }

// A double couple as the unit normal of its fault plane and the unit slip on it.
struct Plane {
  double n[3], d[3];
};

Plane PlaneOf(double strike, double dip, double rake) {
  const double f = strike * kDeg, dl = dip * kDeg, l = rake * kDeg;
  const double sf = std::sin(f), cf = std::cos(f), sd = std::sin(dl), cd = std::cos(dl);
  const double sl = std::sin(l), cl = std::cos(l);
  return Plane{{-sd * sf, sd * cf, -cd}, {cl * cf + cd * sl * sf, cl * sf - cd * sl * cf, -sl * sd}};
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// One double couple has two nodal planes (normal and slip exchanged) and two signs (both
// negated): its form nearest the reference.
Plane Aligned(const Plane& p, const Plane& ref) {
  const double same = Dot(p.n, ref.n) + Dot(p.d, ref.d);
  const double swapped = Dot(p.d, ref.n) + Dot(p.n, ref.d);
  const bool swap = std::fabs(swapped) > std::fabs(same);
  const double sign = (swap ? swapped : same) < 0.0 ? -1.0 : 1.0;
  const double* n = swap ? p.d : p.n;
  const double* d = swap ? p.n : p.d;
  Plane a{};
  for (int i = 0; i < 3; ++i) {
    a.n[i] = sign * n[i];
    a.d[i] = sign * d[i];
  }
  return a;
}

// Strike, dip and rake (-180..180) of a normal and slip, made orthonormal.
void AnglesOf(const Plane& p, float out[3]) {
  double n[3] = {p.n[0], p.n[1], p.n[2]}, d[3] = {p.d[0], p.d[1], p.d[2]};
  const double nn = std::sqrt(Dot(n, n));
  if (nn > 0.0)
    for (double& v : n) v /= nn;
  const double nd = Dot(n, d);
  for (int i = 0; i < 3; ++i) d[i] -= nd * n[i];
  const double dd = std::sqrt(Dot(d, d));
  if (dd > 0.0)
    for (double& v : d) v /= dd;
  if (n[2] > 0.0)  // the normal points up, out of the hanging wall
    for (int i = 0; i < 3; ++i) {
      n[i] = -n[i];
      d[i] = -d[i];
    }
  const double dip = std::acos(std::min(1.0, -n[2]));
  double strike = std::atan2(-n[0], n[1]) / kDeg;
  if (std::sin(dip) < 1e-9) strike = 0.0;  // horizontal plane: the strike is free
  if (strike < 0.0) strike += 360.0;
  const double f = strike * kDeg;
  const double along = d[0] * std::cos(f) + d[1] * std::sin(f);
  // Horizontal plane: the slip's angle from the strike direction, read in the plane.
  const double down = std::sin(dip) < 1e-9 ? d[0] * std::sin(f) - d[1] * std::cos(f)
                                           : -d[2] / std::sin(dip);
  out[0] = static_cast<float>(strike >= 360.0 ? strike - 360.0 : strike);
  out[1] = static_cast<float>(dip / kDeg);
  const double rake = std::atan2(down, along) / kDeg;
  out[2] = static_cast<float>(rake <= -180.0 ? rake + 360.0 : rake);
}

// Eigenvectors of a symmetric 3x3 matrix by Jacobi rotations: column k of V belongs to
// eigenvalue w[k].
void SymmetricEigen3(const double A[9], double w[3], double V[9]) {
  double a[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      a[i][j] = A[3 * i + j];
      V[3 * i + j] = i == j ? 1.0 : 0.0;
    }
  for (int sweep = 0; sweep < 50; ++sweep) {
    const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
    if (off < 1e-30) break;
    for (int p = 0; p < 2; ++p)
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] == 0.0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1.0 / std::sqrt(t * t + 1), sn = t * c;
        for (int k = 0; k < 3; ++k) {  // A <- A J
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - sn * akq;
          a[k][q] = sn * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) {  // A <- J^T A
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - sn * aqk;
          a[q][k] = sn * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {
          const double vkp = V[3 * k + p], vkq = V[3 * k + q];
          V[3 * k + p] = c * vkp - sn * vkq;
          V[3 * k + q] = sn * vkp + c * vkq;
        }
      }
  }
  for (int k = 0; k < 3; ++k) w[k] = a[k][k];
}

// The double couple of a summed moment tensor: its T and P axes (largest and smallest
// eigenvalue) give the normal and slip (T +- P)/sqrt 2 of one of its two planes.
Plane PlaneOfTensor(const double M[9]) {
  double w[3], V[9];
  SymmetricEigen3(M, w, V);
  int t = 0, p = 0;
  for (int k = 1; k < 3; ++k) {
    if (w[k] > w[t]) t = k;
    if (w[k] < w[p]) p = k;
  }
  Plane pl{};
  for (int i = 0; i < 3; ++i) {
    pl.n[i] = (V[3 * i + t] + V[3 * i + p]) / std::sqrt(2.0);
    pl.d[i] = (V[3 * i + t] - V[3 * i + p]) / std::sqrt(2.0);
  }
  return pl;
}

void PutU16(unsigned char* p, unsigned v) {
  p[0] = static_cast<unsigned char>(v & 0xFF);
  p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

}  // namespace

void MomentTensorFromAngles(double iso, double clvd, double strike, double dip, double rake,
                            double M[9]) {
  for (int i = 0; i < 9; ++i) M[i] = 0.0;
  M[0] = M[4] = M[8] = 0.8164966 * iso;
  const double rest = 1.0 - iso * iso;
  if (rest > 0.0) {
    const double c = std::sqrt(rest);
    const double w = std::sqrt(1.0 - clvd * clvd) * c;
    const double f = strike * kDeg, d = dip * kDeg, l = rake * kDeg;
    const double sd = std::sin(d), cd = std::cos(d), s2d = std::sin(2 * d), c2d = std::cos(2 * d);
    const double sl = std::sin(l), cl = std::cos(l);
    const double sf = std::sin(f), cf = std::cos(f), s2f = std::sin(2 * f), c2f = std::cos(2 * f);
    M[0] -= w * (sd * cl * s2f + s2d * sl * sf * sf);
    M[1] += w * (sd * cl * c2f + 0.5 * s2d * sl * s2f);
    M[2] -= w * (cd * cl * cf + c2d * sl * sf);
    M[4] += w * (sd * cl * s2f - s2d * sl * cf * cf);
    M[5] += w * (c2d * sl * cf - cd * cl * sf);
    M[8] += w * s2d * sl;
    if (std::fabs(clvd) > 1e-4) {
      const double nv[3] = {-sd * sf, sd * cf, -cd};
      const double dv[3] = {cl * cf + cd * sl * sf, cl * sf - cd * sl * cf, -sl * sd};
      const double bv[3] = {nv[1] * dv[2] - nv[2] * dv[1], nv[2] * dv[0] - nv[0] * dv[2],
                            nv[0] * dv[1] - nv[1] * dv[0]};
      const double k = c * clvd / std::sqrt(3.0);
      for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j)
          M[3 * i + j] += k * (2 * bv[i] * bv[j] - nv[i] * nv[j] - dv[i] * dv[j]);
    }
  }
  M[3] = M[1];
  M[6] = M[2];
  M[7] = M[5];
}

double RadiationAmplitude(const double M[9], double takeoff, double azimuth, int type) {
  return Amplitude(M, MakeRay(takeoff, azimuth), type);
}

bool KZ_WriteMecaGridFile(const std::string& path, const double grid[], int n1, int n2, int n3) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  unsigned char head[28] = {};
  PutU16(head + 0, 20);
  PutU16(head + 2, 37);
  PutU16(head + 4, 3);
  PutU16(head + 8, static_cast<unsigned>(n1));
  PutU16(head + 10, static_cast<unsigned>(n2));
  PutU16(head + 12, static_cast<unsigned>(n3));
  for (int k = 0; k < 3; ++k) {  // 1000.0f, little-endian
    head[16 + 4 * k + 0] = 0x00;
    head[16 + 4 * k + 1] = 0x00;
    head[16 + 4 * k + 2] = 0x7A;
    head[16 + 4 * k + 3] = 0x44;
  }
  bool ok = std::fwrite(head, 1, sizeof head, f) == sizeof head;
  const long cells = static_cast<long>(n1) * n2 * n3;
  std::vector<unsigned char> body(static_cast<std::size_t>(cells) * 2);
  for (long i = 0; i < cells; ++i) {
    const double v = grid[i] * 10000.0;
    const unsigned u = v >= 65535.0 ? 65535u : (v > 0.0 ? static_cast<unsigned>(v) : 0u);
    PutU16(body.data() + 2 * i, u);
  }
  ok = ok && std::fwrite(body.data(), 1, body.size(), f) == body.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

int KZ_MecaFit::FitFirstMotions(const KZ_MecaStation st[], int n, float out[3], float threshold) {
  std::vector<Ray> rays;
  std::vector<int> type;
  std::vector<double> pol;
  for (int k = 0; k < n; ++k) {
    if (IsRatio(st[k])) continue;
    rays.push_back(MakeRay(st[k].m_fTakeoff, st[k].m_fAzimuth));
    type.push_back(PhaseType(st[k]));
    pol.push_back(Sign(st[k].m_fPolarity));
  }
  const double thr = std::fabs(threshold);
  int count = 0;
  bool haveRef = false;
  double ref = 0.0;
  Plane refPlane{};
  // The agreeing mechanisms are averaged as moment tensors: their angles do not average,
  // as strike and rake wrap at 360 degrees and the set holds mechanisms given on either
  // nodal plane.
  double sumM[9] = {};
  double M[9];
  for (int dip = 87; dip >= 0; dip -= 3) {
    for (int strike = 0; strike <= 356; strike += 4) {
      for (int rake = 0; rake <= 356; rake += 4) {
        MomentTensorFromAngles(0, 0, strike, dip, rake, M);
        bool agree = true;
        for (std::size_t k = 0; k < rays.size() && agree; ++k) {
          const double a = Amplitude(M, rays[k], type[k]);
          if (std::fabs(a) >= thr && a * pol[k] < 0.0) agree = false;
        }
        if (!agree) continue;
        if (!haveRef) {
          haveRef = true;
          ref = strike;
          refPlane = PlaneOf(strike, dip, rake);
        }
        // Strikes 356 and 0 are neighbours: the window wraps at 360 degrees.
        const double ds = std::fabs(strike - ref);
        if (std::min(ds, 360.0 - ds) > 90.0) continue;
        ++count;
        for (int i = 0; i < 9; ++i) sumM[i] += M[i];
      }
    }
  }
  if (count == 0) {
    out[0] = 356.0f;
    out[1] = 0.0f;
    out[2] = 356.0f;
    return -1;
  }
  // The mean mechanism is the double couple of the mean moment tensor, given on the plane
  // nearer the first agreeing mechanism's.
  AnglesOf(Aligned(PlaneOfTensor(sumM), refPlane), out);
  return count;
}

namespace {

// Misfit of one cell exactly as the search defines it, station by station in double
// precision: the reference for the fast fill and its answer for records it cannot take.
double CellMisfit(const KZ_MecaStation st[], int n, const std::vector<Ray>& rays,
                  const double M[9], float threshold) {
  double num = 0.0, den = 0.0;
  for (int k = 0; k < n; ++k) {
    const KZ_MecaStation& s = st[k];
    if (IsRatio(s)) {
      if (std::fabs(s.m_fAmp) <= 0.001) continue;
      const double r = std::log10(std::fabs(Amplitude(M, rays[k], 3) / Amplitude(M, rays[k], 1)));
      const double obs = std::fabs(s.m_fAmp) > 1e-4 ? std::log10(std::fabs(s.m_fAmp)) : -4.0;
      const double d = std::fabs(r - obs);
      num += 2.0 * (d < 2.0 ? d : 2.0);  // capped; an undefined ratio counts as the cap
      den += 2.0;
    } else {
      const int type = PhaseType(s);
      const double a = Amplitude(M, rays[k], type);
      if (std::fabs(threshold) > std::fabs(a)) continue;
      const double w =
          threshold > -0.001 ? (type == 1 ? 20000.0 : 1.0) : std::log10(std::fabs(s.m_fAmp));
      if (a * Sign(s.m_fPolarity) < 0.0) num += w;
      den += w;
    }
  }
  // A cell that no station constrains has no misfit and is passed over.
  return den != 0.0 && std::isfinite(num / den) ? num / den : FLT_MAX;
}

// The misfit grid (strike outermost, rake innermost) filled station by station per cell.
void FillMisfitGridExhaustive(const KZ_MecaStation st[], int n, const std::vector<Ray>& rays,
                              float threshold, int nS, int nD, int nR, double* grid) {
  double M[9];
  std::size_t cell = 0;
  for (int is = 0; is < nS; ++is)
    for (int id = 0; id < nD; ++id)
      for (int ir = 0; ir < nR; ++ir, ++cell) {
        MomentTensorFromAngles(0, 0, is * 5.0, id * 2.5, ir * 5.0, M);
        grid[cell] = CellMisfit(st, n, rays, M, threshold);
      }
}

// Counts for one rake over stations lo..hi-1: usable (|amplitude| >= t), against (usable
// and of the sign opposite the polarity), agreeing (usable and of the polarity's sign: the
// stations against the rake 180 degrees on, whose slip and amplitudes are the negatives)
// and doubtful (|amplitude| within kDoubt of t, where float rounding could decide). P stations give their amplitude as 2 (n.r)(d.r)
// with nr2 = 2 n.r; the others (n.r)(d.e) + (d.r)(n.e). Compiled for AVX2 as well, the
// machine picking the variant.
constexpr float kDoubt = 2e-6f;  // float rounding of the products and sums stays far below

__attribute__((target_clones("avx2", "default"))) void CountP(
    const float* nr2, const float* ar, const float* br, const float* pol, int lo, int hi, float c,
    float s, float t, int* usable, int* against, int* agree, int* doubt) {
  int u = 0, a = 0, g = 0, q = 0;
#pragma omp simd reduction(+ : u, a, g, q)
  for (int j = lo; j < hi; ++j) {
    const float amp = nr2[j] * (c * ar[j] + s * br[j]);
    const float mag = std::fabs(amp);
    const float sign = amp * pol[j];
    const int use = mag >= t;
    u += use;
    a += use & (sign < 0.0f);
    g += use & (sign > 0.0f);
    q += std::fabs(mag - t) < kDoubt;
  }
  *usable = u;
  *against = a;
  *agree = g;
  *doubt = q;
}

__attribute__((target_clones("avx2", "default"))) void CountS(
    const float* nr, const float* ar, const float* br, const float* ne, const float* ae,
    const float* be, const float* pol, int lo, int hi, float c, float s, float t, int* usable,
    int* against, int* agree, int* doubt) {
  int u = 0, a = 0, g = 0, q = 0;
#pragma omp simd reduction(+ : u, a, g, q)
  for (int j = lo; j < hi; ++j) {
    const float dr = c * ar[j] + s * br[j];
    const float de = c * ae[j] + s * be[j];
    const float amp = nr[j] * de + dr * ne[j];
    const float mag = std::fabs(amp);
    const float sign = amp * pol[j];
    const int use = mag >= t;
    u += use;
    a += use & (sign < 0.0f);
    g += use & (sign > 0.0f);
    q += std::fabs(mag - t) < kDoubt;
  }
  *usable = u;
  *against = a;
  *agree = g;
  *doubt = q;
}

// Float products of one station with the plane's normal N and the slip basis A, B (A is
// horizontal: its z is 0); for P stations e = r and only the r products are used. One
// function makes them for the counting and for settling doubtful stations, so both see
// the same floats.
struct StationProducts {
  float nr, ar, br, ne, ae, be;
};
inline StationProducts MakeProducts(const double N[3], const double A[3], const double B[3],
                                    double rx, double ry, double rz, double ex, double ey,
                                    double ez) {
  return {static_cast<float>(N[0] * rx + N[1] * ry + N[2] * rz),
          static_cast<float>(A[0] * rx + A[1] * ry),
          static_cast<float>(B[0] * rx + B[1] * ry + B[2] * rz),
          static_cast<float>(N[0] * ex + N[1] * ey + N[2] * ez),
          static_cast<float>(A[0] * ex + A[1] * ey),
          static_cast<float>(B[0] * ex + B[1] * ey + B[2] * ez)};
}

// Float amplitude of a station as the counting kernels form it.
inline float KernelAmplitude(bool isP, const StationProducts& q, float c, float s) {
  if (isP) return (2.0f * q.nr) * (c * q.ar + s * q.br);
  const float dr = c * q.ar + s * q.br;
  const float de = c * q.ae + s * q.be;
  return q.nr * de + dr * q.ne;
}

// The same grid for first motions weighed by phase (threshold above -0.001, no ratio
// records), where a cell's misfit is a count of disagreeing stations over a count of
// usable ones, each count per weight (20000 for P, 1 for SV and SH).
//
// A double couple's amplitude along r towards e is (n.r)(d.e) + (d.r)(n.e), n the fault
// normal and d the slip; d = cos(rake) a + sin(rake) b with a and b fixed by strike and
// dip. So for each strike and dip the six products n.r, a.r, b.r, n.e, a.e, b.e are made
// once per station, and each rake costs a few float multiplications and two compares per
// station, without branches. A station whose float amplitude lies so near the threshold
// (or, with a zero threshold, near zero) that rounding could decide is weighed again in
// double precision as the reference does, so the grid is the reference's to the last bit.
//
// The stations are taken in blocks small enough to stay in the first-level cache: a
// block's rays are read once per strike, and its products once per strike and dip, then
// serve every rake; the counts of every dip and rake add up over the blocks. Streaming
// all stations from memory for every rake made large catalogues (hundreds of thousands
// of rays) grow faster than their size.
void FillMisfitGridFast(const KZ_MecaStation st[], int n, const std::vector<Ray>& rays,
                        float threshold, int nS, int nD, int nR, double* grid) {
  // Stations that take part: P first, then SV and SH; a record without polarity still
  // counts towards the usable ones.
  std::vector<int> order;
  for (int k = 0; k < n; ++k)
    if (PhaseType(st[k]) == 1) order.push_back(k);
  const int nP = static_cast<int>(order.size());
  for (int k = 0; k < n; ++k)
    if (PhaseType(st[k]) != 1) order.push_back(k);
  const int m = static_cast<int>(order.size());
  const double t = std::fabs(static_cast<double>(threshold));
  const float tf = static_cast<float>(t);

  std::vector<float> pol(static_cast<std::size_t>(m));
  // Ray r and polarisation e per station, one array per component.
  std::vector<double> rx(static_cast<std::size_t>(m)), ry(rx), rz(rx), ex(rx), ey(rx), ez(rx);
  for (int j = 0; j < m; ++j) {
    const KZ_MecaStation& s = st[order[j]];
    const Ray& ray = rays[order[j]];
    const int type = PhaseType(s);
    const double* e = type == 1 ? ray.r : (type == 2 ? ray.sv : ray.sh);
    rx[j] = ray.r[0];
    ry[j] = ray.r[1];
    rz[j] = ray.r[2];
    ex[j] = e[0];
    ey[j] = e[1];
    ez[j] = e[2];
    pol[j] = static_cast<float>(Sign(s.m_fPolarity));
  }
  std::vector<float> cr(static_cast<std::size_t>(nR)), sr(static_cast<std::size_t>(nR));
  for (int ir = 0; ir < nR; ++ir) {
    cr[ir] = static_cast<float>(std::cos(ir * 5.0 * kDeg));
    sr[ir] = static_cast<float>(std::sin(ir * 5.0 * kDeg));
  }
  const int nHalf = nR / 2;
  // 512 stations: seven float arrays of 2 KB, with the block's rays, stay in L1.
  constexpr int kBlock = 512;

  // Threads only where the stations make the grid's work outweigh starting them.
#pragma omp parallel for schedule(static) if (m >= 32)
  for (int is = 0; is < nS; ++is) {
    std::vector<float> nr(kBlock), ar(nr), br(nr), ne(nr), ae(nr), be(nr), nr2(nr);
    // Per dip and rake of the first half: usable, against (of the rake and of the one 180
    // degrees on) and doubtful counts, per weight class ([0] P, [1] SV and SH).
    struct Counts {
      int usable[2], against[2][2], doubt[2];
    };
    std::vector<Counts> counts(static_cast<std::size_t>(nD) * nHalf, Counts{});
    std::vector<std::array<double, 9>> planes(static_cast<std::size_t>(nD));
    const double f = is * 5.0 * kDeg, sf = std::sin(f), cf = std::cos(f);
    for (int id = 0; id < nD; ++id) {
      const double dl = id * 2.5 * kDeg, sd = std::sin(dl), cd = std::cos(dl);
      planes[id] = {-sd * sf, sd * cf, -cd, cf, sf, 0.0, cd * sf, -cd * cf, -sd};
    }
    for (int lo = 0; lo < m; lo += kBlock) {
      const int hi = std::min(m, lo + kBlock), len = hi - lo;
      const int pEnd = std::clamp(nP - lo, 0, len);  // block-local end of the P stations
      for (int id = 0; id < nD; ++id) {
        const double* N = planes[id].data();
        const double* A = N + 3;
        const double* B = N + 6;
        for (int j = 0; j < len; ++j) {
          const int g = lo + j;
          const StationProducts q = MakeProducts(N, A, B, rx[g], ry[g], rz[g], ex[g], ey[g], ez[g]);
          nr[j] = q.nr;
          ar[j] = q.ar;
          br[j] = q.br;
          ne[j] = q.ne;
          ae[j] = q.ae;
          be[j] = q.be;
          nr2[j] = 2.0f * q.nr;
        }
        // Each rake and the one 180 degrees on (negated slip, negated amplitudes) from one
        // pass: the same stations are usable, and those agreeing with the first are
        // against the second.
        for (int ir = 0; ir < nHalf; ++ir) {
          Counts& k = counts[static_cast<std::size_t>(id) * nHalf + ir];
          const float c = cr[ir], sn = sr[ir];
          int u = 0, a = 0, g = 0, q = 0;
          if (pEnd > 0) {
            CountP(nr2.data(), ar.data(), br.data(), pol.data() + lo, 0, pEnd, c, sn, tf, &u, &a,
                   &g, &q);
            k.usable[0] += u;
            k.against[0][0] += a;
            k.against[1][0] += g;
            k.doubt[0] += q;
          }
          if (pEnd < len) {
            CountS(nr.data(), ar.data(), br.data(), ne.data(), ae.data(), be.data(),
                   pol.data() + lo, pEnd, len, c, sn, tf, &u, &a, &g, &q);
            k.usable[1] += u;
            k.against[0][1] += a;
            k.against[1][1] += g;
            k.doubt[1] += q;
          }
        }
      }
    }
    double M[9];
    for (int id = 0; id < nD; ++id) {
      const double* N = planes[id].data();
      for (int ir = 0; ir < nHalf; ++ir) {
        const Counts& k = counts[static_cast<std::size_t>(id) * nHalf + ir];
        const float c = cr[ir], sn = sr[ir];
        for (int half = 0; half < 2; ++half) {
          const int rake = ir + half * nHalf;
          int use[2] = {k.usable[0], k.usable[1]};
          int cnt[2] = {k.against[half][0], k.against[half][1]};
          if (k.doubt[0] + k.doubt[1]) {
            // Rare: settle the doubtful stations as the reference would.
            MomentTensorFromAngles(0, 0, is * 5.0, id * 2.5, rake * 5.0, M);
            const float flip = half ? -1.0f : 1.0f;
            for (int j = 0; j < m; ++j) {
              const StationProducts q =
                  MakeProducts(N, N + 3, N + 6, rx[j], ry[j], rz[j], ex[j], ey[j], ez[j]);
              const float amp = flip * KernelAmplitude(j < nP, q, c, sn);
              const float mag = std::fabs(amp);
              if (!(std::fabs(mag - tf) < kDoubt)) continue;
              const int g = j < nP ? 0 : 1;
              use[g] -= mag >= tf;
              cnt[g] -= (mag >= tf) & (amp * pol[j] < 0.0f);
              const int kk = order[j];
              const double exact = Amplitude(M, rays[kk], PhaseType(st[kk]));
              if (t > std::fabs(exact)) continue;
              use[g] += 1;
              cnt[g] += exact * Sign(st[kk].m_fPolarity) < 0.0;
            }
          }
          const double num = 20000.0 * cnt[0] + 1.0 * cnt[1];
          const double den = 20000.0 * use[0] + 1.0 * use[1];
          grid[(static_cast<std::size_t>(is) * nD + id) * nR + rake] =
              den != 0.0 && std::isfinite(num / den) ? num / den : FLT_MAX;
        }
      }
    }
  }
}

}  // namespace

void KZ_MecaMisfitGrid(const KZ_MecaStation st[], int n, float threshold, double grid[],
                       bool exhaustive) {
  constexpr int nS = 72, nD = 36, nR = 72;
  n = std::max(n, 0);
  std::vector<Ray> rays(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) rays[k] = MakeRay(st[k].m_fTakeoff, st[k].m_fAzimuth);
  bool counts = static_cast<double>(threshold) > -0.001;
  for (int k = 0; k < n && counts; ++k) counts = !IsRatio(st[k]);
  if (counts && !exhaustive)
    FillMisfitGridFast(st, n, rays, threshold, nS, nD, nR, grid);
  else
    FillMisfitGridExhaustive(st, n, rays, threshold, nS, nD, nR, grid);
}

int KZ_MecaFit::GridSearch(const KZ_MecaStation st[], int n, float out[3], double* misfit,
                           double curv[6], float threshold) {
  constexpr int nS = 72, nD = 36, nR = 72;
  std::vector<double> grid(static_cast<std::size_t>(nS) * nD * nR);
  KZ_MecaMisfitGrid(st, n, threshold, grid.data(), false);
  if (!m_strGridFile.empty()) KZ_WriteMecaGridFile(m_strGridFile, grid.data(), nS, nD, nR);
  const int dims[3] = {nR, nD, nS};
  double res[9];
  int status = 1, nMin = 0, minima[10];
  *misfit = KZ_FindGridMinimum(grid.data(), dims, res, &status, &nMin, minima);
  if (nMin > 0) {
    out[0] = static_cast<float>(res[2] * 5.0);
    out[1] = static_cast<float>(res[1] * 2.5);
    out[2] = static_cast<float>(res[0] * 5.0);
    curv[0] = res[5] / 25.0;
    curv[1] = res[4] / 6.25;
    curv[2] = res[3] / 25.0;
    curv[3] = res[8] / 12.5;
    curv[4] = res[7] / 25.0;
    curv[5] = res[6] / 12.5;
  }
  return status;
}

KZ_MecaSolution KZ_MecaFit::Solve(const KZ_MecaStation st[], int n, KZ_MecaParam* p, float lo,
                                  float hi) {
  const float bounds[3][2] = {{lo, hi}, {-1.0f, 1.0f}, {-0.5f, 0.5f}};
  for (int g = 0; g < 3; ++g) {
    KZ_MecaParamGroup& q = p->m_Group[g];
    q.m_fLower = bounds[g][0];
    q.m_fUpper = bounds[g][1];
    q.m_fStep = 0.1f;
    q.m_fValue = 0.5f * (q.m_fLower + q.m_fUpper);
    q.m_fError = 0.0f;
  }
  KZ_MecaSolution result;
  result.m_nStatus = -1;
  KZ_MecaGrid grid;
  grid.nS = 37;
  grid.s0 = 0.0f;
  grid.dS = 10.0f;
  grid.nD = 19;
  grid.d0 = 0.0f;
  grid.dD = 5.0f;
  grid.nR = 1;
  grid.r0 = 180.0f;
  grid.dR = 10.0f;
  double* work = new (std::nothrow) double[static_cast<std::size_t>(grid.nS) * grid.nD * grid.nR];
  if (!work) return result;
  grid.work = work;
  result = Refine(3, st, n, p, grid, 0);
  delete[] work;
  return result;
}

KZ_MecaSolution KZ_MecaFit::Refine(int level, const KZ_MecaStation st[], int n, KZ_MecaParam* p,
                                   KZ_MecaGrid grid, int refine) {
  if (level <= 0) {
    KZ_MecaSolution r;
    const double scale = std::pow(10.0, 1.5 * p->m_Group[0].m_fValue);
    const double iso = p->m_Group[1].m_fValue, clvd = p->m_Group[2].m_fValue;
    std::vector<Ray> rays(static_cast<std::size_t>(std::max(n, 0)));
    for (int k = 0; k < n; ++k) rays[k] = MakeRay(st[k].m_fTakeoff, st[k].m_fAzimuth);
    double M[9];
    double best = 0.0;
    int bestCell = -1, cell = 0;
    for (int ir = 0; ir < grid.nR; ++ir) {
      for (int id = 0; id < grid.nD; ++id) {
        for (int is = 0; is < grid.nS; ++is, ++cell) {
          MomentTensorFromAngles(iso, clvd, is * grid.dS + grid.s0, id * grid.dD + grid.d0,
                                 ir * grid.dR + grid.r0, M);
          double sum = 0.0;
          for (int k = 0; k < n; ++k) {
            const KZ_MecaStation& s = st[k];
            if (s.m_cCode[0] == 'S' && s.m_cCode[1] == 'P') {
              const double aP = scale * Amplitude(M, rays[k], 1);
              const double aSH = scale * Amplitude(M, rays[k], 3);
              const double obs = s.m_fAmp;
              double d;
              if (aP < 1e-4)
                d = obs - 4.0;
              else if (aSH < 1e-4)
                d = obs + 2.0;
              else
                d = obs - std::log10(std::fabs(aSH / aP));
              sum += d * d;
            } else {
              const float a = static_cast<float>(scale * Amplitude(M, rays[k], PhaseType(s)));
              const double d = s.m_fAmp - a;
              sum += d * d;
              if (Sign(a) * s.m_fPolarity < 0.0) sum += static_cast<double>(a) * a;
            }
          }
          grid.work[cell] = sum;
          if (bestCell < 0 || sum < best) {
            best = sum;
            bestCell = cell;
          }
        }
      }
    }
    const int is = bestCell % grid.nS, id = (bestCell / grid.nS) % grid.nD,
              ir = bestCell / (grid.nS * grid.nD);
    r.m_fStrike = is * grid.dS + grid.s0;
    r.m_fDip = id * grid.dD + grid.d0;
    r.m_fRake = ir * grid.dR + grid.r0;
    r.m_fMisfit = best;
    r.m_nStatus = 0;
    if (refine) {
      const int dims[3] = {grid.nS, grid.nD, grid.nR};
      double res[9];
      int status = 1, nMin = 0, minima[10] = {};
      r.m_fMisfit = KZ_FindGridMinimum(grid.work, dims, res, &status, &nMin, minima);
      r.m_nStatus = status;
      r.m_nMinima = nMin;
      for (int k = 0; k < 10; ++k) r.m_nMinimum[k] = k < nMin ? minima[k] : 0;
      if (nMin > 0) {
        r.m_fStrike = static_cast<float>(res[0] * grid.dS + grid.s0);
        r.m_fDip = static_cast<float>(res[1] * grid.dD + grid.d0);
        r.m_fRake = static_cast<float>(res[2] * grid.dR + grid.r0);
        r.m_fCurv[0] = res[3] / (grid.dS * grid.dS);
        r.m_fCurv[1] = res[4] / (grid.dD * grid.dD);
        r.m_fCurv[2] = res[5] / (grid.dR * grid.dR);
        r.m_fCurv[3] = res[6] / (grid.dS * grid.dD);
        r.m_fCurv[4] = res[7] / (grid.dS * grid.dR);
        r.m_fCurv[5] = res[8] / (grid.dD * grid.dR);
      }
    }
    return r;
  }

  KZ_MecaParamGroup& g = p->m_Group[level - 1];
  float h = g.m_fStep;
  const float v = g.m_fValue;
  const KZ_MecaSolution r0 = Refine(level - 1, st, n, p, grid, h <= 0.001f ? 1 : 0);
  if (h <= 0.001f) return r0;
  // The first trial step obeys the bounds as every later one does: evaluated beyond the
  // upper bound it would become the start of the walk, and each return of the outer
  // searches would carry the value one step further out.
  const bool upInside = v + h <= g.m_fUpper;
  KZ_MecaSolution r1;
  if (upInside) {
    g.m_fValue = v + h;
    r1 = Refine(level - 1, st, n, p, grid, 0);
  }
  // The walk: t the current position with misfit f0, fm the misfit one step back.
  float t;
  double fm, f0;
  bool mirrorBack = false;  // no misfit one step back: mirror the step ahead
  if (!upInside || r1.m_fMisfit > r0.m_fMisfit) {
    h = -h;
    t = v;
    mirrorBack = !upInside;
    fm = upInside ? r1.m_fMisfit : 0.0;
    f0 = r0.m_fMisfit;
  } else {
    t = v + h;
    fm = r0.m_fMisfit;
    f0 = r1.m_fMisfit;
  }
  double fp;
  for (;;) {
    const float next = t + h;
    if (next > g.m_fUpper || next < g.m_fLower) {
      // Out of bounds: mirror the point two steps back so that the parabola centres on
      // the last point inside.
      fp = fm;
      t = next;
      break;
    }
    g.m_fValue = next;
    const double f = Refine(level - 1, st, n, p, grid, 0).m_fMisfit;
    t = next;
    if (!(f < f0)) {
      fp = f;
      break;
    }
    fm = f0;
    f0 = f;
    mirrorBack = false;
  }
  if (mirrorBack) fm = fp;
  const double D = fm + fp - 2.0 * f0;
  if (D > 0.0) {
    g.m_fError = static_cast<float>(2.0 * h * h / D);
    g.m_fValue = static_cast<float>(t - h - h * (fp - fm) / (2.0 * D));
  } else {
    // A flat triple brackets nothing: the middle point, without an error.
    g.m_fError = 0.0f;
    g.m_fValue = t - h;
  }
  return Refine(level - 1, st, n, p, grid, 1);
}
