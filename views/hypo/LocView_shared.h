// Rules shared by the fault-plane, stereo, slice and first-motion plots of the "Hypo"
// page: the fault-plane frame with its slab test, the event filter, the catalogue records
// read without touching the engine's current record, and a few drawing helpers.
#pragma once
#include <string>

#include "aecore/catalogue/AEEventEntry.h"
#include "aecore/catalogue/AEHRecord.h"
#include "aecore/catalogue/AEHypo.h"
#include "base/types/KZ_Vector3D.h"
#include "platform/CDC.h"
#include "views/hypo/LocView_util.h"

// The fault plane of the parameter file as a frame: normal N, up-dip axis U (R) and
// strike axis T (S), all unit vectors, around the reference point.
struct LocFaultFrame {
  explicit LocFaultFrame(const CAEHypo& h);
  // Signed distance from the plane, strike and up-dip coordinates of a point.
  double Normal(const AEEventEntry& e) const { return Dot(N, e); }
  double S(const AEEventEntry& e) const { return Dot(T, e); }
  double R(const AEEventEntry& e) const { return Dot(U, e); }
  // The slab of half thickness H, its faces included.
  bool InSlab(const AEEventEntry& e, double H) const;

  KZ_Vector3D N, U, T;
  double x0, y0, z0;

 private:
  double Dot(const KZ_Vector3D& v, const AEEventEntry& e) const;
};

// The event filter while walking the list from its head: entries before the window are
// skipped, the first one after it ends the walk.
enum class LocStep { Skip, Use, End };
LocStep LocFilterStep(const AEEventEntry& e, double t0, double t1, const CAEHypo& h);
// The arrival and class tests of the filter without the time window.
bool LocArrivalsAndClass(const AEEventEntry& e, const CAEHypo& h);

// Reads catalogue record `index` into `out` without changing the engine's current record,
// its current index or its messages; false when the record cannot be read.
bool LocReadRecord(CAEHypo& h, int index, AEHRecord* out);
// Share of up first motions among the record's up and down ones; -1 with 8 or fewer.
float LocUDRatio(const AEHRecord& rec);

// The lowest y of a line of text written at y with the DC's current alignment and font.
int LocTextBottom(const plat::CDC* dc, int y);
// The baseline of a line designed to stand on `designed`, moved down when the text above
// it, whose lowest y is `above`, needs the room at the font in use.
int LocBaselineBelow(const plat::CDC* dc, int designed, int above);

// A disc of radius r around the page point (x, y) with the DC's pen and brush.
void LocDisc(plat::CDC* dc, double x, double y, double r);

// Outline pen and brush of the fault-plane plots (the coloured background when asked).
plat::CPen LocOutlinePen();
plat::CBrush LocOutlineBrush(const CAEHypo& h);

// "%s <what>:(x0,y0,z0)->(a,b) H:h" under the fault-plane plots.
std::string LocPlaneText(const CAEHypo& h, const char* what, double a, double b, double H);

// Plot type 7: the x of the left column's centres, far enough right that a whole section
// (radius Rp page units, events up to the air margin beyond it) lies on the page, and the
// x of the colour bar and title right of the second column.
int LocSlicesLeftCentre(int x0, double Rp, double airMargin);
int LocSlicesBarX(int x0, double Rp, double airMargin);
