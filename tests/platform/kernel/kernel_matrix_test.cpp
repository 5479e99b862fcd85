// Matrices: built from a list of rows, combined by +, -, scalar and matrix products and integer
// powers, and the built-ins transpose, det, inverse, rank, linsolve and eigenvalues; errors for
// sizes that do not conform, singular matrices and entries that are not algebraic; results
// reach the worksheet as the call matrix([[row], ...]).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kkernel_test_support.h"
#include "tests/support/named_rows.h"

namespace {

using namespace kernel_test;

using kelvo_test::PrintTo;

struct MatrixCase {
    const char* name;
    const char* statement;   // A is [[2,1,1],[1,3,2],[1,0,0]], S the singular [[1,2,3],[2,4,6],[1,1,1]]
    const char* printed;     // the RESULT, or the ERROR's text
};

class KernelMatrixTest : public KernelTest, public ::testing::WithParamInterface<MatrixCase> {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        run("A := matrix([[2,1,1],[1,3,2],[1,0,0]]):");
        run("S := matrix([[1,2,3],[2,4,6],[1,1,1]]):");
    }
};

TEST_P(KernelMatrixTest, Answers) {
    const MatrixCase& c = GetParam();
    Recorder rec = run(c.statement);
    std::string got = rec.printed("RESULT");
    if (got == "<none>") got = rec.printed("ERROR");   // printed as a name: `Error, ...`
    EXPECT_EQ(got, c.printed) << c.statement;
}

const MatrixCase matrixCases[] = {
    {"determinant", "det(A);", "-1"},
    {"inverse", "inverse(A);", "matrix([[0, 0, 1], [-2, 1, 3], [3, -1, -5]])"},
    {"inverse_times_matrix_is_identity", "inverse(A)*A;", "matrix([[1, 0, 0], [0, 1, 0], [0, 0, 1]])"},
    {"matrix_times_inverse_is_identity", "A*inverse(A);", "matrix([[1, 0, 0], [0, 1, 0], [0, 0, 1]])"},
    {"negative_power_is_the_inverse", "A^(-1);", "matrix([[0, 0, 1], [-2, 1, 3], [3, -1, -5]])"},
    {"rank_of_singular", "rank(S);", "2"},
    {"rank_of_regular", "rank(A);", "3"},
    {"linsolve_3x3", "linsolve(A, [4, 5, 6]);", "[6, 15, -23]"},
    {"linsolve_column_matrix", "linsolve(A, matrix([[4], [5], [6]]));", "[6, 15, -23]"},
    {"eigenvalues_2x2", "eigenvalues(matrix([[2,1],[1,2]]));", "1, 3"},
    {"sum", "A + A;", "matrix([[4, 2, 2], [2, 6, 4], [2, 0, 0]])"},
    {"difference_with_scalar_multiple", "3*A - A;", "matrix([[4, 2, 2], [2, 6, 4], [2, 0, 0]])"},
    {"square", "A^2;", "matrix([[6, 5, 4], [7, 10, 7], [2, 1, 1]])"},
    {"first_power", "A^1;", "matrix([[2, 1, 1], [1, 3, 2], [1, 0, 0]])"},
    {"times_one", "1*A;", "matrix([[2, 1, 1], [1, 3, 2], [1, 0, 0]])"},
    {"plus_zero_matrix", "0*A + A;", "matrix([[2, 1, 1], [1, 3, 2], [1, 0, 0]])"},
    {"products_keep_their_order", "matrix([[1,2],[3,4]]) * matrix([[0,1],[1,0]]);", "matrix([[2, 1], [4, 3]])"},
    {"products_keep_their_order_reversed", "matrix([[0,1],[1,0]]) * matrix([[1,2],[3,4]]);",
     "matrix([[3, 4], [1, 2]])"},
    {"non_square_product", "matrix([[1,2,3]]) * matrix([[1],[2],[3]]);", "matrix([[14]])"},
    {"transpose", "transpose(matrix([[1,2,3],[4,5,6]]));", "matrix([[1, 4], [2, 5], [3, 6]])"},
    {"symbolic_determinant", "det(matrix([[a,b],[c,d]]));", "a*d-b*c"},
    // errors
    {"non_conforming_product", "matrix([[1,2,3],[4,5,6]]) * matrix([[1,2],[3,4]]);",
     "`Error, matrix dimensions do not match`"},
    {"non_conforming_sum", "A + matrix([[1,2],[3,4]]);", "`Error, matrix dimensions do not match`"},
    {"inverse_of_singular", "inverse(S);", "`Error, (in inverse) singular matrix`"},
    {"negative_power_of_singular", "S^(-1);", "`Error, singular matrix`"},
    {"matrix_plus_scalar", "A + 1;", "`Error, cannot add a matrix and a scalar`"},
    {"det_of_non_square", "det(matrix([[1,2,3]]));", "`Error, (in det) the matrix must be square`"},
    {"entry_not_algebraic", "matrix([[1,[2]],[3,4]]);", "`Error, (in matrix) matrix entries must be algebraic, got [2]`"},
    {"ragged_rows", "matrix([[1,2],[3]]);", "`Error, (in matrix) the rows of a matrix must have the same length`"},
    {"linsolve_wrong_length", "linsolve(A, [1, 2]);", "`Error, (in linsolve) matrix dimensions do not match`"},
    {"linsolve_inconsistent", "linsolve(S, [1, 1, 1]);", "`Error, (in linsolve) inconsistent linear system`"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelMatrixTest, ::testing::ValuesIn(matrixCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The result is the call the typesetter lays out as a grid: matrix of one list of row lists.
TEST_F(KernelTest, MatrixResultIsTheMatrixCallOverRows) {
    EXPECT_EQ(run("matrix([[1,x],[y^2,4]]);").first("RESULT"),
              "EXPSEQ(FUNCTION(matrix,EXPSEQ(LIST(EXPSEQ(LIST(EXPSEQ(1,x)),LIST(EXPSEQ(PROD(y,2),4)))))))");
}

}  // namespace
