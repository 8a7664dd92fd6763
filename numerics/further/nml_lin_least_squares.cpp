// Linear least squares by QR in both precisions: nml_l2qrr and the public routines with
// their options, argument tests, conversions of the caller's row-ordered arrays and the
// hand-out of the optional results.
#include "numerics/further/nml_lin_least_squares.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>

#include "numerics/further/nml_row_order.h"
#include "numerics/nml_kernels.h"
#include "numerics/nml_nlsq.h"

namespace {

inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }

bool Failed() { return nml_error_current_type() >= NML_FATAL; }

template <class T>
void L2qrr(int m, int n, T* a, int lda, const T* b, T tol, T* x, T* res, int* rank, T* qr, T* qraux,
           int* ipvt, T* work) {
  nml::NameScope scope("nml_l2qrr");
  if (m < 1 || n < 1) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 3089);
    return;
  }
  if (lda < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, lda);
    nml_error_post(NML_TERMINAL, 3090);
    return;
  }
  const int pivot = 1;
  L2RRR(&m, &n, a, &lda, &pivot, ipvt, qr, &m, qraux, qraux, work);
  if (Failed()) return;
  int k = 0;
  const T r11 = std::fabs(qr[0]);
  for (int p = 1; p <= std::min(m, n); ++p) {
    if (!(std::fabs(qr[(p - 1) + static_cast<long>(p - 1) * m]) > tol * r11)) break;
    k = p;
  }
  if (k > 0) {
    const int job = 110;
    nml_lqrsl(&m, &k, qr, &m, qraux, b, &job, static_cast<T*>(nullptr), res, x, res,
              static_cast<T*>(nullptr));
    if (Failed()) return;
  } else {
    std::copy(b, b + m, res);
  }
  std::fill(x + k, x + n, T(0));
  const int back = 2;
  l_permu(&n, x, ipvt, &back, x);
  *rank = k;
}

enum class Out { None, New, User };

template <class T>
struct Request {
  int aCol = -1, qrCol = -1, qCol = -1;
  Out factor = Out::None;
  T** pQraux = nullptr;
  T** pQr = nullptr;
  T* qraux = nullptr;
  T* qr = nullptr;
  bool factorOnly = false, solveOnly = false;
  bool hasRank = false;
  T tol = std::sqrt(Mach(T(), 4));
  int* rank = nullptr;
  int* ipvt = nullptr;
  bool hasPivot = false;
  Out res = Out::None;
  T** pRes = nullptr;
  T* uRes = nullptr;
  Out q = Out::None;
  T** pQ = nullptr;
  T* uQ = nullptr;
  bool returnUser = false;
  T* uX = nullptr;
};

void PostDim(int code, int m, int dim) {
  nml_error_set_int(1, m);
  nml_error_set_int(2, dim);
  nml_error_post(NML_TERMINAL, code);
}

// Reads the options and tests the arguments; false when the call must end.
template <class T>
bool ReadRequest(int m, int n, const T* a, const T* b, nml::OptionReader& opt, Request<T>* q) {
  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case NML_A_COL_DIM:
        q->aCol = opt.Int();
        break;
      case NML_FACTOR:
        q->factor = Out::New;
        q->pQraux = opt.Pointer<T*>();
        q->pQr = opt.Pointer<T*>();
        if (!q->pQraux) nml::PostNullArgument(104, "qraux", "NML_FACTOR");
        if (!q->pQr) nml::PostNullArgument(105, "qr", "NML_FACTOR");
        break;
      case NML_QR_COL_DIM:
        q->qrCol = opt.Int();
        break;
      case NML_FACTOR_ONLY:
        q->factorOnly = true;
        break;
      case NML_SOLVE_ONLY:
        q->solveOnly = true;
        break;
      case NML_FACTOR_USER:
        q->factor = Out::User;
        q->qraux = opt.Pointer<T>();
        q->qr = opt.Pointer<T>();
        if (!q->qraux) nml::PostNullArgument(104, "qraux", "NML_FACTOR_USER");
        if (!q->qr) nml::PostNullArgument(105, "qr", "NML_FACTOR_USER");
        break;
      case NML_TOL_AND_RANK:
        q->hasRank = true;
        q->tol = static_cast<T>(opt.Real());
        q->rank = opt.Pointer<int>();
        if (!q->rank) nml::PostNullArgument(104, "rank", "NML_TOL_AND_RANK");
        break;
      case NML_TOL_AND_RANK_ADR: {
        q->hasRank = true;
        const T* tol = opt.Pointer<T>();
        q->rank = opt.Pointer<int>();
        if (tol) q->tol = *tol;
        if (!tol) nml::PostNullArgument(104, "tol", "NML_TOL_AND_RANK_ADR");
        if (!q->rank) nml::PostNullArgument(104, "rank", "NML_TOL_AND_RANK_ADR");
        break;
      }
      case NML_PIVOT:
        q->hasPivot = true;
        q->ipvt = opt.Pointer<int>();
        if (!q->ipvt) nml::PostNullArgument(104, "ipvt", "NML_PIVOT");
        break;
      case NML_RESIDUAL:
        q->res = Out::New;
        q->pRes = opt.Pointer<T*>();
        if (!q->pRes) nml::PostNullArgument(104, "res", "NML_RESIDUAL");
        break;
      case NML_RESIDUAL_USER:
        q->res = Out::User;
        q->uRes = opt.Pointer<T>();
        if (!q->uRes) nml::PostNullArgument(104, "res", "NML_RESIDUAL_USER");
        break;
      case NML_Q:
        q->q = Out::New;
        q->pQ = opt.Pointer<T*>();
        if (!q->pQ) nml::PostNullArgument(105, "q", "NML_Q");
        break;
      case NML_Q_USER:
        q->q = Out::User;
        q->uQ = opt.Pointer<T>();
        if (!q->uQ) nml::PostNullArgument(105, "q", "NML_Q_USER");
        break;
      case NML_Q_COL_DIM:
        q->qCol = opt.Int();
        break;
      case NML_RETURN_USER:
        q->returnUser = true;
        q->uX = opt.Pointer<T>();
        if (!q->uX) nml::PostNullArgument(104, "x", "NML_RETURN_USER");
        break;
      default:
        // The words after an unknown code cannot be read safely: the walk ends here.
        nml_error_set_int(1, code);
        nml_error_set_int(2, opt.Position());
        nml_error_post(NML_TERMINAL, 11001);
        return false;
    }
  }
  if (q->aCol == -1) q->aCol = n;
  if (q->qrCol == -1) q->qrCol = n;
  if (q->qCol == -1) q->qCol = m;
  if (!a && !q->solveOnly) {
    nml_error_set_string(1, "a");
    nml_error_post(NML_TERMINAL, 150);
  }
  if (!b && !q->factorOnly) {
    nml_error_set_string(1, "b");
    nml_error_post(NML_TERMINAL, 150);
  }
  if (m < 1 || n < 1) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 3089);
  }
  if (q->aCol < n) PostDim(1021, m, q->aCol);
  if (q->qrCol < n) PostDim(1022, m, q->qrCol);
  if (q->qCol < m) PostDim(1023, m, q->qCol);
  if (q->factorOnly && q->solveOnly) nml_error_post(NML_TERMINAL, 1096);
  if (nml_error_code(0) != 0) return false;
  if (q->factorOnly && q->factor == Out::None) nml_error_post(NML_TERMINAL, 1025);
  if (q->solveOnly && !q->hasRank) nml_error_post(NML_TERMINAL, 1028);
  if (q->solveOnly && q->factor != Out::User) nml_error_post(NML_TERMINAL, 1027);
  return nml_error_code(0) == 0;
}

using nml::ToColumns;
using nml::ToRows;

template <class T>
class Solver {
 public:
  Solver(int m, int n, T* a, T* b, const Request<T>& q) : m_(m), n_(n), a_(a), b_(b), q_(q) {}

  T* Run() {
    if (q_.solveOnly) {
      SolveOnly();
    } else {
      FactorAndSolve();
    }
    if (q_.q != Out::None) FormQ();
    return Finish();
  }

 private:
  template <class U>
  U* Alloc(long count, int code) {
    if (failed_) return nullptr;
    U* p = static_cast<U*>(std::calloc(static_cast<std::size_t>(std::max(count, 1L)), sizeof(U)));
    if (!p) {
      nml_error_set_string(1, "n");
      nml_error_set_int(1, n_);
      nml_error_post(NML_TERMINAL, code);
      failed_ = true;
    }
    return p;
  }
  bool Check() {
    if (Failed()) failed_ = true;
    return !failed_;
  }
  // The factor arrays: the caller's (wider ones converted to columns first, so that their
  // extra columns survive) or new ones.
  void FactorArrays() {
    if (q_.factor == Out::User) {
      qr_ = q_.qr;
      qraux_ = q_.qraux;
      ToColumns(m_, q_.qrCol, qr_);
      qrCols_ = true;
    } else {
      qr_ = Alloc<T>(static_cast<long>(m_) * q_.qrCol, 200);
      qraux_ = Alloc<T>(n_, 200);
      ownFactor_ = true;
    }
  }
  void SolutionArrays() {
    x_ = q_.returnUser ? q_.uX : Alloc<T>(n_, 200);
    res_ = q_.res == Out::User ? q_.uRes : Alloc<T>(m_, 200);
  }

  void FactorAndSolve() {
    ToColumns(m_, q_.aCol, a_);
    FactorArrays();
    ipvt_ = q_.hasPivot ? q_.ipvt : (ownPivot_ = Alloc<int>(n_, 200));
    T* work = Alloc<T>(2L * n_ - 1, 200);
    if (q_.factorOnly) {
      int rank = 0;
      if (!failed_) {
        const int pivot = 1;
        L2RRR(&m_, &n_, a_, &m_, &pivot, ipvt_, qr_, &m_, qraux_, qraux_, work);
        if (Check()) {
          const T r11 = std::fabs(qr_[0]);
          for (int p = 1; p <= std::min(m_, n_); ++p) {
            if (!(std::fabs(qr_[(p - 1) + static_cast<long>(p - 1) * m_]) > q_.tol * r11)) break;
            rank = p;
          }
        }
      }
      if (q_.hasRank) *q_.rank = rank;
    } else {
      SolutionArrays();
      if (!failed_) {
        int rank = 0;
        L2qrr(m_, n_, a_, m_, b_, q_.tol, x_, res_, &rank, qr_, qraux_, ipvt_, work);
        if (Check() && q_.hasRank) *q_.rank = rank;
      }
      solved_ = true;
    }
    std::free(work);
    ToRows(m_, q_.aCol, a_);
  }

  void SolveOnly() {
    T* qtb = Alloc<T>(m_, 200);
    SolutionArrays();
    if (!failed_) {
      qr_ = q_.qr;
      qraux_ = q_.qraux;
      ToColumns(m_, q_.qrCol, qr_);
      qrCols_ = true;
      int rank = *q_.rank;
      const int job = q_.res != Out::None ? 110 : 100;
      nml_lqrsl(&m_, &rank, qr_, &m_, qraux_, b_, &job, static_cast<T*>(nullptr), qtb, x_,
                job == 110 ? res_ : static_cast<T*>(nullptr), static_cast<T*>(nullptr));
      if (Check()) {
        std::fill(x_ + std::clamp(rank, 0, n_), x_ + n_, T(0));
        if (q_.hasPivot) {
          const int back = 2;
          l_permu(&n_, x_, q_.ipvt, &back, x_);
          Check();
        }
      }
      solved_ = true;
    }
    std::free(qtb);
  }

  void FormQ() {
    if (failed_) return;
    T* q = q_.q == Out::User ? q_.uQ : Alloc<T>(static_cast<long>(m_) * q_.qCol, 1029);
    T* work = Alloc<T>(2L * m_, 1029);
    if (!failed_) {
      if (q_.q == Out::User && q_.qCol > m_) ToColumns(m_, q_.qCol, q);
      l_l2err(&m_, &n_, qr_, &m_, qraux_, q, &m_, work);
      ToRows(m_, q_.qCol, q);
      Check();
    }
    std::free(work);
    if (q_.q == Out::New) {
      if (!failed_) {
        for (long r = 0; r < m_; ++r)
          for (int c = m_; c < q_.qCol; ++c) q[r * q_.qCol + c] = T(0);
        *q_.pQ = q;
      } else {
        std::free(q);
      }
    }
  }

  T* Finish() {
    if (q_.res == Out::New) {
      if (!failed_ && solved_) {
        *q_.pRes = res_;
      } else {
        if (!failed_) *q_.pRes = nullptr;  // factor only: no residual computed
        std::free(res_);
      }
    } else if (q_.res == Out::None) {
      std::free(res_);
    }
    if (ownFactor_) {
      if (!failed_ && q_.factor == Out::New) {
        for (long i = static_cast<long>(m_) * n_; i < static_cast<long>(m_) * q_.qrCol; ++i)
          qr_[i] = T(0);
        ToRows(m_, q_.qrCol, qr_);
        *q_.pQr = qr_;
        *q_.pQraux = qraux_;
      } else {
        std::free(qr_);
        std::free(qraux_);
      }
    }
    if (qrCols_) ToRows(m_, q_.qrCol, qr_);
    std::free(ownPivot_);
    if (failed_ || !solved_) {
      if (!q_.returnUser) std::free(x_);
      return failed_ ? nullptr : (q_.returnUser ? q_.uX : nullptr);
    }
    return x_;
  }

  int m_, n_;
  T* a_;
  T* b_;
  const Request<T>& q_;
  bool failed_ = false, solved_ = false, ownFactor_ = false, qrCols_ = false;
  T* qr_ = nullptr;
  T* qraux_ = nullptr;
  int* ipvt_ = nullptr;
  int* ownPivot_ = nullptr;
  T* x_ = nullptr;
  T* res_ = nullptr;
};

template <class T>
T* LinLeastSquares(const char* name, int m, int n, T* a, T* b, nml::OptionReader& opt) {
  T* result = nullptr;
  nml_public(name, [&] {
    Request<T> q;
    if (!ReadRequest(m, n, a, b, opt, &q)) return;
    result = Solver<T>(m, n, a, b, q).Run();
  });
  return result;
}

}  // namespace

void nml_l2qrr(const int* m, const int* n, float* a, const int* lda, const float* b,
               const float* tol, float* x, float* res, int* rank, float* qr, float* qraux,
               int* ipvt, float* work) {
  L2qrr(*m, *n, a, *lda, b, *tol, x, res, rank, qr, qraux, ipvt, work);
}

void nml_l2qrr(const int* m, const int* n, double* a, const int* lda, const double* b,
               const double* tol, double* x, double* res, int* rank, double* qr, double* qraux,
               int* ipvt, double* work) {
  L2qrr(*m, *n, a, *lda, b, *tol, x, res, rank, qr, qraux, ipvt, work);
}

float* nml_f_lin_least_squares_gen(int m, int n, float* a, float* b, ...) {
  va_list ap;
  va_start(ap, b);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 4, ap);
  float* r = LinLeastSquares("nml_f_lin_least_squares_gen", m, n, a, b, opt);
  va_end(ap);
  return r;
}

float* nml_f_lin_least_squares_gen(int m, int n, float* a, float* b, const nml_options& o) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 4, o);
  return LinLeastSquares("nml_f_lin_least_squares_gen", m, n, a, b, opt);
}

double* nml_d_lin_least_squares_gen(int m, int n, double* a, double* b, ...) {
  va_list ap;
  va_start(ap, b);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 4, ap);
  double* r = LinLeastSquares("nml_d_lin_least_squares_gen", m, n, a, b, opt);
  va_end(ap);
  return r;
}

double* nml_d_lin_least_squares_gen(int m, int n, double* a, double* b, const nml_options& o) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 4, o);
  return LinLeastSquares("nml_d_lin_least_squares_gen", m, n, a, b, opt);
}
