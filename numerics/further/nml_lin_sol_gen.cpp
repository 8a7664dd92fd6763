// nml_d_lin_sol_gen: options, argument tests, the conversions of the caller's row-ordered
// arrays and the order of factor, solve and inverse.
#include "numerics/further/nml_lin_sol_gen.h"

#include <cstdarg>
#include <cstdlib>

#include "numerics/further/nml_row_order.h"
#include "numerics/nml_kernels.h"

namespace {

enum class Out { None, New, User };

struct Request {
  bool transpose = false;
  int aCol = -1, facCol = -1, invCol = -1;
  Out factor = Out::None;
  int** pPvt = nullptr;
  double** pFac = nullptr;
  int* uPvt = nullptr;
  double* uFac = nullptr;
  bool factorOnly = false, solveOnly = false, inverseOnly = false;
  Out inverse = Out::None;
  double** pInv = nullptr;
  double* uInv = nullptr;
  bool returnUser = false;
  double* uX = nullptr;
  bool wantCond = false;
  double* cond = nullptr;
};

void PostDim(int n, int dim, const char* name) {
  nml_error_set_int(1, n);
  nml_error_set_int(2, dim);
  nml_error_set_string(1, name);
  nml_error_post(NML_TERMINAL, 1014);
}

bool Pending() { return nml_error_code(0) != 0; }

// Reads the option list and runs the argument tests; false when the call must end.
bool ReadRequest(int n, const double* a, const double* b, nml::OptionReader& opt, Request* q) {
  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case NML_TRANSPOSE:
        q->transpose = true;
        break;
      case NML_A_COL_DIM:
        q->aCol = opt.Int();
        break;
      case NML_FACTOR:
        q->factor = Out::New;
        q->pPvt = opt.Pointer<int*>();
        q->pFac = opt.Pointer<double*>();
        break;
      case NML_FAC_COL_DIM:
        q->facCol = opt.Int();
        break;
      case NML_FACTOR_ONLY:
        q->factorOnly = true;
        break;
      case NML_SOLVE_ONLY:
        q->solveOnly = true;
        break;
      case NML_FACTOR_USER:
        q->factor = Out::User;
        q->uPvt = opt.Pointer<int>();
        q->uFac = opt.Pointer<double>();
        break;
      case NML_INVERSE:
        q->inverse = Out::New;
        q->pInv = opt.Pointer<double*>();
        break;
      case NML_INVERSE_USER:
        q->inverse = Out::User;
        q->uInv = opt.Pointer<double>();
        break;
      case NML_INV_COL_DIM:
        q->invCol = opt.Int();
        break;
      case NML_INVERSE_ONLY:
        q->inverseOnly = true;
        break;
      case NML_RETURN_USER:
        q->returnUser = true;
        q->uX = opt.Pointer<double>();
        break;
      case NML_CONDITION:
        q->wantCond = true;
        q->cond = opt.Pointer<double>();
        break;
      default:
        opt.Unknown();
        break;
    }
  }
  if (Pending()) return false;
  if (q->aCol == -1) q->aCol = n;
  if (q->facCol == -1) q->facCol = n;
  if (q->invCol == -1) q->invCol = n;

  // Null output addresses would be written through: refused like the caller's arrays.
  if (q->factor == Out::User) {
    if (!q->uPvt) nml::PostNullArgument(104, "ipvt", "NML_FACTOR");
    if (!q->uFac) nml::PostNullArgument(105, "factor", "NML_FACTOR");
  } else if (q->factor == Out::New && (!q->pPvt || !q->pFac)) {
    nml::PostNullArgument(104, q->pPvt ? "p_factor" : "p_pvt", "NML_FACTOR");
  }
  if (q->inverse == Out::User && !q->uInv) nml::PostNullArgument(104, "inva", "NML_INVERSE_USER");
  if (q->inverse == Out::New && !q->pInv) nml::PostNullArgument(104, "p_inva", "NML_INVERSE");
  if (q->returnUser && !q->uX) nml::PostNullArgument(104, "x", "NML_RETURN_USER");
  if (q->wantCond && !q->cond) nml::PostNullArgument(104, "cond", "NML_CONDITION");

  // An inverse is always computed from a, also when solving from a given factor.
  const bool needA = !q->solveOnly || q->inverse != Out::None;
  if (!a && needA) {
    nml_error_set_string(1, "a");
    nml_error_post(NML_TERMINAL, 150);
  }
  if (!b && !q->factorOnly && !q->inverseOnly) {
    nml_error_set_string(1, "b");
    nml_error_post(NML_TERMINAL, 150);
  }
  if (!Pending()) {
    if (n < 1) {
      nml_error_set_int(1, n);
      nml_error_post(NML_TERMINAL, 1010);
    } else {
      if (n > q->aCol) PostDim(n, q->aCol, "a");
      if (n > q->facCol) PostDim(n, q->facCol, "factor");
      // The inverse is written with this row length: a shorter one would overrun it.
      if (q->inverse != Out::None && n > q->invCol) PostDim(n, q->invCol, "inva");
    }
    if (q->solveOnly + q->factorOnly + q->inverseOnly > 1) nml_error_post(NML_TERMINAL, 1091);
  }
  if (!Pending()) {
    if (q->solveOnly && q->factor != Out::User) nml_error_post(NML_TERMINAL, 1027);
    if (q->solveOnly && q->wantCond) nml_error_post(NML_TERMINAL, 1038);
    if (q->inverseOnly && q->inverse == Out::None) nml_error_post(NML_TERMINAL, 1039);
    if (q->factorOnly && q->factor == Out::None) nml_error_post(NML_TERMINAL, 1040);
  }
  return !Pending();
}

using nml::ToColumns;
using nml::ToRows;

// Sets columns n..cols-1 of a row-ordered n-row matrix to zero.
void ZeroPadding(int n, int cols, double* p) {
  for (long r = 0; r < n; ++r)
    for (int c = n; c < cols; ++c) p[r * cols + c] = 0.0;
}

class Solver {
 public:
  Solver(int n, double* a, double* b, const Request& q) : n_(n), a_(a), b_(b), q_(q) {}

  double* Run() {
    // When the caller's factor array is a itself, a stops holding A once it is factored:
    // an inverse, which is computed from A, must come first then.
    const bool factorInA = q_.factor == Out::User && q_.uFac == a_;
    const bool inverseFirst = factorInA && q_.inverse != Out::None && !q_.inverseOnly;
    if (inverseFirst) Inverse();
    if (!q_.inverseOnly) {
      if (!q_.solveOnly) Factor();
      if (!q_.factorOnly) Solve();
    }
    if (!inverseFirst && q_.inverse != Out::None) Inverse();
    return Cleanup();
  }

 private:
  bool Check() {
    if (nml_error_current_type() >= NML_FATAL) failed_ = true;
    return !failed_;
  }
  template <class T>
  T* Alloc(long count) {
    if (failed_) return nullptr;
    T* p = static_cast<T*>(std::malloc(static_cast<std::size_t>(count) * sizeof(T)));
    if (!p) {
      nml_error_set_string(1, "n");
      nml_error_set_int(1, n_);
      nml_error_post(NML_TERMINAL, 201);
      failed_ = true;
    }
    return p;
  }
  void SetCondition(double rcond) {
    if (q_.wantCond && Check()) *q_.cond = rcond <= nml_dmach(1) ? nml_dmach(7) : 1.0 / rcond;
  }
  void ACols() {
    if (!aCols_) ToColumns(n_, q_.aCol, a_);
    aCols_ = true;
  }
  void ARows() {
    if (aCols_) ToRows(n_, q_.aCol, a_);
    aCols_ = false;
  }
  // The caller's factor in column order (its columns beyond n kept behind the n x n part).
  void UserFactorCols() {
    if (fac_ == a_) return ACols();
    if (!facCols_) ToColumns(n_, q_.facCol, fac_);
    facCols_ = true;
  }

  void Factor() {
    if (q_.factor == Out::User) {
      pvt_ = q_.uPvt;
      fac_ = q_.uFac;
      if (q_.facCol > n_)
        UserFactorCols();
      else if (fac_ != a_)
        facCols_ = true;  // written in column order, converted back at the end
    } else {
      pvt_ = Alloc<int>(n_);
      fac_ = Alloc<double>(static_cast<long>(n_) * q_.facCol);
      ownFactor_ = true;
    }
    double* work = Alloc<double>(n_);
    if (failed_) return std::free(work);
    ACols();
    if (!q_.factorOnly || q_.wantCond) {
      double rcond = 0.0;
      L2CRG(&n_, a_, &n_, fac_, &n_, pvt_, &rcond, work);
      SetCondition(rcond);
    } else {
      nml_dl2trg(n_, a_, n_, fac_, n_, pvt_, work);
    }
    Check();
    // A that holds the factor stays in column order for the solve.
    if (fac_ != a_) ARows();
    std::free(work);
  }

  void Solve() {
    if (failed_) return;
    x_ = q_.returnUser ? q_.uX : Alloc<double>(n_);
    if (failed_) return;
    if (q_.solveOnly) {
      pvt_ = q_.uPvt;
      fac_ = q_.uFac;
      UserFactorCols();
    }
    const int ipath = q_.transpose ? 2 : 1;
    nml_dlfsrg(n_, fac_, n_, pvt_, b_, &ipath, x_);
    Check();
  }

  void Inverse() {
    if (failed_) return;
    inv_ = q_.inverse == Out::User ? q_.uInv : Alloc<double>(static_cast<long>(n_) * q_.invCol);
    double* wk = Alloc<double>(static_cast<long>(n_) * (n_ - 1) / 2 + n_);
    int* iwk = Alloc<int>(n_);
    if (!failed_) {
      double rcond = 0.0;
      if (q_.inverseOnly) {
        ACols();
        const bool userWide = q_.inverse == Out::User && q_.invCol > n_;
        if (userWide) ToColumns(n_, q_.invCol, inv_);
        L2NRG(n_, a_, n_, inv_, n_, wk, iwk, &rcond);
        SetCondition(rcond);
        ToRows(n_, q_.invCol, inv_);
        ARows();
      } else {
        // On the row-ordered arrays: a read by columns is trans(A), and its inverse written
        // by columns is the row-ordered inverse of A.
        L2NRG(n_, a_, q_.aCol, inv_, q_.invCol, wk, iwk, &rcond);
      }
      Check();
    }
    std::free(wk);
    std::free(iwk);
  }

  double* Cleanup() {
    if (ownFactor_) {
      if (!failed_ && q_.factor == Out::New) {
        // Column order with leading dimension n, padding columns zeroed, then to rows.
        for (long i = static_cast<long>(n_) * n_; i < static_cast<long>(n_) * q_.facCol; ++i)
          fac_[i] = 0.0;
        ToRows(n_, q_.facCol, fac_);
        *q_.pPvt = pvt_;
        *q_.pFac = fac_;
      } else {
        std::free(pvt_);
        std::free(fac_);
      }
    }
    if (facCols_) ToRows(n_, q_.facCol, fac_);
    ARows();
    if (q_.inverse == Out::New) {
      if (!failed_ && inv_) {
        ZeroPadding(n_, q_.invCol, inv_);
        *q_.pInv = inv_;
      } else {
        std::free(inv_);
      }
    }
    if (q_.returnUser) return q_.uX;
    if (failed_) {
      std::free(x_);
      return nullptr;
    }
    return x_;
  }

  int n_;
  double* a_;
  double* b_;
  const Request& q_;
  bool failed_ = false;
  bool aCols_ = false, facCols_ = false, ownFactor_ = false;
  int* pvt_ = nullptr;
  double* fac_ = nullptr;
  double* inv_ = nullptr;
  double* x_ = nullptr;
};

double* LinSolGen(int n, double* a, double* b, nml::OptionReader& opt) {
  double* result = nullptr;
  nml_public("nml_d_lin_sol_gen", [&] {
    Request q;
    if (!ReadRequest(n, a, b, opt, &q)) {
      if (q.returnUser) result = q.uX;
      return;
    }
    result = Solver(n, a, b, q).Run();
  });
  return result;
}

}  // namespace

double* nml_d_lin_sol_gen(int n, double* a, double* b, ...) {
  va_list ap;
  va_start(ap, b);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 3, ap);
  double* result = LinSolGen(n, a, b, opt);
  va_end(ap);
  return result;
}

double* nml_d_lin_sol_gen(int n, double* a, double* b, const nml_options& options) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 3, options);
  return LinSolGen(n, a, b, opt);
}
