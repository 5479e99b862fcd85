// The mx array calls over KelvoMxArray.

#include "platform/matlab/mx_array.h"

#include <climits>
#include <new>

namespace mateng {

long long checked_count(const int* dims, int ndim) {
    long long count = 1;
    for (int i = 0; i < ndim; ++i) {
        if (dims[i] < 0) return -1;
        if (dims[i] != 0 && count > INT_MAX / dims[i]) return -1;
        count *= dims[i];
    }
    return count;
}

std::unique_ptr<KelvoMxArray> make_array(const int* dims, int ndim, bool complex) {
    if (ndim < 0 || (ndim > 0 && dims == nullptr)) return nullptr;
    long long count = checked_count(dims, ndim);
    if (count < 0) return nullptr;
    auto array = std::make_unique<KelvoMxArray>();
    array->dims.assign(dims, dims + ndim);
    while (array->dims.size() > 2 && array->dims.back() == 1) array->dims.pop_back();
    while (array->dims.size() < 2) array->dims.push_back(1);
    array->count = static_cast<size_t>(count);
    // One element at least, so that an empty array's parts are still blocks of their own.
    size_t blocks = array->count ? array->count : 1;
    array->re.reset(new (std::nothrow) double[blocks]());
    if (!array->re) return nullptr;
    if (complex) {
        array->im.reset(new (std::nothrow) double[blocks]());
        if (!array->im) return nullptr;
    }
    return array;
}

}  // namespace mateng

extern "C" {

mxArray* mxCreateDoubleMatrix(int m, int n, int complexity) {
    if (complexity != mxREAL && complexity != mxCOMPLEX) return nullptr;
    const int dims[2] = {m, n};
    return mateng::make_array(dims, 2, complexity == mxCOMPLEX).release();
}

mxArray* mxCreateNumericArray(int ndim, const int* dims, int classId, int complexity) {
    if (classId != mxDOUBLE_CLASS) return nullptr;
    if (complexity != mxREAL && complexity != mxCOMPLEX) return nullptr;
    return mateng::make_array(dims, ndim, complexity == mxCOMPLEX).release();
}

void mxDestroyArray(mxArray* array) { delete array; }

const int* mxGetDimensions(const mxArray* array) { return array ? array->dims.data() : nullptr; }

int mxGetN(const mxArray* array) {
    if (!array) return 0;
    long long n = mateng::checked_count(array->dims.data() + 1, static_cast<int>(array->dims.size()) - 1);
    return static_cast<int>(n);
}

int mxGetNumberOfDimensions(const mxArray* array) { return array ? static_cast<int>(array->dims.size()) : 0; }

size_t mxGetNumberOfElements(const mxArray* array) { return array ? array->count : 0; }

double* mxGetPr(const mxArray* array) { return array ? array->re.get() : nullptr; }

double* mxGetPi(const mxArray* array) { return array ? array->im.get() : nullptr; }

bool mxIsComplex(const mxArray* array) { return array && array->im; }

bool mxIsDouble(const mxArray* array) { return array != nullptr; }

bool mxIsEmpty(const mxArray* array) { return !array || array->count == 0; }

void mxSetName(mxArray* array, const char* name) {
    if (array) array->name = name ? name : "";
}

}  // extern "C"
