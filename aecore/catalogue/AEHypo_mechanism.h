// Focal mechanism of one catalogue record from its first motions (or amplitudes).
#pragma once
#include "aecore/catalogue/AEHypo.h"

// Mechanism of record n (read first when n > -1) or of the current record (n = -1).
// Returns the mechanism type for a fitted shear (1) or moment-tensor (5) solution, else 0.
int AEHypo_FocalMechanism(CAEHypo& hypo, int n);
