// One double-couple focal mechanism: its two nodal planes, their normals and slip
// vectors, the P, T and B axes, a mechanism-type number and the position in the
// ternary (normal / thrust / strike-slip) diagram. Frame: x east, y north, z up; angles
// in radians; the strike is clockwise from north with the plane dipping to its right,
// and a positive rake moves the hanging wall up.
#pragma once
#include <cstdint>
#include <string>

#include "base/types/KZ_Vector3D.h"

namespace plat {
class CDC;
}

struct KZ_NodalPlane {
  double strike = 0.0;
  double dip = 0.0;
  double rake = 0.0;
  std::uint16_t Given = 0;  // 1: the plane handed to SetMechanism; 0: a derived plane
};

class KZ_EQMT {
 public:
  // Descriptive block that callers may fill; no operation here reads it.
  std::uint32_t m_nHeader = 0;
  char m_szLabel[40] = {};
  std::int16_t m_nCode = -999;
  char m_szInfo[22] = {};
  double m_fParams[5] = {};
  double m_fScratch[7] = {};
  double m_fValues[6] = {};

  KZ_NodalPlane Plane1;
  KZ_NodalPlane Plane2;
  KZ_Vector3D P;  // pressure axis, unit, z <= 0
  KZ_Vector3D T;  // tension axis, unit, z <= 0
  KZ_Vector3D B;  // null axis, unit
  KZ_Vector3D Normal1;
  KZ_Vector3D Normal2;
  KZ_Vector3D Slip1;
  KZ_Vector3D Slip2;

  std::uint16_t m_nFlag = 1;
  std::int32_t m_nReserved[2] = {};
  float m_fAux[5] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  std::string Name;

  KZ_EQMT() = default;
  virtual ~KZ_EQMT() = default;
  KZ_EQMT(const KZ_EQMT&) = delete;
  KZ_EQMT& operator=(const KZ_EQMT&) = delete;

  // Sets Plane1 (a dip within 0.1 rad of vertical becomes 88.2 degrees), derives Plane2
  // and the vectors, and exchanges the planes when the given rake lies outside
  // [-pi/2, pi/2]. The vectors are not recomputed after the exchange.
  void SetMechanism(double strike, double dip, double rake);
  // Normals, slips and P, T, B from Plane1 and Plane2 as they stand.
  void ComputeAxes();
  // Mechanism type in [-1, 1]: +1 pure thrust, -1 pure normal, 0 pure strike-slip.
  float GetRakeType() const;

  // Drawing into a DC whose y axis points up (+y north, +x east), lower hemisphere in
  // the stereographic projection, in the DC's logical units.
  // The focal sphere of radius R at (cx, cy): mode <= 0 both nodal planes with the P
  // (disc) and T (plus) marks; mode >= 1 only the steeper plane (none for equal dips).
  void DrawBeachBall(plat::CDC* dc, int cx, int cy, int R, int mode);
  // The radiation of component 1 P, 2 SV, 3 SH, 4 S, 5 S/P of Plane1's double couple as
  // 20-unit cells coloured on a -1..1 palette, the beach ball on top, and with bar > 0
  // a vertical colour bar beside it.
  void DrawRadiation(plat::CDC* dc, int cx, int cy, int R, int component, int bar);
};

// Position of a mechanism in the ternary diagram from the plunges of its P, T and B axes
// (radians). With both the P and the T plunge 0 (a vertical B axis) the position is that
// of equal P and T plunges, which is the limit along the diagram's centre line.
void KZ_MechTernaryXY(double plungeP, double plungeT, double plungeB, double* x, double* y);
// Down-dip d, strike s, normal n (upward) and slip u of a plane.
void KZ_PlaneVectors(KZ_NodalPlane plane, KZ_Vector3D* d, KZ_Vector3D* s, KZ_Vector3D* n,
                     KZ_Vector3D* u);
// The other nodal plane of the same double couple (its normal points up or is horizontal).
KZ_NodalPlane KZ_AuxiliaryPlane(const KZ_NodalPlane* plane);
// Angles of a plane from its down-dip vector v, strike vector h and slip vector w (n is
// not used). The strike lies in [-pi/2, 3pi/2); the dip of a horizontal or vertical plane
// is exact (the arc sine's argument is kept within [-1, 1]).
KZ_NodalPlane KZ_PlaneFromVectors(const KZ_Vector3D* v, const KZ_Vector3D* h, const KZ_Vector3D* n,
                                  const KZ_Vector3D* w);
// s, d, n of a plane; a dip of magnitude below 0.01 rad is taken as 0.01.
void KZ_PlaneBasis(double strike, double dip, KZ_Vector3D* s, KZ_Vector3D* d, KZ_Vector3D* n);
// KZ_PlaneBasis and the slip u: s turned by the rake about n.
void KZ_PlaneBasisRake(double strike, double dip, double rake, KZ_Vector3D* s, KZ_Vector3D* d,
                       KZ_Vector3D* n, KZ_Vector3D* u);
