// Plot types whose renderers are not part of the page yet: they draw nothing.
#include "views/hypo/LocView.h"

void CLocView::DrawPZTMapCylinder(plat::CDC*) {}
void CLocView::DrawPZTMapBox(plat::CDC*) {}
void CLocView::DrawMagFreq(plat::CDC*, int) {}
void CLocView::DrawStereoSpecimen(plat::CDC*) {}
void CLocView::DrawSlices(plat::CDC*) {}
void CLocView::DrawDistanceTime(plat::CDC*, int) {}
void CLocView::DrawSectionPlot(plat::CDC*) {}
void CLocView::DrawSectionByB(plat::CDC*) {}
void CLocView::DrawSectionDensity(plat::CDC*) {}
void CLocView::DrawSectionTime3D(plat::CDC*) {}
void CLocView::DrawCorrelationTime(plat::CDC*) {}
void CLocView::DrawCorrelationRadius(plat::CDC*) {}
void CLocView::DrawUpDownRatio(plat::CDC*) {}
void CLocView::DrawFMDistribution(plat::CDC*, int) {}
void CLocView::DrawFMMeanSolution(plat::CDC*) {}
void CLocView::DrawTernaryDiagram(plat::CDC*) {}
