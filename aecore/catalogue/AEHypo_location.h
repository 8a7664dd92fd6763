// Operations of the catalogue engine on its current record: travel times, velocities,
// sensor incidence and event location (through AELocator), the arrivals of the record,
// the calibration events and the velocity inversion from them.
//
// They take the engine as their first argument; each is the engine operation of the
// same name without the "AEHypo_" prefix.
#pragma once
#include <cstdint>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/catalogue/AELocator.h"

// What the location models need of the engine, and the current record as the locator
// works on it (and back).
AELocSetup AEHypo_LocSetup(const CAEHypo& hypo);
AELocEvent AEHypo_ToLocEvent(const AEHRecord& rec);
void AEHypo_FromLocEvent(const AELocEvent& ev, AEHRecord* rec);

float AEHypo_TravelTime(CAEHypo& hypo, int slot);
void AEHypo_TravelTimeDeriv(CAEHypo& hypo, int slot, float* t, float* dx, float* dy, float* dz);
void AEHypo_TravelTimeDerivXZ(CAEHypo& hypo, int slot, float* t, float* dx, float* dz);
void AEHypo_TravelTimeDerivYZ(CAEHypo& hypo, int slot, float* t, float* dy, float* dz);
void AEHypo_TravelTime3(CAEHypo& hypo, int slot, float* t, float* dx, float* dy, float* dz);
void AEHypo_SetVelocityForTime(CAEHypo& hypo);
int AEHypo_GetSensorIncidence(CAEHypo& hypo, int sensor, float* cosIncidence, float* distance);

// Locates the current record; residuals holds m_nSensors entries. 1 located, 0 not.
int AEHypo_Locate(CAEHypo& hypo, float* residuals, int startSlot);
int AEHypo_LocateCurrent(CAEHypo& hypo);
void AEHypo_KeepBySN(AEHRecord* rec, int sensors, float threshold, int* n);
void AEHypo_KeepCurrentBySN(CAEHypo& hypo, float threshold, int* n);
void AEHypo_SwapCurrentArrivals(CAEHypo& hypo, int i, int j);
void AEHypo_GetSensorWeights(CAEHypo& hypo, float* w);

// Arrivals of the current record.
void AEHypo_SetArrival(CAEHypo& hypo, float t, float amp, float rise, float sn, std::uint8_t pol,
                       int k);
void AEHypo_SetArrivals(CAEHypo& hypo, const float t[], const float amp[], const float rise[],
                        const float sn[], const std::uint16_t flags[]);
float AEHypo_GetUDRatio(const CAEHypo& hypo, int* up, int* down);

// Calibration events (at most 32 copies, oldest first) and the velocity inversion.
int AEHypo_AddCalibEvent(CAEHypo& hypo, const AEHRecord* rec);
void AEHypo_ClearCalibEvents(CAEHypo& hypo);
AEHRecord* AEHypo_GetCalibEvent(CAEHypo& hypo, int i);
// Vx, Vy, Vz from the stored calibration events; 0 (out unchanged) when there are none,
// when they give too few equations or when the system has no positive solution.
int AEHypo_InvertVelocity(CAEHypo& hypo, double out[3]);
