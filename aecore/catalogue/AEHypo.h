// The catalogue engine: the experiment's description read from its parameter file, the
// option block that the working sheet edits and the views read, the current catalogue
// record and the open event catalogue. One object lives as long as the document.
#pragma once
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "aecore/catalogue/AEEventEntry.h"
#include "aecore/catalogue/AEHRecord.h"
#include "base/numerics/KZ_Point3D.h"
#include "platform/File.h"

class CAETemplateSet;
class KZ_MultiVarObj;
struct AEWHeader;

constexpr int AEH_MAX_POINTS = 48;  // sensor lines and further points
constexpr int AEH_MAX_FAULT_POINTS = 128;
constexpr int AEH_MAX_FAULTS = 8;
constexpr int AEH_MAX_HOLES = 8;
constexpr int AEH_MAX_VELOCITIES = 200;
constexpr int AEH_MAX_PULSERS = 32;
constexpr int AEH_FOLIATIONS = 9;

// The sensor table and sample geometry of the parameter file. The waveform writers take it
// on its own (sensor positions, signed values and sensitivities).
struct AESensorTable {
  AESensorTable();
  std::string m_strTitle;                  // first line of the parameter file
  std::vector<KZ_Point3D> m_pSensorXYZ;    // 48 sensor (and further point) positions, mm
  std::vector<KZ_Point3D> m_pFaultXYZ;     // 128 fault outline points, faults one after another
  std::vector<float> m_pSensorSign;        // 48 signed values (negative for "-" names)
  std::vector<float> m_pSensorGain;        // 48 sensitivities
  std::vector<float> m_pFaultAz;           // 128 azimuths of the fault points (degrees)
  std::vector<std::string> m_pSensorName;  // 48 names
  std::string m_strFaultName[AEH_MAX_FAULTS];
  int m_nShape = 0;  // 0 cylinder, 1 prism, 4 cube, 10 D-DIA, or as given
  float m_fDiameter = 50.0f;
  float m_fSizeX = 50.0f;
  float m_fSizeY = 50.0f;
  float m_fSizeZ = 100.0f;
  float m_fVelocityAux = 0.0f;       // P velocity of the end pieces
  float m_fSensorReserved = 0.002f;  // carried, not interpreted
  int m_nSensors = 0;                // at most 32
  int m_nParLine5 = 0;
  int m_nParLine6 = 0;
  int m_nParLine4 = 0;
  int m_nExtraPoints1 = 0;
  int m_nExtraPoints2 = 0;
  int m_nVelEntries = 0;
  int m_nFaults = 0;
  int m_nFaultPoints[AEH_MAX_FAULTS] = {};
  int m_nHoles = 0;
  int m_nVelTime[AEH_MAX_VELOCITIES] = {};   // seconds after the reference time
  int m_bVelTimeForm = 0;                    // -1 while every entry read is dated
  float m_fVel[AEH_MAX_VELOCITIES][3] = {};  // Vx, Vy, Vz
};

struct AEFoliation {
  float v[6] = {};
  int n = 0;
};

struct AEHole {
  float x = 0, y = 0, z1 = 0, z2 = 0, d = 0;
};

// The engine holds the sensor table as its base so that the table's members read as the
// engine's own (hypo.m_pSensorXYZ) and the table can be handed to the waveform writers.
class CAEHypo : public AESensorTable {
 public:
  CAEHypo();
  virtual ~CAEHypo();
  CAEHypo(const CAEHypo&) = delete;
  CAEHypo& operator=(const CAEHypo&) = delete;

  // Display options.
  float m_fSampleScale = 0.8f;
  float m_fHypoScale = 40.0f;
  float m_fMinCC = 0.5f;
  float m_fAirMargin = 0.05f;
  int m_nMinArrivals = 8;
  int m_nClassMask = 25;
  int m_nSizeMode = 0;
  int m_nColorMode = 1;
  int m_bTTypeOpen = 1;
  int m_bRandomOrder = 0;  // the working sheet sets it
  int m_bSolidCircles = 1;
  int m_bColorBG = 0;
  int m_bUnselected = 0;
  int m_bEventNumbers = 0;
  int m_nPlotType = 6;
  float m_fDisplayReserved = 0.0f;
  float m_fTTypeRatio = 0.75f;
  float m_fDiffusivity = 0.1f;
  float m_fBMin = 0.5f;
  float m_fBMax = 1.5f;
  std::string m_strDisplayText1;
  std::string m_strDisplayText2;

  // Catalogue and location options.
  std::string m_strParFile;
  int m_nCurAE = 0;
  int m_nAE = 0;
  int m_bFixX = 0, m_bFixY = 0, m_bFixZ = 0;
  float m_fFixX = 0.0f, m_fFixY = 0.0f, m_fFixZ = 0.0f;
  float m_fHDim = 0.52f;
  float m_fMinSN = 2.0001f;
  float m_fMaxRes = 1.0f;
  float m_fMecAcri = 0.1f;
  float m_fCCMin = 0.8f;
  float m_fMwFcWindow = 10.0f;
  float m_fRNormal = 1.0f;
  int m_nITrig = 0;
  int m_nPickStart = 0;
  int m_nPickLength = 1024;
  int m_nNoiseIS = 0;
  int m_nGridSearch = 0;
  int m_nGridX = 20, m_nGridY = 20, m_nGridZ = 20;
  int m_nGridNP = 8;
  int m_nAROrder = 5;
  int m_nCCWindow = 200;
  int m_nCCShift = 10;
  int m_nMecMinFM = 14;
  int m_nMecMinUp = 5;
  int m_nMecMinDown = 8;
  int m_nMecData = 0;
  int m_nMecSensCorr = 1;
  int m_nMwFcSensCorr = 1;
  int m_nLocReserved = 0;
  float m_fFiltOn = 0.0f;
  float m_fFiltLow = 0.1f;
  float m_fFiltHigh = 2.0f;
  float m_fFiltStop = 5.0f;
  float m_fFiltAp = 0.5f;
  float m_fFiltAs = 5.0f;
  float m_fMagFcSlope = -3.3f;
  float m_fMagFcConst = -13.0f;
  static constexpr float kMagMinDefault = -9.0f, kMagMaxDefault = -12.0f;
  float m_fMagMin = kMagMinDefault;
  float m_fMagMax = kMagMaxDefault;
  bool m_bMagLimitsGiven = false;  // the parameter file stated MAG_MIN or MAG_MAX
  float m_fAEOptA = 0.0f;
  float m_fAEOptQ = 0.5f;
  float m_fNoiseTW = 2.0f;
  float m_fNoiseSN = 10.0f;
  CAETemplateSet* m_pTemplates = nullptr;  // the document's set, not owned

  // The current catalogue record.
  AEHRecord m_Rec{};

  // Experiment times (local) and geometry.
  std::tm m_tmStart{};  // "PEAK=" time
  std::tm m_tmRef{};    // origin of the catalogue times
  std::tm m_tmEnd{};
  float m_fStartFrac = 0.0f;
  float m_fRefFrac = 0.0f;
  float m_fFaultX = 0.0f, m_fFaultY = 0.0f, m_fFaultZ = 0.0f;
  float m_fFaultAzimuth = 0.0f, m_fFaultDip = 0.0f;
  float m_fFaultLen = 0.0f, m_fFaultWidth = 0.0f;
  AEFoliation m_Foliation[AEH_FOLIATIONS];
  AEHole m_Holes[AEH_MAX_HOLES];
  int m_PulserSensor[AEH_MAX_PULSERS];
  int m_nPulsers = 0;
  std::vector<std::unique_ptr<AEHRecord>> m_CalibList;  // at most 32 calibration events
  double m_dVCalib[3] = {0.0, 0.0, 0.0};

  // The open catalogue.
  std::unique_ptr<plat::File> m_fpAEH;
  int m_nRecSize = 0;
  short m_nHeaderSize = 0;
  int m_bReadOnly = 0;

  // Catalogue file.
  int GetNumAE();
  int GetAEHHeader(int i, AEHRecord* buffer = nullptr);
  int GetAEH(int nAE, AEHRecord* buffer = nullptr);
  int PutAEH(int nAE, bool checkLock);
  int ConvertAEF(const std::string& oldPath, const std::string& newPath);
  int ConvertAED(const std::string& oldPath, const std::string& newPath);
  // Makes the current record that of event nAE when the catalogue holds none for it yet:
  // all zero (no flags, lock or mechanism of the event shown before) but the index, the
  // date and time of the waveform header when one is given, and sensor indexes 0 .. n - 1.
  void ClearRecord(int nAE, const AEWHeader* header);

  // Parameter file; opens (converts, creates) the catalogue of the same base name unless
  // parametersOnly.
  int LoadPad(const std::string& path, bool parametersOnly);

  // Travel times from the current record's hypocentre to the sensor of an arrival slot:
  // model T, with derivatives, by x and z, by y and z, and model E; the record's
  // velocities for its time; the incidence at a sensor (0 with fewer than 5 arrivals).
  float TravelTime(int slot);
  void TravelTimeDeriv(int slot, float* t, float* dx, float* dy, float* dz);
  void TravelTimeDerivXZ(int slot, float* t, float* dx, float* dz);
  void TravelTimeDerivYZ(int slot, float* t, float* dy, float* dz);
  void TravelTime3(int slot, float* t, float* dx, float* dy, float* dz);
  void SetVelocityForTime();
  int GetSensorIncidence(int sensor, float* cosIncidence, float* distance);

  // Locates the current record; residuals holds m_nSensors entries. 1 located, 0 not.
  int Locate(float* residuals, int startSlot);
  // Locate with a scratch residual buffer; the argument is not used.
  int LocateCurrent(int unused = 0);
  // Moves the slots whose S/N reaches the threshold to the front, in slot order; *n their
  // number. The arrival count is not changed.
  static void KeepBySN(AEHRecord* rec, float threshold, int* n);
  void KeepCurrentBySN(float threshold, int* n);
  // Exchange time, S/N, amplitude, polarity and sensor of two slots (not the rise time).
  static void SwapArrivals(AEHRecord* rec, int i, int j);
  void SwapCurrentArrivals(int i, int j);
  void GetSensorWeights(float* w);

  // Arrivals of the current record; slot k holds sensor k.
  void SetArrival(float t, float amp, float rise, float sn, std::uint8_t pol, int k);
  void SetArrivals(const float t[], const float amp[], const float rise[], const float sn[],
                   const std::uint16_t flags[]);
  float GetUDRatio(int* up, int* down) const;

  // Calibration events (at most 32 copies, oldest first) and the velocity inversion.
  int AddCalibEvent(const AEHRecord* rec);
  void ClearCalibEvents();
  AEHRecord* GetCalibEvent(int i);
  // Vx, Vy, Vz from the stored calibration events; 0 (out unchanged) when there are none,
  // when they give too few equations or when the system has no positive solution.
  int InvertVelocity(double out[3]);

  // Mechanism of record n (read first when n > -1) or of the current record (n = -1).
  // Returns the mechanism type for a fitted shear (1) or moment-tensor (5) solution, else 0.
  int FocalMechanism(int n);

  // Frequency-magnitude statistics of the listed events in [t1, t2] (mode 1: magnitudes
  // from the corner frequency). Returns 30, or 0 with fewer than 10 entries.
  int BValue(int mode, const AEEventList& list, double t1, double t2, int counts[30],
             double* log10N, double* bML, double* relErr, double* a, double* b, double* sigb,
             double* logRate, double* energyRate, double energyExp);
  // The magnitude range [lo, hi] of those statistics: the limits MAG_MIN and MAG_MAX in
  // either order, or, while neither the parameter file nor the caller has changed them from
  // the program's defaults, the range of the magnitudes (of the mode) of the listed events
  // with enough arrivals.
  void MagnitudeWindow(int mode, const AEEventList& list, double* lo, double* hi);
  // hypoDD station and phase files of the window t1 (after the "PEAK=" time) .. t1 + length
  // in a folder the user chooses; the number of events written, 0 when none.
  int WriteHypoDD(double t1, double length);
  // First-motion up/down ratio of each event of [t1, t2] and the class proportions in
  // blocks of n events; the number of rows, 0 with fewer than 10 entries.
  int FillUDRatioSheet(KZ_MultiVarObj* sheet, const AEEventList& list, double t1, double t2, int n);
  // Seconds from the reference time to the "PEAK=" time (whole seconds).
  double PeakOffset() const;

 private:
  int OpenCatalogue(const std::string& parPath);
  int ConvertLegacy(const std::string& oldPath, const std::string& newPath, bool aed);
  void CloseCatalogue();
};
