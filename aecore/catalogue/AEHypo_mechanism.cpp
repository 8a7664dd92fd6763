// Focal mechanism of one catalogue record from its first motions (or amplitudes).
#include <cmath>
#include <cstring>

#include "aecore/catalogue/AEHypo.h"
#include "base/numerics/KZ_MecaFit.h"
#include "base/types/KZ_Vector3D.h"

int CAEHypo::FocalMechanism(int n) {
  if (n > -1 && !GetAEH(n)) return 0;
  AEHRecord& r = m_Rec;
  if (r.nArrivals < m_nMecMinFM) {
    r.nMecType = 0;
    return 0;
  }
  const bool amplitudes = m_nMecData == 1;
  KZ_MecaStation st[AEH_MAX_SENSORS];
  int total = 0, up = 0;
  const double deg = 180.0 / M_PI;
  for (int k = 0; k < r.nArrivals && k < AEH_MAX_SENSORS; ++k) {
    int s = r.nSensor[k];
    if (s < 0 || s >= m_nSensors) continue;
    const KZ_Point3D& S = m_pSensorXYZ[s];
    KZ_Vector3D ray(S.x - r.fX, S.y - r.fY, S.z - r.fZ);
    ray.Normalize();
    double phi = 0.0, theta = 0.0;
    ray.GetAxisAngles(&phi, &theta);
    KZ_Vector3D horizontal(S.x, S.y, 0.0);
    horizontal.Normalize();
    double c = KZ_Dot(ray, horizontal);
    KZ_MecaStation o;
    std::strcpy(o.m_cCode, "P");
    o.m_fAzimuth = static_cast<float>(90.0 - phi * deg);
    // The specimen's z axis points up and the fit's down: the ray, folded into the upper
    // hemisphere, leaves the source at 180 degrees minus its polar angle from the
    // downward vertical. Polarities and amplitudes share this geometry; a take-off of the
    // polar angle itself would mirror the rays through the horizontal plane and turn the
    // fitted first-motion pattern by 180 degrees about the vertical.
    o.m_fTakeoff = static_cast<float>(180.0 - theta * deg);
    o.m_fAux = r.fTime[k] - r.fT0;
    o.m_fPolarity = r.nPolarity[k];
    if (amplitudes) {
      float cosA = 0.0f, dist = 0.0f;
      if (!(std::fabs(m_pSensorSign[s]) > 0.1f) || !GetSensorIncidence(s, &cosA, &dist)) continue;
      float amp = r.fAmp[k] * m_pSensorSign[s] * m_pSensorGain[s] * 1e6f * dist;
      if ((m_nMecSensCorr == 1 || m_nMecSensCorr == 2) && cosA != 0.0f) amp /= cosA * cosA;
      o.m_fAmp = amp;
    } else {
      if (r.nPolarity[k] == 0) continue;
      float amp = r.nPolarity[k];
      if (m_nMecSensCorr == 1 && c != 0.0) amp = static_cast<float>(amp / c);
      if (m_nMecSensCorr == 2 && c != 0.0) amp = static_cast<float>(amp / (c * c));
      o.m_fAmp = amp;
    }
    st[total++] = o;
    if (r.nPolarity[k] > 0) ++up;
  }
  if (total < m_nMecMinFM) return 0;
  if (up == total) {
    r.nMecType = 2;
    return 0;
  }
  if (up == 0) {
    r.nMecType = 3;
    return 0;
  }
  if (up < m_nMecMinUp || total - up < m_nMecMinDown) return 0;
  KZ_MecaFit fit;
  if (!amplitudes) {
    float out[3];
    if (fit.FitFirstMotions(st, total, out, m_fMecAcri) >= 0) {
      r.nMecType = 1;
      r.fStrike = out[0];
      r.fDip = out[1];
      r.fRake = out[2];
    } else {
      r.nMecType = 0;
    }
  } else {
    KZ_MecaParam p;
    // The fit's magnitude runs 11 above the record's; the result goes back on the
    // record's scale, so that running the fit again searches around the same value.
    constexpr float kFitOffset = 11.0f;
    float M = r.fMw + kFitOffset;
    KZ_MecaSolution sol = fit.Solve(st, total, &p, M - 1.0f, M + 1.0f);
    if (sol.m_nStatus >= 0) {
      r.nMecType = 5;
      r.fStrike = sol.m_fStrike;
      r.fDip = sol.m_fDip;
      r.fRake = sol.m_fRake;
      r.fMw = p.m_Group[0].m_fValue - kFitOffset;
      r.fIso = p.m_Group[1].m_fValue;
      r.fClvd = p.m_Group[2].m_fValue;
    } else {
      r.nMecType = 0;
    }
  }
  return r.nMecType;
}
