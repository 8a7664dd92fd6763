#include "aecore/catalogue/AEHypo_location.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr int kMaxCalibEvents = 32;
constexpr int kMaxEquations = 1024;
}  // namespace

AELocSetup AEHypo_LocSetup(const CAEHypo& h) {
  AELocSetup s;
  s.nSensors = std::clamp(h.m_nSensors, 0, kAEMaxArrivals);
  for (int i = 0; i < kAEMaxArrivals && i < static_cast<int>(h.m_pSensorXYZ.size()); ++i) {
    s.sensorXYZ[i] = {h.m_pSensorXYZ[i].x, h.m_pSensorXYZ[i].y, h.m_pSensorXYZ[i].z};
    s.sensorSign[i] = h.m_pSensorSign[i];
  }
  s.shape = h.m_nShape;
  s.sizeX = h.m_fSizeX;
  s.sizeY = h.m_fSizeY;
  s.sizeZ = h.m_fSizeZ;
  s.diameter = h.m_fDiameter;
  s.velocityAux = h.m_fVelocityAux;
  s.nVelEntries = std::clamp(h.m_nVelEntries, 0, AEH_MAX_VELOCITIES);
  s.velTime = h.m_nVelTime;
  s.vel = h.m_fVel;
  s.velTimeForm = h.m_bVelTimeForm;
  s.gridSearch = h.m_nGridSearch;
  s.fixX = h.m_bFixX;
  s.fixY = h.m_bFixY;
  s.fixXValue = h.m_fFixX;
  s.fixYValue = h.m_fFixY;
  s.minSN = h.m_fMinSN;
  s.maxRes = h.m_fMaxRes;
  s.hDim = h.m_fHDim;
  s.gridX = h.m_nGridX;
  s.gridY = h.m_nGridY;
  s.gridZ = h.m_nGridZ;
  s.gridNP = h.m_nGridNP;
  s.vCalib = {h.m_dVCalib[0], h.m_dVCalib[1], h.m_dVCalib[2]};
  return s;
}

AELocEvent AEHypo_ToLocEvent(const AEHRecord& r) {
  AELocEvent e;
  e.x = r.fX;
  e.y = r.fY;
  e.z = r.fZ;
  e.t0 = r.fT0;
  e.vx = r.fVx;
  e.vy = r.fVy;
  e.vz = r.fVz;
  e.sec = r.nTimeSec;
  e.count = r.nArrivals;
  std::copy(std::begin(r.fTime), std::end(r.fTime), e.time.begin());
  std::copy(std::begin(r.fSN), std::end(r.fSN), e.sn.begin());
  std::copy(std::begin(r.fAmp), std::end(r.fAmp), e.amp.begin());
  std::copy(std::begin(r.fRise), std::end(r.fRise), e.rise.begin());
  std::copy(std::begin(r.nPolarity), std::end(r.nPolarity), e.pol.begin());
  std::copy(std::begin(r.nSensor), std::end(r.nSensor), e.sensor.begin());
  return e;
}

void AEHypo_FromLocEvent(const AELocEvent& e, AEHRecord* r) {
  r->fX = e.x;
  r->fY = e.y;
  r->fZ = e.z;
  r->fT0 = e.t0;
  r->fVx = e.vx;
  r->fVy = e.vy;
  r->fVz = e.vz;
  r->nArrivals = static_cast<std::int8_t>(std::clamp(e.count, -1, 127));
  std::copy(e.time.begin(), e.time.end(), r->fTime);
  std::copy(e.sn.begin(), e.sn.end(), r->fSN);
  std::copy(e.amp.begin(), e.amp.end(), r->fAmp);
  std::copy(e.rise.begin(), e.rise.end(), r->fRise);
  std::copy(e.pol.begin(), e.pol.end(), r->nPolarity);
  std::copy(e.sensor.begin(), e.sensor.end(), r->nSensor);
}

namespace {
// Runs f on a locator over the engine's current record and writes the record back.
template <class F>
auto WithLocator(CAEHypo& h, F f) {
  AELocSetup s = AEHypo_LocSetup(h);
  AELocEvent e = AEHypo_ToLocEvent(h.m_Rec);
  AELocator loc(s, e);
  auto result = f(loc);
  AEHypo_FromLocEvent(e, &h.m_Rec);
  return result;
}
}  // namespace

float CAEHypo::TravelTime(int slot) {
  return WithLocator(*this, [&](AELocator& l) { return l.TravelTime(slot); });
}

void CAEHypo::TravelTimeDeriv(int slot, float* t, float* dx, float* dy, float* dz) {
  WithLocator(*this, [&](AELocator& l) {
    l.TravelTimeDeriv(slot, t, dx, dy, dz);
    return 0;
  });
}

void CAEHypo::TravelTimeDerivXZ(int slot, float* t, float* dx, float* dz) {
  WithLocator(*this, [&](AELocator& l) {
    l.TravelTimeDerivXZ(slot, t, dx, dz);
    return 0;
  });
}

void CAEHypo::TravelTimeDerivYZ(int slot, float* t, float* dy, float* dz) {
  WithLocator(*this, [&](AELocator& l) {
    l.TravelTimeDerivYZ(slot, t, dy, dz);
    return 0;
  });
}

void CAEHypo::TravelTime3(int slot, float* t, float* dx, float* dy, float* dz) {
  WithLocator(*this, [&](AELocator& l) {
    l.TravelTime3(slot, t, dx, dy, dz);
    return 0;
  });
}

void CAEHypo::SetVelocityForTime() {
  WithLocator(*this, [&](AELocator& l) {
    l.SetVelocityForTime();
    return 0;
  });
}

int CAEHypo::GetSensorIncidence(int sensor, float* cosIncidence, float* distance) {
  return WithLocator(
      *this, [&](AELocator& l) { return l.GetSensorIncidence(sensor, cosIncidence, distance); });
}

int CAEHypo::Locate(float* residuals, int startSlot) {
  return WithLocator(*this, [&](AELocator& l) { return l.Locate(residuals, startSlot); });
}

int CAEHypo::LocateCurrent(int /*unused*/) {
  float scratch[kAEMaxArrivals] = {};
  return Locate(scratch, -1);
}

namespace {
// The S/N selection over the first `slots` slots of a record; its arrival count stays.
void KeepRecordBySN(AEHRecord* rec, int slots, float threshold, int* n) {
  AELocEvent e = AEHypo_ToLocEvent(*rec);
  AELocator::KeepBySN(e, slots, threshold, n);
  std::int8_t count = rec->nArrivals;
  AEHypo_FromLocEvent(e, rec);
  rec->nArrivals = count;
}
}  // namespace

void CAEHypo::KeepBySN(AEHRecord* rec, float threshold, int* n) {
  // Slots past the sensor count hold no S/N in a record that was cleared before filling.
  KeepRecordBySN(rec, AEH_MAX_SENSORS, threshold, n);
}

void CAEHypo::KeepCurrentBySN(float threshold, int* n) {
  KeepRecordBySN(&m_Rec, m_nSensors, threshold, n);
}

void CAEHypo::SwapArrivals(AEHRecord* rec, int i, int j) {
  if (i < 0 || j < 0 || i >= AEH_MAX_SENSORS || j >= AEH_MAX_SENSORS) return;
  AELocEvent e = AEHypo_ToLocEvent(*rec);
  AELocator::SwapArrivals(e, i, j);
  std::int8_t count = rec->nArrivals;
  AEHypo_FromLocEvent(e, rec);
  rec->nArrivals = count;
}

void CAEHypo::SwapCurrentArrivals(int i, int j) { SwapArrivals(&m_Rec, i, j); }

void CAEHypo::GetSensorWeights(float* w) {
  WithLocator(*this, [&](AELocator& l) {
    l.GetSensorWeights(w);
    return 0;
  });
}

void CAEHypo::SetArrival(float t, float amp, float rise, float sn, std::uint8_t pol, int k) {
  if (k < 0 || k >= AEH_MAX_SENSORS) return;
  AEHRecord& r = m_Rec;
  r.fTime[k] = t;
  r.fAmp[k] = amp;
  r.fRise[k] = rise;
  r.fSN[k] = sn;
  r.nPolarity[k] = static_cast<std::int8_t>(pol);
  r.nSensor[k] = static_cast<std::int8_t>(k);
}

void CAEHypo::SetArrivals(const float t[], const float amp[], const float rise[], const float sn[],
                          const std::uint16_t flags[]) {
  int n = std::clamp(m_nSensors, 0, AEH_MAX_SENSORS);
  for (int k = 0; k < n; ++k)
    SetArrival(t[k], amp[k], rise[k], sn[k], static_cast<std::uint8_t>(flags[k] & 0xFF), k);
}

float CAEHypo::GetUDRatio(int* up, int* down) const {
  *up = *down = 0;
  int n = std::clamp(static_cast<int>(m_Rec.nArrivals), 0, AEH_MAX_SENSORS);
  for (int k = 0; k < n; ++k) {
    if (m_Rec.nPolarity[k] > 0) ++*up;
    if (m_Rec.nPolarity[k] < 0) ++*down;
  }
  if (*up + *down > 8) return static_cast<float>(*up) / static_cast<float>(*up + *down);
  return -1.0f;
}

int CAEHypo::AddCalibEvent(const AEHRecord* rec) {
  if (static_cast<int>(m_CalibList.size()) >= kMaxCalibEvents)
    m_CalibList.erase(m_CalibList.begin());
  m_CalibList.push_back(std::make_unique<AEHRecord>(*rec));
  return static_cast<int>(m_CalibList.size()) - 1;
}

void CAEHypo::ClearCalibEvents() { m_CalibList.clear(); }

AEHRecord* CAEHypo::GetCalibEvent(int i) {
  if (i < 0 || i >= static_cast<int>(m_CalibList.size())) return nullptr;
  return m_CalibList[i].get();
}

int CAEHypo::InvertVelocity(double out[3]) {
  if (m_CalibList.empty()) return 0;
  const double H = m_fSizeZ, Ve = m_fVelocityAux;
  // Columns of the system (dx^2, dy^2, dz^2) / R^2 and right sides R^2 / tau^2.
  std::vector<float> col[3], rhs;
  for (auto& recPtr : m_CalibList) {
    AEHRecord& rec = *recPtr;
    int n = 0;
    KeepRecordBySN(&rec, m_nSensors, 4.0f, &n);
    for (int k = 0; k < n && static_cast<int>(rhs.size()) < kMaxEquations; ++k) {
      int s = rec.nSensor[k];
      if (s < 0 || s >= static_cast<int>(m_pSensorXYZ.size())) continue;
      double tau = rec.fTime[k] - rec.fT0;
      if (tau < 3.0) continue;
      const KZ_Point3D& S = m_pSensorXYZ[s];
      double dx = S.x - rec.fX, dy = S.y - rec.fY, dz = S.z - rec.fZ;
      if (std::fabs(S.z) > H / 2) {
        // The ray crosses an end piece: take its time through the end piece off.
        if (std::fabs(rec.fZ) < H / 2 || Ve <= 0.0) continue;
        tau -= (std::fabs(dz) - H) / Ve;
        dz = H;
        if (tau <= 0.0) continue;
      }
      double R2 = dx * dx + dy * dy + dz * dz;
      if (R2 <= 0.0) continue;
      col[0].push_back(static_cast<float>(dx * dx / R2));
      col[1].push_back(static_cast<float>(dy * dy / R2));
      col[2].push_back(static_cast<float>(dz * dz / R2));
      rhs.push_back(static_cast<float>(R2 / (tau * tau)));
    }
  }
  int m = static_cast<int>(rhs.size());
  // Three unknowns need more than a handful of equations to mean anything.
  if (m <= 5) return 0;
  std::vector<float> A;
  for (auto& c : col) A.insert(A.end(), c.begin(), c.end());
  float v2[3];
  if (!AELocator::SolveLeastSquares(A.data(), v2, rhs.data(), m, 3, 1e-6f)) return 0;
  if (!(v2[0] > 0 && v2[1] > 0 && v2[2] > 0)) return 0;
  for (int c = 0; c < 3; ++c) out[c] = std::sqrt(static_cast<double>(v2[c]));
  return 1;
}
