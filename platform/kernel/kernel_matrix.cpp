// Matrices over GiNaC's matrix class (see kernel_matrix.h).

#include "kernel_matrix.h"

#include <algorithm>
#include <string>

using namespace GiNaC;

void kernel_matrix_error(const std::exception& e) {
    std::string what = e.what();
    if (what.find("incompatible") != std::string::npos || what.find("dimension") != std::string::npos)
        throw KError("matrix dimensions do not match");
    if (what.find("singular") != std::string::npos || dynamic_cast<const pole_error*>(&e))
        throw KError("singular matrix");
    if (what.find("inconsistent") != std::string::npos) throw KError("inconsistent linear system");
    if (what.find("sum of") != std::string::npos || what.find("scalar") != std::string::npos)
        throw KError("cannot add a matrix and a scalar");
    throw KError("invalid matrix arithmetic: " + what);
}

namespace {

const matrix& matrixOf(const KValue& v, const char* what) {
    if (v.kind == KValue::Expr && is_a<matrix>(v.ex)) return ex_to<matrix>(v.ex);
    throw KError(std::string(what) + " must be a matrix, got " + kernel_value_text(v));
}

const matrix& squareOf(const KValue& v) {
    const matrix& m = matrixOf(v, "the argument");
    if (m.rows() != m.cols()) throw KError("the matrix must be square");
    return m;
}

void need(const KSeq& a, std::size_t n) {
    if (a.size() != n) throw KError("wrong number (or type) of parameters");
}

bool isZero(const ex& e) { return e.normal().is_zero(); }

// One entry: an algebraic expression (no list, set, equation, string, procedure or matrix).
ex entryOf(KInterpreter& k, const KValue& v) {
    if (v.kind == KValue::Seq && v.items.size() == 1) return entryOf(k, v.items[0]);
    if (v.kind != KValue::Expr || is_a<matrix>(v.ex) || v.ex.info(info_flags::relation))
        throw KError("matrix entries must be algebraic, got " + kernel_value_text(v));
    return v.ex;
}

// The rows of matrix([[a, b], [c, d]]).
KValue makeMatrix(KInterpreter& k, const KSeq& a) {
    need(a, 1);
    if (a[0].kind == KValue::Expr && is_a<matrix>(a[0].ex)) return a[0];
    if (a[0].kind != KValue::List || a[0].items.empty())
        throw KError("a matrix is made from a non-empty list of rows");
    const KSeq& rows = a[0].items;
    std::size_t cols = 0;
    for (const KValue& r : rows) {
        if (r.kind != KValue::List || r.items.empty()) throw KError("each row of a matrix must be a non-empty list");
        if (cols != 0 && r.items.size() != cols) throw KError("the rows of a matrix must have the same length");
        cols = r.items.size();
    }
    matrix m(unsigned(rows.size()), unsigned(cols));
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (std::size_t j = 0; j < cols; ++j) m(unsigned(i), unsigned(j)) = entryOf(k, rows[i].items[j]);
    return KValue(ex(m));
}

KValue inverseOf(const KValue& v) {
    const matrix& m = squareOf(v);
    if (isZero(m.determinant())) throw KError("singular matrix");
    try {
        matrix r = m.inverse();
        for (unsigned i = 0; i < r.rows(); ++i)
            for (unsigned j = 0; j < r.cols(); ++j) r(i, j) = r(i, j).normal();
        return KValue(ex(r));
    } catch (const std::exception& e) {
        kernel_matrix_error(e);
    }
}

// linsolve(A, b): b a list or a one-column matrix; the solution as a list.
KValue linsolveOf(KInterpreter& k, const KSeq& a) {
    need(a, 2);
    const matrix& A = matrixOf(a[0], "the first argument");
    matrix b(A.rows(), 1);
    if (a[1].kind == KValue::List) {
        if (a[1].items.size() != A.rows()) throw KError("matrix dimensions do not match");
        for (unsigned i = 0; i < A.rows(); ++i) b(i, 0) = entryOf(k, a[1].items[i]);
    } else {
        const matrix& m = matrixOf(a[1], "the second argument");
        if (m.cols() != 1 || m.rows() != A.rows()) throw KError("matrix dimensions do not match");
        b = m;
    }
    matrix vars(A.cols(), 1);
    for (unsigned i = 0; i < A.cols(); ++i) vars(i, 0) = kernel_symbol("_t" + std::to_string(i + 1));
    matrix x;
    try {
        x = A.solve(vars, b);
    } catch (const std::exception& e) {
        kernel_matrix_error(e);
    }
    KSeq out;
    for (unsigned i = 0; i < x.rows(); ++i) out.push_back(KValue(x(i, 0).normal()));
    return KValue::make(KValue::List, out);
}

// The roots of the characteristic polynomial, each as often as its multiplicity, through solve.
KValue eigenvaluesOf(KInterpreter& k, const KSeq& a) {
    need(a, 1);
    const matrix& m = squareOf(a[0]);
    symbol lambda = kernel_symbol("_lambda");
    ex p = m.charpoly(lambda).expand();
    const KBuiltin* solve = kernel_find_builtin("solve");
    KValue roots = (*solve)(k, {KValue(p), KValue(lambda)});
    // Real numbers ascending; anything else in solve's order.
    auto real = [](const KValue& v) {
        return v.kind == KValue::Expr && is_a<numeric>(v.ex) && ex_to<numeric>(v.ex).is_real();
    };
    if (roots.kind == KValue::Seq && std::all_of(roots.items.begin(), roots.items.end(), real))
        std::sort(roots.items.begin(), roots.items.end(),
                  [](const KValue& x, const KValue& y) { return ex_to<numeric>(x.ex) < ex_to<numeric>(y.ex); });
    return roots;
}

}  // namespace

ex kernel_matrix_evaluate(const ex& e) {
    try {
        return e.evalm();
    } catch (const std::exception& x) {
        kernel_matrix_error(x);
    }
}

void kernel_add_matrix_builtins(std::map<std::string, KBuiltin>& b) {
    b["matrix"] = makeMatrix;
    b["transpose"] = [](KInterpreter&, const KSeq& a) {
        need(a, 1);
        return KValue(ex(matrixOf(a[0], "the argument").transpose()));
    };
    b["det"] = [](KInterpreter&, const KSeq& a) {
        need(a, 1);
        return KValue(squareOf(a[0]).determinant().normal());
    };
    b["inverse"] = [](KInterpreter&, const KSeq& a) {
        need(a, 1);
        return inverseOf(a[0]);
    };
    b["rank"] = [](KInterpreter&, const KSeq& a) {
        need(a, 1);
        return KValue(numeric(long(matrixOf(a[0], "the argument").rank())));
    };
    b["linsolve"] = linsolveOf;
    b["eigenvalues"] = eigenvaluesOf;
}
