// Focal mechanisms from what the sensors recorded: the moment tensor of a mechanism with
// isotropic and CLVD fractions, its radiation in a direction, and three fits: all double
// couples that agree with the first motions, a misfit grid search over polarities and S/P
// ratios, and a nested search for magnitude, isotropic and CLVD fractions by amplitudes.
// Frame: x north, y east, z down; angles in degrees; take-off angles from the downward
// vertical.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One observation. Phase code: first character 'P' selects the P amplitude, otherwise a
// second character 'v' selects SV and any other SH. A second character 'P' marks an S/P
// ratio record (for Solve only the code "SP").
struct KZ_MecaStation {
  char m_cCode[4] = {};
  float m_fAux = 0.0f;
  float m_fPolarity = 0.0f;  // sign: up, down, 0 none
  float m_fAmp = 0.0f;       // amplitude, or the observed S/P ratio of a ratio record
  float m_fAzimuth = 0.0f;   // source to sensor
  float m_fTakeoff = 0.0f;
};

// One searched quantity of Solve.
struct KZ_MecaParamGroup {
  float m_fValue = 0.0f;  // out: the result
  float m_fError = 0.0f;  // out: 2 h^2 / f'' of the final parabola, 0 when not searched
  float m_fLower = 0.0f;
  float m_fUpper = 0.0f;
  float m_fStep = 0.0f;
};

// Magnitude, isotropic fraction and CLVD fraction, in this order.
struct KZ_MecaParam {
  KZ_MecaParamGroup m_Group[3];
};
static_assert(sizeof(KZ_MecaParam) == 60);

struct KZ_MecaSolution {
  float m_fStrike = 0.0f;
  float m_fDip = 0.0f;
  float m_fRake = 0.0f;
  // Second derivatives of the misfit per degree squared: strike^2, dip^2, rake^2,
  // strike-dip, strike-rake, dip-rake; 1.0 each when not refined.
  double m_fCurv[6] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  double m_fMisfit = 0.0;
  std::int32_t m_nMinima = 0;
  std::int32_t m_nMinimum[10] = {};
  std::int32_t m_nStatus = -1;  // -1: failure; otherwise the grid-minimum search's status
};

// Strike, dip and rake of a grid: counts, first values and steps, and nS nD nR work cells
// (strike fastest, rake slowest).
struct KZ_MecaGrid {
  int nS = 0, nD = 0, nR = 0;
  float s0 = 0.0f, d0 = 0.0f, r0 = 0.0f;
  float dS = 0.0f, dD = 0.0f, dR = 0.0f;
  double* work = nullptr;
};

// Symmetric moment tensor (row-major 3 x 3) of a unit double couple with isotropic and
// CLVD fractions iso and clvd (the three parts have equal norm).
void MomentTensorFromAngles(double iso, double clvd, double strike, double dip, double rake,
                            double M[9]);
// r' M e along the ray of take-off and azimuth for type 1 (P, e = r), 2 (SV), 3 (SH); 0 for
// any other type.
double RadiationAmplitude(const double M[9], double takeoff, double azimuth, int type);
// Writes a misfit grid as a ".lm3" file with the 28-byte header (codes 20, 37, 3, the three
// counts, three 1000.0 scales), then misfit x 10000 truncated to unsigned 16 bits per cell
// (cells without a misfit, and larger values, are written as 65535). false when the file
// cannot be opened or written.
bool KZ_WriteMecaGridFile(const std::string& path, const double grid[], int n1, int n2, int n3);

// The grid search's misfit grid: 72 strikes (5 degrees) x 36 dips (2.5 degrees) x 72 rakes
// (5 degrees), strike outermost and rake innermost, FLT_MAX where no station counts.
// Polarity records weighed by phase are counted with a fast exact fill; exhaustive, or with
// S/P ratio records or amplitude weights, every cell weighs every station in turn.
void KZ_MecaMisfitGrid(const KZ_MecaStation st[], int n, float threshold, double grid[],
                       bool exhaustive);

class KZ_MecaFit {
 public:
  KZ_MecaFit() = default;
  virtual ~KZ_MecaFit() = default;
  KZ_MecaFit(const KZ_MecaFit&) = delete;
  KZ_MecaFit& operator=(const KZ_MecaFit&) = delete;

  // Every double couple of the 4/3/4 degree grid that no polarity contradicts; out = the
  // mean strike, dip and rake of those within 90 degrees of the first one's strike.
  // Returns their number, or -1 when none agrees (out then holds 356, 0, 356).
  int FitFirstMotions(const KZ_MecaStation st[], int n, float out[3], float threshold);
  // Weighted polarity and S/P misfit on the 5/2.5/5 degree grid, refined around its best
  // minimum; writes the grid to m_strGridFile when one is named and can be opened. Cells
  // without a usable station carry no misfit and are passed over. Returns the grid-minimum
  // search's status (0: clean minimum; 1 with *misfit = -1: no minimum).
  int GridSearch(const KZ_MecaStation st[], int n, float out[3], double* misfit, double curv[6],
                 float threshold);
  // Magnitude between lo and hi, isotropic and CLVD fractions and the best double couple
  // of a strike/dip grid (rake 180) by least-squares amplitudes, polarities and S/P ratios.
  // p receives the values and their errors.
  KZ_MecaSolution Solve(const KZ_MecaStation st[], int n, KZ_MecaParam* p, float lo, float hi);
  // The nested search of Solve: level 0 searches the grid, level L > 0 walks group L - 1.
  KZ_MecaSolution Refine(int level, const KZ_MecaStation st[], int n, KZ_MecaParam* p,
                         KZ_MecaGrid grid, int refine);

  // The grid file of GridSearch (a ".lm3" file); empty: the grid is not written.
  std::string m_strGridFile;

 private:
  // Kept texts and buffer of the object; nothing in the fits uses them.
  std::string m_strText[4];
  std::vector<double> m_Buffer;
};
