#include "aecore/catalogue/AELocator.h"

#include <algorithm>
#include <cmath>

#include "base/types/KZ_Vector3D.h"

namespace {

inline float Sq(float v) { return v * v; }

}  // namespace

// A slot whose sensor index is out of range has no position: it sits at the origin (such
// records are refused when written).
const std::array<double, 3>& AELocator::Pos(int slot) const {
  static const std::array<double, 3> kNowhere{};
  int s = e_.sensor[slot];
  return (s >= 0 && s < kAEMaxArrivals) ? s_.sensorXYZ[s] : kNowhere;
}

// ---------------------------------------------------------------- travel times

float AELocator::TravelTime(int slot) const {
  const auto& S = Pos(slot);
  float X = static_cast<float>(e_.x - S[0]), Y = static_cast<float>(e_.y - S[1]),
        Z = static_cast<float>(e_.z - S[2]);
  float h = std::sqrt(X * X + Y * Y);
  float r = std::sqrt(h * h + Z * Z);
  float q = std::sqrt(Sq(e_.vx) * h * h + Sq(e_.vz) * Z * Z);
  float rp = r + 1e-5f;
  float v = q / rp;
  return rp / v;
}

// Model T without its offsets: r / v with v = q / r.
float AELocator::PlainTravelTime(int slot) const {
  const auto& S = Pos(slot);
  float X = static_cast<float>(e_.x - S[0]), Y = static_cast<float>(e_.y - S[1]),
        Z = static_cast<float>(e_.z - S[2]);
  float h2 = X * X + Y * Y;
  float q = std::sqrt(Sq(e_.vx) * h2 + Sq(e_.vz) * Z * Z);
  return q > 0.0f ? (h2 + Z * Z) / q : 0.0f;
}

void AELocator::TravelTimeDeriv(int slot, float* t, float* dx, float* dy, float* dz) const {
  const auto& S = Pos(slot);
  float X = static_cast<float>(e_.x - S[0]), Y = static_cast<float>(e_.y - S[1]),
        Z = static_cast<float>(e_.z - S[2]);
  float hp = std::sqrt(X * X + Y * Y) + 0.001f;
  float H = s_.sizeZ;
  float Sz = static_cast<float>(S[2]);
  float Ve = s_.velocityAux;
  // A sensor on an end piece: the ray crosses the end face and runs on at the end
  // piece's velocity. Without a known end-piece velocity the ray stays straight.
  if (std::fabs(Sz) > H / 2 && Ve > 0.0f) {
    float d = std::fabs(Sz) - H / 2;
    float zf = Sz >= 0.0f ? e_.z - H / 2 : e_.z + H / 2;
    float lo = 0.0f, hi = hp, p, L1, L2, va;
    do {
      p = (lo + hi) / 2;
      L2 = std::sqrt(p * p + d * d);
      L1 = std::sqrt(Sq(p - hp) + zf * zf);
      float qa = std::sqrt(Sq(e_.vx) * Sq(p - hp) + Sq(e_.vz) * zf * zf);
      va = qa / L1;
      float f = p / (L2 * Ve) + (2 - Sq(e_.vx) / Sq(va)) * (p - hp) / (L1 * va);
      if (f == 0.0f) break;
      if (f > 0.0f)
        hi = p;
      else
        lo = p;
    } while (hi - lo > 0.1f);
    *t = L2 / Ve + L1 / va;
    float rho = 1 - p / hp;
    float gx = (2 - Sq(e_.vx) / Sq(va)) / (L1 * va);
    *dx = gx * rho * X;
    *dy = gx * rho * Y;
    *dz = (2 - Sq(e_.vz) / Sq(va)) * zf / (L1 * va);
    return;
  }
  float r = std::sqrt(hp * hp + Z * Z);
  float q = std::sqrt(Sq(e_.vx) * hp * hp + Sq(e_.vz) * Z * Z);
  float rp = r + 0.001f;
  float v = q / rp;
  *t = rp / v;
  *dx = (2 - Sq(e_.vx) / Sq(v)) * X / (rp * v);
  *dy = (2 - Sq(e_.vx) / Sq(v)) * Y / (rp * v);
  *dz = (2 - Sq(e_.vz) / Sq(v)) * Z / (rp * v);
}

void AELocator::TravelTimeDerivXZ(int slot, float* t, float* dx, float* dz) const {
  const auto& S = Pos(slot);
  float X = static_cast<float>(e_.x - S[0]), Y = static_cast<float>(e_.y - S[1]),
        Z = static_cast<float>(e_.z - S[2]);
  float hp = std::sqrt(X * X + Y * Y) + 0.001f;
  float r = std::sqrt(hp * hp + Z * Z);
  float q = std::sqrt(Sq(e_.vx) * hp * hp + Sq(e_.vz) * Z * Z);
  float rp = r + 0.001f;
  float v = q / rp;
  *t = rp / v;
  *dx = (2 - Sq(e_.vx) / Sq(v)) * X / (rp * v);
  *dz = (2 - Sq(e_.vz) / Sq(v)) * Z / (rp * v);
}

void AELocator::TravelTimeDerivYZ(int slot, float* t, float* dy, float* dz) const {
  const auto& S = Pos(slot);
  float Y = static_cast<float>(e_.y - S[1]), Z = static_cast<float>(e_.z - S[2]);
  float hp = std::fabs(Y) + 0.001f;
  float r = std::sqrt(hp * hp + Z * Z);
  float q = std::sqrt(Sq(e_.vy) * hp * hp + Sq(e_.vz) * Z * Z);
  float rp = r + 0.001f;
  float v = q / rp;
  *t = rp / v;
  *dy = (2 - Sq(e_.vy) / Sq(v)) * Y / (rp * v);
  *dz = (2 - Sq(e_.vz) / Sq(v)) * Z / (rp * v);
}

void AELocator::TravelTime3(int slot, float* t, float* dx, float* dy, float* dz) const {
  const auto& S = Pos(slot);
  float X = static_cast<float>(e_.x - S[0]), Y = static_cast<float>(e_.y - S[1]),
        Z = static_cast<float>(e_.z - S[2]);
  float r = std::sqrt(X * X + Y * Y + Z * Z);
  float rp = r + 0.001f;
  float q = std::sqrt(Sq(e_.vx) * X * X + Sq(e_.vy) * Y * Y + Sq(e_.vz) * Z * Z);
  float v = q / rp;
  *t = rp / v;
  *dx = (2 - Sq(e_.vx) / Sq(v)) * X / (rp * v);
  *dy = (2 - Sq(e_.vy) / Sq(v)) * Y / (rp * v);
  *dz = (2 - Sq(e_.vz) / Sq(v)) * Z / (rp * v);
}

void AELocator::SetVelocityForTime() {
  int n = s_.nVelEntries;
  if (n <= 0 || !s_.vel || !s_.velTime) return;  // no table: the record keeps its velocities
  float t = static_cast<float>(e_.sec - s_.velTimeForm);
  int k = 0;
  while (k < n && !(t < static_cast<float>(s_.velTime[k]))) ++k;
  const float* w;
  float interp[3];
  if (k == 0) {
    w = s_.vel[0];
  } else if (k == n) {
    w = s_.vel[n - 1];
  } else {
    float f = (t - s_.velTime[k - 1]) / static_cast<float>(s_.velTime[k] - s_.velTime[k - 1]);
    for (int c = 0; c < 3; ++c)
      interp[c] = s_.vel[k - 1][c] + f * (s_.vel[k][c] - s_.vel[k - 1][c]);
    w = interp;
  }
  e_.vx = w[0];
  e_.vy = w[1];
  e_.vz = w[2];
}

int AELocator::GetSensorIncidence(int sensor, float* cosIncidence, float* distance) const {
  if (e_.count < 5 || sensor < 0 || sensor >= kAEMaxArrivals) return 0;
  const auto& S = s_.sensorXYZ[sensor];
  double H = s_.sizeZ;
  KZ_Vector3D n(0, 0, 0);
  if (s_.shape != 0) {
    if (std::fabs(S[2]) > 0.49 * H)
      n = KZ_Vector3D(0, 0, S[2] > 0 ? 1 : -1);
    else if (std::fabs(S[0]) > 0.49 * s_.sizeX)
      n = KZ_Vector3D(S[0] > 0 ? 1 : -1, 0, 0);
    else if (std::fabs(S[1]) > 0.49 * s_.sizeY)
      n = KZ_Vector3D(0, S[1] > 0 ? 1 : -1, 0);
  } else if (std::fabs(S[2]) <= 0.49 * H) {
    n = KZ_Vector3D(S[0], S[1], 0);
    n.Normalize();
  } else {
    n = KZ_Vector3D(0, 0, S[2] > 0 ? 1 : -1);
  }
  KZ_Vector3D R(S[0] - e_.x, S[1] - e_.y, S[2] - e_.z);
  *distance = static_cast<float>(R.Length());
  R.Normalize();
  *cosIncidence = static_cast<float>(KZ_Dot(R, n));
  return 1;
}

int AELocator::SolveLeastSquares(float* A, float* x, float* b, int m, int n, float tol) {
  if (m < n || n < 1) return 0;
  for (int j = 0; j < n; ++j) {
    float* a = A + static_cast<std::size_t>(j) * m;
    double s2 = 0.0;
    for (int i = j; i < m; ++i) s2 += static_cast<double>(a[i] + 1e-6f) * (a[i] + 1e-6f);
    float sigma = static_cast<float>(std::sqrt(s2));
    if (!(a[j] > 0.0f)) sigma = -sigma;
    if (std::fabs(sigma) < tol) return 0;
    float u = std::sqrt(1 + a[j] / sigma);
    if (u < tol) return 0;
    // Reflection vector v (|v|^2 = 2): u at row j, a_ij / (sigma u) below.
    float vScale = 1.0f / (sigma * u);
    auto v = [&](int i) { return i == j ? u : a[i] * vScale; };
    for (int k = j + 1; k < n; ++k) {
      float* c = A + static_cast<std::size_t>(k) * m;
      double dot = 0.0;
      for (int i = j; i < m; ++i) dot += static_cast<double>(v(i)) * c[i];
      for (int i = j; i < m; ++i) c[i] -= static_cast<float>(v(i) * dot);
    }
    double dot = 0.0;
    for (int i = j; i < m; ++i) dot += static_cast<double>(v(i)) * b[i];
    for (int i = j; i < m; ++i) b[i] -= static_cast<float>(v(i) * dot);
    a[j] = -sigma;
    for (int i = j + 1; i < m; ++i) a[i] = 0.0f;
  }
  for (int j = n - 1; j >= 0; --j) {
    float d = A[static_cast<std::size_t>(j) * m + j];
    if (std::fabs(d) < tol) return 0;
    double s = b[j];
    for (int k = j + 1; k < n; ++k)
      s -= static_cast<double>(A[static_cast<std::size_t>(k) * m + j]) * x[k];
    x[j] = static_cast<float>(s / d);
  }
  return 1;
}

// ---------------------------------------------------------------- slot helpers

void AELocator::SwapArrivals(AELocEvent& ev, int i, int j) {
  std::swap(ev.time[i], ev.time[j]);
  std::swap(ev.sn[i], ev.sn[j]);
  std::swap(ev.amp[i], ev.amp[j]);
  std::swap(ev.pol[i], ev.pol[j]);
  std::swap(ev.sensor[i], ev.sensor[j]);
}

void AELocator::KeepBySN(AELocEvent& ev, int slots, float threshold, int* n) {
  slots = std::clamp(slots, 0, kAEMaxArrivals);
  int kept = 0;
  for (int i = 0; i < slots; ++i) {
    if (ev.sn[i] >= threshold) {
      if (i != kept) SwapArrivals(ev, i, kept);
      ++kept;
    }
  }
  *n = kept;
}

void AELocator::MinMaxIndex(const float* a, int n, int* iMin, float* min, int* iMax, float* max) {
  *iMin = *iMax = 0;
  *min = *max = n > 0 ? a[0] : 0.0f;
  for (int i = 1; i < n; ++i) {
    if (a[i] < *min) {
      *min = a[i];
      *iMin = i;
    }
    if (a[i] > *max) {
      *max = a[i];
      *iMax = i;
    }
  }
}

void AELocator::MinIndex(const float* a, int n, int* i) {
  *i = 0;
  if (n < 2) return;
  for (int k = 1; k < n; ++k)
    if (a[k] < a[*i]) *i = k;
}

void AELocator::GetSensorWeights(float* w) const {
  // Weight of sensor s from the S/N of the slot that holds it. Slots in sensor order (as
  // the picks fill them) give each sensor its own S/N by position too; after a location
  // has reordered the slots only the lookup by sensor keeps weight and sensor together.
  for (int i = 0; i < kAEMaxArrivals; ++i) w[i] = 0.0f;
  const int m = std::min(s_.nSensors, kAEMaxArrivals);
  for (int slot = 0; slot < m; ++slot) {
    int s = e_.sensor[slot];
    if (s < 0 || s >= m) continue;
    float q = e_.sn[slot];
    w[s] = std::sqrt(std::min(std::max((q - 1) / 9, 0.0f), 1.0f)) * s_.sensorSign[s];
  }
}
