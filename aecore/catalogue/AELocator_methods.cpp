// The iterative location methods, the grid methods and their dispatcher.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "aecore/catalogue/AELocator.h"
#include "base/numerics/KZ_GridMinimum.h"
#include "base/numerics/KZ_Rand.h"

namespace {

constexpr int kMaxPasses = 50;

enum class EndRule { Fail, FixedZero, Cylinder };

}  // namespace

// How one iterative method differs from the others.
struct AELocator::Method {
  Model model;
  bool freeAxis[3];      // x, y, z varied
  bool restoreEachPass;  // every pass starts again from the saved start
  int iterations;        // per pass
  int boxAfter;          // the box is tested only after this many iterations of a pass
  bool boxCylinder;      // the box is x^2 + y^2 <= r^2, |z| <= zMax; else a rectangular one
  float box[3];          // half extents x, y, z (rectangular) or r, -, zMax (cylinder)
  float finalBox[3];
  bool boxLeaveTestsResiduals;  // leaving the box leads to the residual test instead of a drop
  int minArrivals;              // fewer arrivals at the start of a pass end the method
  EndRule end;
};

float AELocator::ModelTime(Model model, int slot, float d[3]) const {
  float t = 0.0f;
  d[0] = d[1] = d[2] = 0.0f;
  switch (model) {
    case Model::E:
      TravelTime3(slot, &t, &d[0], &d[1], &d[2]);
      break;
    case Model::P:
      TravelTimeDerivYZ(slot, &t, &d[1], &d[2]);
      break;
    case Model::XZ:
      TravelTimeDerivXZ(slot, &t, &d[0], &d[2]);
      break;
    case Model::TDetour:
      TravelTimeDeriv(slot, &t, &d[0], &d[1], &d[2]);
      break;
  }
  return t;
}

namespace {
inline float WeightOf(const float* w, const AELocEvent& e, int slot) {
  int s = e.sensor[slot];
  return (s >= 0 && s < kAEMaxArrivals) ? w[s] : 0.0f;
}
}  // namespace

bool AELocator::WeightedMeanOrigin(const float* w, int n, float* t0) const {
  double sw = 0.0, st = 0.0;
  for (int k = 0; k < n; ++k) {
    double wk = WeightOf(w, e_, k);
    sw += wk;
    st += wk * (e_.time[k] - PlainTravelTime(k));
  }
  if (sw == 0.0) return false;
  *t0 = static_cast<float>(st / sw);
  return true;
}

void AELocator::SetVelocities(const double* vel, bool onlyXZ) {
  const double* v = vel ? vel : (s_.vCalib[0] >= 0.1 ? s_.vCalib.data() : nullptr);
  if (!v) {
    SetVelocityForTime();
    return;
  }
  e_.vx = static_cast<float>(v[0]);
  if (!onlyXZ) e_.vy = static_cast<float>(v[1]);
  e_.vz = static_cast<float>(v[2]);
}

void AELocator::Drop(int* n, bool byTime) {
  int i = 0;
  MinIndex(byTime ? e_.time.data() : e_.sn.data(), *n, &i);
  SwapArrivals(e_, i, *n - 1);
  --*n;
}

// One weighted least-squares step over the first n slots: writes their residuals, moves
// the hypocentre and the origin time. Without a step (weights summing to zero, or a rank
// deficient system) nothing moves.
AELocator::StepResult AELocator::Step(const Method& m, float* residuals, const float* w, int n,
                                      float* stepLength) {
  int cols[3], p = 0;
  for (int c = 0; c < 3; ++c)
    if (m.freeAxis[c]) cols[p++] = c;
  float d[kAEMaxArrivals][3], wk[kAEMaxArrivals];
  double sw = 0.0, sd[3] = {}, sr = 0.0;
  for (int k = 0; k < n; ++k) {
    float tt = ModelTime(m.model, k, d[k]);
    residuals[k] = e_.time[k] - e_.t0 - tt;
    wk[k] = WeightOf(w, e_, k);
    sw += wk[k];
    for (int c = 0; c < 3; ++c) sd[c] += static_cast<double>(wk[k]) * d[k][c];
    sr += static_cast<double>(wk[k]) * residuals[k];
  }
  if (sw == 0.0) return StepResult::NoWeight;
  double md[3] = {sd[0] / sw, sd[1] / sw, sd[2] / sw}, mr = sr / sw;
  float A[3 * kAEMaxArrivals], b[kAEMaxArrivals], delta[3] = {};
  for (int k = 0; k < n; ++k) {
    for (int c = 0; c < p; ++c)
      A[c * n + k] = static_cast<float>(wk[k] * (wk[k] * d[k][cols[c]] - md[cols[c]]));
    b[k] = static_cast<float>(wk[k] * (wk[k] * residuals[k] - mr));
  }
  if (!SolveLeastSquares(A, delta, b, n, p, 1e-5f)) return StepResult::Singular;
  double dt0 = mr, len2 = 0.0;
  float* xyz[3] = {&e_.x, &e_.y, &e_.z};
  for (int c = 0; c < p; ++c) {
    dt0 -= delta[c] * md[cols[c]];
    len2 += static_cast<double>(delta[c]) * delta[c];
    *xyz[cols[c]] += delta[c];
  }
  e_.t0 += static_cast<float>(dt0);
  *stepLength = static_cast<float>(std::sqrt(len2));
  return StepResult::Moved;
}

namespace {
bool InsideBox(bool cylinder, const float box[3], float x, float y, float z) {
  if (cylinder) return x * x + y * y <= box[0] * box[0] && std::fabs(z) <= box[2];
  return std::fabs(x) <= box[0] && std::fabs(y) <= box[1] && std::fabs(z) <= box[2];
}
}  // namespace

// The pass loop shared by the iterative methods, from the start in the event.
int AELocator::Iterate(const Method& m, float* residuals, const float* w, int n) {
  const int slots = std::min(s_.nSensors, kAEMaxArrivals);
  const float start[4] = {e_.x, e_.y, e_.z, e_.t0};
  auto restore = [&] {
    e_.x = start[0];
    e_.y = start[1];
    e_.z = start[2];
    e_.t0 = start[3];
  };
  float* const xyz[3] = {&e_.x, &e_.y, &e_.z};
  bool stalled = false, readmitted = false, earliestDropped = false;
  for (int pass = 1;; ++pass) {
    if (m.restoreEachPass) restore();
    if (pass > kMaxPasses || n < m.minArrivals) {
      switch (m.end) {
        case EndRule::Fail:
          e_.count = 0;
          return 0;
        case EndRule::FixedZero:
          // The fixed methods give up on the sample's axis at the start time.
          for (int c = 0; c < 3; ++c)
            if (m.freeAxis[c]) *xyz[c] = 0.0f;
          e_.t0 = start[3];
          e_.count = 1;
          return 1;
        case EndRule::Cylinder:
          e_.count = pass > kMaxPasses ? 0 : n;
          return 0;
      }
    }
    // Iterations of the pass; threshold < 0 means "start a new pass".
    float threshold = -1.0f;
    bool toResidualTest = false;
    float len = 0.0f;
    bool left = false;
    for (int it = 1; it <= m.iterations; ++it) {
      StepResult step = Step(m, residuals, w, n, &len);
      if (step == StepResult::NoWeight) {
        e_.count = 0;
        return 0;
      }
      if (step == StepResult::Singular) {
        // No step: this pass cannot go on from here. It is abandoned like a solution that
        // left the box, so a result is never formed from an undefined step.
        restore();
        left = true;
        Drop(&n, false);
        stalled = false;
        break;
      }
      if (it > m.boxAfter && !InsideBox(m.boxCylinder, m.box, e_.x, e_.y, e_.z)) {
        restore();
        left = true;
        if (m.boxLeaveTestsResiduals) {
          threshold = stalled ? 0.0f : s_.maxRes;
          toResidualTest = true;
        } else {
          Drop(&n, false);
          stalled = false;
        }
        break;
      }
      if (len < 1e-4f) {
        threshold = stalled ? 0.0f : s_.maxRes;
        toResidualTest = true;
        break;
      }
    }
    if (!left && !toResidualTest) {
      if (len < 0.1f) {
        threshold = 0.0f;
        toResidualTest = true;
      } else if (!stalled) {
        stalled = true;
      } else {
        Drop(&n, false);
        stalled = false;
      }
    }
    if (!toResidualTest) continue;

    // Residual test: the residual of largest magnitude among the used arrivals.
    int iMin, iMax;
    float rMin, rMax;
    MinMaxIndex(residuals, n, &iMin, &rMin, &iMax, &rMax);
    int worst = std::fabs(rMax) >= std::fabs(rMin) ? iMax : iMin;
    if (n > 0 && std::fabs(residuals[worst]) > threshold) {
      SwapArrivals(e_, worst, n - 1);
      --n;
      stalled = false;
      continue;
    }
    // Re-admission, once per call, of excluded arrivals that fit the solution.
    if (!readmitted) {
      bool any = false;
      for (int j = n; j < slots; ++j) {
        float d[3];
        float r = e_.time[j] - e_.t0 - ModelTime(m.model, j, d);
        if (std::fabs(r) <= threshold && e_.sn[j] >= s_.minSN) {
          SwapArrivals(e_, j, n);
          ++n;
          any = true;
        }
      }
      if (any) {
        readmitted = true;
        continue;
      }
    }
    if (!InsideBox(m.boxCylinder, m.finalBox, e_.x, e_.y, e_.z)) {
      restore();
      Drop(&n, !earliestDropped);
      earliestDropped = true;
      continue;
    }
    for (int j = n; j < slots; ++j) {
      float d[3];
      residuals[j] = e_.time[j] - e_.t0 - ModelTime(m.model, j, d);
    }
    e_.count = n;
    return 1;
  }
}

int AELocator::LocateDefault(float* residuals, const double* vel) {
  SetVelocities(vel, false);
  float w[kAEMaxArrivals];
  GetSensorWeights(w);
  int n = 0;
  KeepBySN(e_, s_.nSensors, s_.minSN, &n);
  if (n < 4) {
    e_.count = 0;
    return 0;
  }
  if (s_.gridSearch % 10 == 3) {
    if (!GridSearch(n, w)) {
      e_.count = 0;
      return 0;
    }
    e_.count = n;
    if (n < s_.gridNP) return 1;
  } else {
    e_.x = e_.y = e_.z = 0.0f;
    if (!WeightedMeanOrigin(w, n, &e_.t0)) {
      e_.count = 0;
      return 0;
    }
  }
  const float bx = 0.75f * s_.sizeX, by = 0.75f * s_.sizeY, bz = 0.75f * s_.sizeZ;
  Method m{Model::E, {true, true, true}, true, 50, 6, false, {bx, by, bz}, {bx, by, bz}, false,
           1,        EndRule::Fail};
  return Iterate(m, residuals, w, n);
}

namespace {
float EarliestTime(const AELocEvent& e, int n) {
  float t = e.time[0];
  for (int k = 1; k < n; ++k) t = std::min(t, e.time[k]);
  return t;
}
}  // namespace

int AELocator::LocateFixedX(float* residuals, const double* vel, float x0) {
  SetVelocities(vel, false);
  float w[kAEMaxArrivals];
  GetSensorWeights(w);
  int n = 0;
  KeepBySN(e_, s_.nSensors, s_.minSN, &n);
  if (n < 1) {
    e_.count = 0;
    return 0;
  }
  e_.x = x0;
  e_.y = e_.z = 0.0f;
  e_.t0 = EarliestTime(e_, n) - 1.0f;
  const float by = 0.6f * s_.sizeY, bz = 0.6f * s_.sizeZ;
  Method m{Model::P, {false, true, true}, false, 50, 0, false, {0, by, bz}, {0, by, bz}, false,
           5,        EndRule::FixedZero};
  m.box[0] = m.finalBox[0] = FLT_MAX;
  return Iterate(m, residuals, w, n);
}

int AELocator::LocateFixedY(float* residuals, const double* vel, float y0) {
  SetVelocities(vel, true);
  float w[kAEMaxArrivals];
  GetSensorWeights(w);
  int n = 0;
  KeepBySN(e_, s_.nSensors, s_.minSN, &n);
  if (n < 1) {
    e_.count = 0;
    return 0;
  }
  e_.y = y0;
  e_.x = e_.z = 0.0f;
  e_.t0 = EarliestTime(e_, n) - 1.0f;
  const float bx = 0.6f * s_.sizeX, bz = 0.6f * s_.sizeZ;
  Method m{Model::XZ,
           {true, false, true},
           false,
           50,
           0,
           false,
           {bx, FLT_MAX, bz},
           {bx, FLT_MAX, bz},
           false,
           3,
           EndRule::FixedZero};
  return Iterate(m, residuals, w, n);
}

int AELocator::LocateLSQ(float* residuals, const double* vel, int startSlot) {
  SetVelocities(vel, false);
  float w[kAEMaxArrivals];
  GetSensorWeights(w);
  int n = 0;
  KeepBySN(e_, s_.nSensors, s_.minSN, &n);
  if (n < 1) {
    e_.count = 0;
    return 0;
  }
  const float D = s_.diameter, H = s_.sizeZ;
  if (s_.gridSearch % 10 == 3) {
    if (!GridSearch(n, w)) {
      e_.count = 0;
      return 0;
    }
    e_.count = n;
    if (n < s_.gridNP) return 1;
  } else {
    int k0;
    float ref;
    if (startSlot >= 0 && startSlot < kAEMaxArrivals) {
      k0 = startSlot;
      ref = residuals[k0];
    } else {
      MinIndex(e_.time.data(), n, &k0);
      ref = e_.time[k0];
    }
    const auto& S = Pos(k0);
    if (std::fabs(S[2]) > H / 2 && n >= 2) {
      e_.x = e_.y = 0.0f;
      e_.z = S[2] > 0 ? H / 2 : -H / 2;
      e_.t0 = ref - 3.0f;
    } else {
      e_.x = static_cast<float>(0.9 * S[0]);
      e_.y = static_cast<float>(0.9 * S[1]);
      e_.z = static_cast<float>(S[2]);
      e_.t0 = ref - 1.0f;
    }
    if (n > 6) {
      // Linear estimate from |S - H|^2 = V^2 (t - t0)^2 with one mean velocity.
      float V = (e_.vx + e_.vz) / 2, V2 = V * V;
      float A[5 * kAEMaxArrivals], b[kAEMaxArrivals], sol[5];
      for (int k = 0; k < n; ++k) {
        const auto& Sk = Pos(k);
        float t = e_.time[k];
        A[0 * n + k] = static_cast<float>(-2 * Sk[0]);
        A[1 * n + k] = static_cast<float>(-2 * Sk[1]);
        A[2 * n + k] = static_cast<float>(-2 * Sk[2]);
        A[3 * n + k] = 2 * V2 * t;
        A[4 * n + k] = 1.0f;
        b[k] = static_cast<float>(V2 * t * t - (Sk[0] * Sk[0] + Sk[1] * Sk[1] + Sk[2] * Sk[2]));
      }
      if (SolveLeastSquares(A, sol, b, n, 5, 1e-5f)) {
        e_.x = sol[0];
        e_.y = sol[1];
        e_.z = sol[2];
        e_.t0 = sol[3];
      }
    }
    if (e_.x * e_.x + e_.y * e_.y > (0.8f * D) * (0.8f * D) || std::fabs(e_.z) > 0.8f * H)
      e_.x = e_.y = e_.z = 0.0f;
    if (!WeightedMeanOrigin(w, n, &e_.t0)) {
      e_.count = 0;
      return 0;
    }
  }
  Method m{Model::TDetour,
           {true, true, true},
           false,
           250,
           0,
           true,
           {0.8f * D, 0, 0.8f * H},
           {0.6f * D, 0, 0.7f * H},
           true,
           5,
           EndRule::Cylinder};
  return Iterate(m, residuals, w, n);
}

namespace {
struct GridAxes {
  float lo[3], step[3];
  int count[3];
};
GridAxes MakeGrid(const AELocSetup& s) {
  GridAxes g;
  const float half[3] = {s.hDim * s.sizeX, s.hDim * s.sizeY, s.hDim * s.sizeZ};
  const int count[3] = {s.gridX, s.gridY, s.gridZ};
  for (int a = 0; a < 3; ++a) {
    g.count[a] = std::max(count[a], 1);
    g.lo[a] = -half[a];
    g.step[a] = 2 * half[a] / g.count[a];
  }
  return g;
}
}  // namespace

int AELocator::GridSearch(int n, const float* w) {
  GridAxes g = MakeGrid(s_);
  double sw = 0.0;
  for (int k = 0; k < n; ++k) sw += WeightOf(w, e_, k);
  if (sw == 0.0) return 0;
  double best = 1e10;
  float bx = 0, by = 0, bz = 0, bt = 0;
  float tt[kAEMaxArrivals];
  for (int ix = 0; ix < g.count[0]; ++ix) {
    for (int iy = 0; iy < g.count[1]; ++iy) {
      for (int iz = 0; iz < g.count[2]; ++iz) {
        e_.x = g.lo[0] + (ix + 0.5f) * g.step[0];
        e_.y = g.lo[1] + (iy + 0.5f) * g.step[1];
        e_.z = g.lo[2] + (iz + 0.5f) * g.step[2];
        double st = 0.0;
        for (int k = 0; k < n; ++k) {
          tt[k] = PlainTravelTime(k);
          st += WeightOf(w, e_, k) * (e_.time[k] - tt[k]);
        }
        double t0 = st / sw, mis = 0.0;
        for (int k = 0; k < n; ++k) {
          double r = e_.time[k] - tt[k] - t0;
          mis += WeightOf(w, e_, k) * r * r;
        }
        if (mis < best) {
          best = mis;
          bx = e_.x;
          by = e_.y;
          bz = e_.z;
          bt = static_cast<float>(t0);
        }
      }
    }
  }
  e_.x = bx + static_cast<float>(KZ_RandUniform(-g.step[0] / 2, g.step[0] / 2));
  e_.y = by + static_cast<float>(KZ_RandUniform(-g.step[1] / 2, g.step[1] / 2));
  e_.z = bz + static_cast<float>(KZ_RandUniform(-g.step[2] / 2, g.step[2] / 2));
  e_.t0 = bt;
  return 1;
}

int AELocator::LocateGrid(float* residuals) {
  SetVelocityForTime();
  float w[kAEMaxArrivals];
  GetSensorWeights(w);
  int n = 0;
  KeepBySN(e_, s_.nSensors, s_.minSN, &n);
  auto fail = [&] {
    e_.count = 0;
    return 0;
  };
  if (n < 4) return fail();
  double sw = 0.0;
  for (int k = 0; k < n; ++k) sw += WeightOf(w, e_, k);
  if (sw == 0.0) return fail();
  GridAxes g = MakeGrid(s_);
  const int nx = g.count[0], ny = g.count[1], nz = g.count[2];
  std::vector<double> grid(static_cast<std::size_t>(nx) * ny * nz);
  float tt[kAEMaxArrivals];
  for (int iz = 0; iz < nz; ++iz) {
    for (int iy = 0; iy < ny; ++iy) {
      for (int ix = 0; ix < nx; ++ix) {
        e_.x = g.lo[0] + (ix + 0.5f) * g.step[0];
        e_.y = g.lo[1] + (iy + 0.5f) * g.step[1];
        e_.z = g.lo[2] + (iz + 0.5f) * g.step[2];
        double st = 0.0;
        for (int k = 0; k < n; ++k) {
          tt[k] = PlainTravelTime(k);
          st += WeightOf(w, e_, k) * (e_.time[k] - tt[k]);
        }
        double t0 = st / sw, mis = 0.0;
        for (int k = 0; k < n; ++k) {
          double r = e_.time[k] - tt[k] - t0;
          mis += WeightOf(w, e_, k) * r * r;
        }
        grid[(static_cast<std::size_t>(iz) * ny + iy) * nx + ix] = mis / sw;
      }
    }
  }
  const int dims[3] = {nx, ny, nz};
  double res[9];
  int status = 0, nMin = 0, minima[10];
  if (KZ_FindGridMinimum(grid.data(), dims, res, &status, &nMin, minima) == -1.0 && status == 1 &&
      nMin == 0)
    return fail();
  int cell[3];
  for (int a = 0; a < 3; ++a) cell[a] = std::clamp(static_cast<int>(res[a]), 0, dims[a] - 1);
  e_.x = g.lo[0] + (cell[0] + 0.5f) * g.step[0];
  e_.y = g.lo[1] + (cell[1] + 0.5f) * g.step[1];
  e_.z = g.lo[2] + (cell[2] + 0.5f) * g.step[2];
  double st = 0.0;
  for (int k = 0; k < n; ++k) st += WeightOf(w, e_, k) * (e_.time[k] - TravelTime(k));
  e_.t0 = static_cast<float>(st / sw);
  e_.x += static_cast<float>(KZ_RandUniform(-g.step[0] / 2, g.step[0] / 2));
  e_.y += static_cast<float>(KZ_RandUniform(-g.step[1] / 2, g.step[1] / 2));
  e_.z += static_cast<float>(KZ_RandUniform(-g.step[2] / 2, g.step[2] / 2));
  for (int j = 0; j < std::min(s_.nSensors, kAEMaxArrivals); ++j)
    residuals[j] = e_.time[j] - e_.t0 - TravelTime(j);
  e_.count = n;
  return 1;
}

int AELocator::Locate(float* residuals, int startSlot) {
  if (s_.gridSearch == 3 || s_.gridSearch == 5) return LocateGrid(residuals);
  if (s_.shape <= 0) return LocateLSQ(residuals, nullptr, startSlot);
  if (s_.fixX != 0) return LocateFixedX(residuals, nullptr, s_.fixXValue);
  if (s_.fixY != 0) return LocateFixedY(residuals, nullptr, s_.fixYValue);
  return LocateDefault(residuals, nullptr);
}
