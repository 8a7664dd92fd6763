// The bridge between the catalogue engine and its location engine (AELocator): the
// engine's travel-time, location and arrival operations run a locator over the current
// record through these.
#pragma once
#include <cstdint>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/catalogue/AELocator.h"

// What the location models need of the engine, and the current record as the locator
// works on it (and back).
AELocSetup AEHypo_LocSetup(const CAEHypo& hypo);
AELocEvent AEHypo_ToLocEvent(const AEHRecord& rec);
void AEHypo_FromLocEvent(const AELocEvent& ev, AEHRecord* rec);
