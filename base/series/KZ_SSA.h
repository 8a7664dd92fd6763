// Singular spectrum analysis of one series: trajectory matrix of window length M, the
// eigenvectors of its lag-product matrix, one reconstructed component per eigenvector by
// diagonal averaging, and the eigenvalue table or the weighted correlations between the
// components.
#pragma once
#include <cstdint>

#include "numerics/nml_kernels.h"

class KZ_MultiVarObj;

class KZ_SSA {
 public:
  float* m_pData = nullptr;  // copy of the last analysis's samples (owned)
  std::int32_t m_nN = 0;
  std::int32_t m_nM = 0;
  std::int32_t m_nReserved = 0;
  nml_f_complex* m_pEigVal = nullptr;  // M eigenvalues (malloc, owned)
  nml_f_complex* m_pEigVec = nullptr;  // M x M, column k eigenvector k (malloc, owned)

  KZ_SSA() = default;
  virtual ~KZ_SSA();
  KZ_SSA(const KZ_SSA&) = delete;
  KZ_SSA& operator=(const KZ_SSA&) = delete;

  // Analyses x[0..N-1] with window *M (lowered to N/2 - 2 when *M >= N/2) into table:
  // column 0 the index, column 1 the series, columns 2..M+1 the components. Its second
  // table receives the eigenvalue table (eigenReport != 0) or the weighted correlations.
  // A window below 1 (N < 6) leaves everything as it was.
  void Analyse(const float* x, int N, int* M, KZ_MultiVarObj* table, int eigenReport);
  // The eigenvalue table of the last analysis; nothing without one.
  void ShowEigenvalues(KZ_MultiVarObj* table);

 private:
  void Release();
};
