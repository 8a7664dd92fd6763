#include "base/series/KZ_SSA.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/series/KZ_MultiVarObj.h"
#include "numerics/nml_eig.h"
#include "numerics/nml_matmul.h"
#include "platform/Strings.h"

KZ_SSA::~KZ_SSA() {
  Release();
  delete[] m_pData;
}

void KZ_SSA::Release() {
  std::free(m_pEigVal);
  std::free(m_pEigVec);
  m_pEigVal = nullptr;
  m_pEigVec = nullptr;
}

void KZ_SSA::Analyse(const float* x, int N, int* M, KZ_MultiVarObj* table, int eigenReport) {
  if (!x || !M || !table) return;
  int m = *M;
  if (m >= N / 2) m = N / 2 - 2;
  if (m < 1) return;
  *M = m;
  const int K = N - m;

  delete[] m_pData;
  m_pData = new float[static_cast<std::size_t>(N)];
  std::copy(x, x + N, m_pData);
  m_nN = N;
  m_nM = m;

  // Lag products Q = X X^T of the trajectory matrix X[i][j] = x[i + j] (m x K).
  std::vector<float> traj(static_cast<std::size_t>(m) * K);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < K; ++j) traj[static_cast<std::size_t>(i) * K + j] = x[i + j];
  float* xt = nml_f_mat_mul_rect("trans(A)", NML_A_MATRIX, m, K, traj.data(), 0);
  float* q =
      xt ? nml_f_mat_mul_rect("A*B", NML_A_MATRIX, m, K, traj.data(), NML_B_MATRIX, K, m, xt, 0)
         : nullptr;
  std::free(xt);
  std::vector<float>().swap(traj);
  Release();
  if (q) m_pEigVal = nml_f_eig_gen(m, q, NML_EIGENVECTORS, &m_pEigVec, 0);
  std::free(q);
  if (!m_pEigVal || !m_pEigVec) {
    Release();
    return;
  }

  table->SetSize(m + 4, N);
  table->m_nColumns = m + 2;
  double** c = table->m_ppData.data();
  for (int i = 0; i < N; ++i) {
    c[0][i] = i;
    c[1][i] = x[i];
  }
  table->m_Columns[0].SetAll(N, 0.0, N, "i", " ", KZ_AXIS_X);
  table->m_Columns[1].SetAll(N, 0.0, 100.0, "F(i)", " ", KZ_AXIS_Y);

  std::vector<float> e(static_cast<std::size_t>(m)), a(static_cast<std::size_t>(N));
  for (int k = 0; k < m; ++k) {
    for (int j = 0; j < m; ++j) e[j] = m_pEigVec[static_cast<std::size_t>(j) * m + k].re;
    for (int i = 0; i < N; ++i) {
      float s = 0.0f;
      const int top = std::min(m, N - i);
      for (int j = 0; j < top; ++j) s += x[i + j] * e[j];
      a[i] = s;
    }
    double* y = c[k + 2];
    for (int i = 0; i < N; ++i) {
      // Terms a(i - j) e_j over the j for which sample i lies in column i - j of X.
      const int j0 = std::max(0, i - N + m), j1 = std::min(i, m - 1);
      const int w = i < m ? i + 1 : (i < N - m ? m : N - i);
      float s = 0.0f;
      for (int j = j0; j <= j1; ++j) s += a[i - j] * e[j];
      y[i] = s / static_cast<float>(w);
    }
    table->m_Columns[k + 2].SetAll(N, 0.0, 100.0, plat::Format("F~(i)|k=%d", k + 1), " ",
                                   KZ_AXIS_Y);
  }
  table->m_strHeader[0] = "SSA component";
  table->m_nHeaders = 1;

  if (!table->m_pSubTable) table->m_pSubTable = std::make_unique<KZ_MultiVarObj>();
  KZ_MultiVarObj* sub = table->m_pSubTable.get();
  if (eigenReport) {
    ShowEigenvalues(sub);
    return;
  }
  sub->SetSize(m + 1, m);
  sub->m_nColumns = m + 1;
  sub->m_HValues.assign(std::max<std::size_t>(sub->m_HValues.size(), static_cast<std::size_t>(m)),
                        0.0);
  for (int i = 0; i < m; ++i) sub->m_HValues[i] = i + 1;
  sub->m_pHVar = std::make_unique<KZ_Var1D>();
  sub->m_pHVar->Attach("i", "", sub->m_HValues.data(), nullptr, m, 0, 0.0, m, 1.0, 0, 0);
  sub->m_pHVar->SetAll(m, 0.0, m, "i", "", KZ_AXIS_X);
  double** r = sub->m_ppData.data();
  for (int l = 0; l < m; ++l) r[0][l] = l;
  sub->m_Columns[0].SetAll(m, 0.0, m, "i", " ", 0);
  std::vector<double> norm(static_cast<std::size_t>(m), 0.0);
  auto weight = [&](int i) { return static_cast<double>(std::min({i + 1, m, N - i})); };
  for (int k = 0; k < m; ++k)
    for (int i = 0; i < N; ++i) norm[k] += weight(i) * c[k + 2][i] * c[k + 2][i];
  for (int k = 0; k < m; ++k) {
    for (int l = 0; l < m; ++l) {
      double s = 0.0;
      for (int i = 0; i < N; ++i) s += weight(i) * c[k + 2][i] * c[l + 2][i];
      r[k + 1][l] = static_cast<float>(s / std::sqrt(norm[k] * norm[l]));
    }
    sub->m_Columns[k + 1].SetAll(m, 0.0, 1.0, plat::Format("F~|k=%d", k + 1), " ", 0);
  }
}

void KZ_SSA::ShowEigenvalues(KZ_MultiVarObj* table) {
  if (!table || !m_pEigVal || m_nM < 1) return;
  const int m = m_nM;
  table->SetSize(6, m);
  table->m_nColumns = 4;
  double total = 0.0;
  for (int k = 0; k < m; ++k) total += m_pEigVal[k].re;
  double** c = table->m_ppData.data();
  double cum = 0.0;
  for (int k = 0; k < m; ++k) {
    c[0][k] = k;
    c[1][k] = m_pEigVal[k].re;
    c[2][k] = 100.0 * m_pEigVal[k].re / total;
    cum += c[2][k];
    c[3][k] = cum;
  }
  table->m_Columns[0].SetAll(m, 0.0, m, "Order", " ", KZ_AXIS_X);
  table->m_Columns[1].SetAll(m, 0.001, 10000.0, "Lmd(k)", " ", KZ_AXIS_Y);
  table->m_Columns[2].SetAll(m, 0.0, 100.0, "Contrib(%)", " ", KZ_AXIS_Y);
  table->m_Columns[3].SetAll(m, 0.0, 100.0, "Comul. Contrib(%)", " ", KZ_AXIS_Y);
  table->m_strHeader[0] = "Eigen values of SSA";
  table->m_nHeaders = 1;
}
