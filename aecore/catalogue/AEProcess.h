// From a waveform record to a located catalogue event: source parameters (corner
// frequency and magnitudes), picking and location of one event, and its full processing.
// Each function is the waveform record's operation of the same name after "AEWave_"; it
// fills the catalogue engine's current record.
#pragma once

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"

// Fc and the two Mw of the current record; returns the arrivals used (0: none, Fc and Mw 0).
int AEWave_SourceParameters(CAEWave& wave, CAEHypo& hypo);
// Second-order integration of x[0..n-1] in place, w being the sample interval in seconds.
void AEWave_IntegrateSeries(float x[], int n, float w);
// Picks every channel in [start, end] (whole record when both < 1), locates, re-picks the
// channels left out and checks the onsets; the final arrival count, 0 when the waveform
// check fails.
int AEWave_PickAll(CAEWave& wave, CAEHypo& hypo, int start, int end, int check);
// PickAll repeated around the located origin, then source parameters.
int AEWave_ProcessEvent(CAEWave& wave, CAEHypo& hypo, int start, int end, int check);
