#include "base/numerics/KZ_EQMT.h"

#include <algorithm>
#include <cmath>

#include "base/numerics/KZ_Transform3D.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

KZ_Vector3D Unit(KZ_Vector3D v) {
  v.Normalize();
  return v;
}

}  // namespace

void KZ_PlaneVectors(KZ_NodalPlane plane, KZ_Vector3D* d, KZ_Vector3D* s, KZ_Vector3D* n,
                     KZ_Vector3D* u) {
  const double sf = std::sin(plane.strike), cf = std::cos(plane.strike);
  const double sd = std::sin(plane.dip), cd = std::cos(plane.dip);
  const double sl = std::sin(plane.rake), cl = std::cos(plane.rake);
  const KZ_Vector3D sv(sf, cf, 0.0);
  const KZ_Vector3D dv(cf * cd, -sf * cd, -sd);
  if (s) *s = sv;
  if (d) *d = dv;
  if (n) *n = KZ_Cross(dv, sv);
  if (u)
    *u = Unit(KZ_Vector3D(cl * sv.x - sl * dv.x, cl * sv.y - sl * dv.y, cl * sv.z - sl * dv.z));
}

KZ_NodalPlane KZ_PlaneFromVectors(const KZ_Vector3D* v, const KZ_Vector3D* h, const KZ_Vector3D*,
                                  const KZ_Vector3D* w) {
  KZ_NodalPlane p;
  p.strike = kPi / 2 - std::atan2(h->y, h->x);
  p.dip = std::asin(std::clamp(-v->z, -1.0, 1.0));
  p.rake = std::atan2(-KZ_Dot(*v, *w), KZ_Dot(*h, *w));
  p.Given = 0;
  return p;
}

KZ_NodalPlane KZ_AuxiliaryPlane(const KZ_NodalPlane* plane) {
  KZ_Vector3D s, d, n, u;
  KZ_PlaneVectors(*plane, &d, &s, &n, &u);
  KZ_Vector3D n2 = u, u2 = n;
  if (u.z < 0.0) {
    n2 = KZ_Vector3D(-u.x, -u.y, -u.z);
    u2 = KZ_Vector3D(-n.x, -n.y, -n.z);
  }
  const KZ_Vector3D h = Unit(KZ_Vector3D(-n2.y, n2.x, 0.0));
  KZ_Vector3D v = h;
  KZ_Transform3D rot;
  rot.SetRotation(n2, static_cast<float>(-kPi / 2));
  rot.Apply(v);
  v.Normalize();
  KZ_NodalPlane r = KZ_PlaneFromVectors(&v, &h, &n2, &u2);
  r.Given = 0;
  return r;
}

void KZ_EQMT::SetMechanism(double strike, double dip, double rake) {
  Plane1.strike = strike;
  Plane1.dip = std::fabs(dip - kPi / 2) < 0.1 ? 1.5393804002589986 : dip;
  Plane1.rake = rake;
  Plane1.Given = 1;
  Plane2 = KZ_AuxiliaryPlane(&Plane1);
  ComputeAxes();
  Plane2.Given = 0;
  if (Plane1.rake < -kPi / 2 || Plane1.rake > kPi / 2) std::swap(Plane1, Plane2);
}

void KZ_EQMT::ComputeAxes() {
  KZ_PlaneVectors(Plane1, nullptr, nullptr, &Normal1, &Slip1);
  KZ_PlaneVectors(Plane2, nullptr, nullptr, &Normal2, &Slip2);
  B = KZ_Cross(Normal1, Normal2);
  T = Unit(KZ_Vector3D(Normal1.x + Slip1.x, Normal1.y + Slip1.y, Normal1.z + Slip1.z));
  // Axes point downward; a horizontal axis whose z is only rounding noise keeps its sign.
  constexpr double kLevel = 1e-12;
  if (T.z > kLevel) T = KZ_Vector3D(-T.x, -T.y, -T.z);
  P = Unit(KZ_Vector3D(Normal1.x - Slip1.x, Normal1.y - Slip1.y, Normal1.z - Slip1.z));
  if (P.z > kLevel) P = KZ_Vector3D(-P.x, -P.y, -P.z);
}

float KZ_EQMT::GetRakeType() const {
  auto fold = [](float r) {
    return std::fabs(r) > 90.0f ? std::copysign(180.0f - std::fabs(r), r) : r;
  };
  const float r1 = fold(static_cast<float>(Plane1.rake * 180.0 / kPi));
  const float r2 = fold(static_cast<float>(Plane2.rake * 180.0 / kPi));
  return (std::fabs(r1) < std::fabs(r2) ? r1 : r2) / 90.0f;
}

void KZ_MechTernaryXY(double p, double t, double b, double* x, double* y) {
  const double a = 0.6154030942532006;
  const double sp = std::sin(p), st = std::sin(t);
  const double z = (sp == 0.0 && st == 0.0) ? 0.0 : std::atan2(st, sp) - kPi / 4;
  const double K =
      1.0 / (3.0 * (std::sin(a) * std::sin(b) + std::cos(a) * std::cos(b) * std::cos(z)));
  *x = (2.0 / 3.0) * std::sqrt(2.0) * std::cos(b) * std::sin(z) * K +
       (st * st - sp * sp) / (3.0 * std::sqrt(3.0));
  const double sb = std::sin(b);
  *y = (2.0 / 3.0) * std::sqrt(2.0) * (std::cos(a) * sb - std::sin(a) * std::cos(b) * std::cos(z)) *
           K +
       (sb * sb - 1.0 / 3.0) / 3.0;
}

void KZ_PlaneBasis(double strike, double dip, KZ_Vector3D* s, KZ_Vector3D* d, KZ_Vector3D* n) {
  if (std::fabs(dip) < 0.01) dip = 0.01;
  KZ_NodalPlane pl;
  pl.strike = strike;
  pl.dip = dip;
  KZ_PlaneVectors(pl, d, s, n, nullptr);
}

void KZ_PlaneBasisRake(double strike, double dip, double rake, KZ_Vector3D* s, KZ_Vector3D* d,
                       KZ_Vector3D* n, KZ_Vector3D* u) {
  KZ_PlaneBasis(strike, dip, s, d, n);
  *u = *s;
  KZ_Transform3D rot;
  rot.SetRotation(*n, static_cast<float>(rake));
  rot.Apply(*u);
  u->Normalize();
}
