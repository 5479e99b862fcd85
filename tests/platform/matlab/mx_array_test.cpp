// The mx array calls: extents, counts, parts and refusals.

#include "platform/matlab/engine.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace {

struct ArrayDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

std::vector<int> dims_of(const mxArray* a) {
    const int* d = mxGetDimensions(a);
    return std::vector<int>(d, d + mxGetNumberOfDimensions(a));
}

TEST(MxArray, MatrixIsZeroFilledAndSized) {
    Array a(mxCreateDoubleMatrix(2, 3, mxREAL));
    ASSERT_TRUE(a);
    EXPECT_EQ(dims_of(a.get()), (std::vector<int>{2, 3}));
    EXPECT_EQ(mxGetN(a.get()), 3);
    EXPECT_EQ(mxGetNumberOfElements(a.get()), 6u);
    EXPECT_TRUE(mxIsDouble(a.get()));
    EXPECT_FALSE(mxIsComplex(a.get()));
    EXPECT_EQ(mxGetPi(a.get()), nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(mxGetPr(a.get())[i], 0.0);

    Array c(mxCreateDoubleMatrix(1, 2, mxCOMPLEX));
    ASSERT_TRUE(c);
    EXPECT_TRUE(mxIsComplex(c.get()));
    ASSERT_NE(mxGetPi(c.get()), nullptr);
    EXPECT_NE(mxGetPi(c.get()), mxGetPr(c.get()));
    EXPECT_EQ(mxGetPi(c.get())[1], 0.0);
}

struct ShapeRow {
    const char* name;
    std::vector<int> in;
    std::vector<int> dims;
    int n;
    size_t count;
    bool empty;
};

TEST(MxArray, NumericArrayShapes) {
    const ShapeRow rows[] = {
        {"three extents", {2, 3, 4}, {2, 3, 4}, 12, 24, false},
        {"trailing ones dropped", {2, 3, 1, 1}, {2, 3}, 3, 6, false},
        {"inner ones kept", {2, 1, 4}, {2, 1, 4}, 4, 8, false},
        {"second one kept", {5, 1}, {5, 1}, 1, 5, false},
        {"one extent padded", {4}, {4, 1}, 1, 4, false},
        {"no extents", {}, {1, 1}, 1, 1, false},
        {"zero extent", {0, 3}, {0, 3}, 3, 0, true},
    };
    for (const ShapeRow& row : rows) {
        Array a(mxCreateNumericArray(static_cast<int>(row.in.size()), row.in.data(), mxDOUBLE_CLASS, mxREAL));
        ASSERT_TRUE(a) << row.name;
        EXPECT_EQ(dims_of(a.get()), row.dims) << row.name;
        EXPECT_EQ(mxGetN(a.get()), row.n) << row.name;
        EXPECT_EQ(mxGetNumberOfElements(a.get()), row.count) << row.name;
        EXPECT_EQ(mxIsEmpty(a.get()), row.empty) << row.name;
    }
}

TEST(MxArray, RefusesBadExtentsClassesAndCounts) {
    const int negative[] = {2, -1};
    const int overflow[] = {65536, 65536};
    const int overInt[] = {46341, 46341};
    EXPECT_EQ(mxCreateDoubleMatrix(-1, 2, mxREAL), nullptr);
    EXPECT_EQ(mxCreateDoubleMatrix(2, 2, 2), nullptr);
    EXPECT_EQ(mxCreateNumericArray(2, negative, mxDOUBLE_CLASS, mxREAL), nullptr);
    EXPECT_EQ(mxCreateNumericArray(2, overflow, mxDOUBLE_CLASS, mxREAL), nullptr);
    EXPECT_EQ(mxCreateNumericArray(2, overInt, mxDOUBLE_CLASS, mxREAL), nullptr);
    EXPECT_EQ(mxCreateNumericArray(-1, negative, mxDOUBLE_CLASS, mxREAL), nullptr);
    EXPECT_EQ(mxCreateNumericArray(2, nullptr, mxDOUBLE_CLASS, mxREAL), nullptr);
    const int fine[] = {2, 2};
    EXPECT_EQ(mxCreateNumericArray(2, fine, 5, mxREAL), nullptr);  // only class double
}

TEST(MxArray, NullArraysAreHarmless) {
    mxDestroyArray(nullptr);
    mxSetName(nullptr, "x");
    EXPECT_EQ(mxGetPr(nullptr), nullptr);
    EXPECT_EQ(mxGetDimensions(nullptr), nullptr);
    EXPECT_EQ(mxGetNumberOfElements(nullptr), 0u);
}

}  // namespace
