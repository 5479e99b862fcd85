// The engine bridge's five exports.

#include "bridges/engbridge/engbridge.h"

#include "platform/matlab/engine.h"
#include "tovu/dag.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

using namespace engbridge_slots;

Engine* gEngine = nullptr;

constexpr int kOutputSize = 256;
const char* const kNotOpened = "Matlab engine is not opened";
const char* const kSetUsage = "usage: matlab_set(\"var_name\", value)";
const char* const kEvalUsage = "usage: matlab_eval(\"command\")";
const char* const kGetUsage = "usage: matlab_get(var_string_name)";
const char* const kNoName = "No name is assigned";
const char* const kBadArray = "check the sizes and attributes of hfarray";
const char* const kNoMemory = "insufficient memory for operation";
const char* const kLinkLost = "cannot execute command, connection to Matlab may be lost";

template <typename F>
F slot(const KernelSlot* table, int index) {
    return reinterpret_cast<F>(table[index]);
}

struct ArrayDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using MxHolder = std::unique_ptr<mxArray, ArrayDeleter>;

// What a call holds: freed before an error is raised, because slot 12 may leave the call by a
// jump that runs no destructor.
struct Held {
    MxHolder array;
    MxHolder result;
    std::vector<int> extents;
    std::vector<int> other;  // the imaginary part's extents, or the reversed ones

    void release() {
        array.reset();
        result.reset();
        std::vector<int>().swap(extents);
        std::vector<int>().swap(other);
    }
};

[[noreturn]] void raise(const KernelSlot* table, Held& held, const char* message) {
    held.release();
    slot<RaiseError>(table, ENGBRIDGE_SLOT_ERROR)(message);
    // Slot 12 unwinds the call; should a table's slot return all the same, end here rather
    // than go on with a failed step.
    std::abort();
}

KernelValue integer(const KernelSlot* table, long v) { return slot<MakeInteger>(table, ENGBRIDGE_SLOT_INTEGER)(v); }

// The arguments of an expression sequence; no sequence (seq null) for anything else.
struct Arguments {
    KernelValue seq = nullptr;
    size_t count = 0;
    bool isSequence() const { return seq != nullptr; }
    KernelValue at(size_t i) const { return dag_op(seq, i + 1); }
};

Arguments arguments_of(KernelValue value) {
    Arguments a;
    if (value && dag_type(value) == DAG_EXPSEQ) {
        a.seq = value;
        a.count = dag_length(value) - 1;
    }
    return a;
}

// Copies n doubles from `from` to `to`, moving element i from its place under the row-major
// strides of `extents` to the place of the same indices under their column-major strides.
// Called with the extents reversed, it turns column-major order into row-major order.  False
// when the work arrays cannot be had (nothing copied).
bool reorder(const double* from, double* to, const std::vector<int>& extents, size_t n) {
    size_t k = extents.size();
    std::unique_ptr<size_t[]> rowStride(new (std::nothrow) size_t[k]);
    std::unique_ptr<size_t[]> colStride(new (std::nothrow) size_t[k]);
    std::unique_ptr<size_t[]> index(new (std::nothrow) size_t[k]);
    if (!rowStride || !colStride || !index) return false;
    for (size_t i = k; i-- > 0;) rowStride[i] = i + 1 == k ? 1 : rowStride[i + 1] * static_cast<size_t>(extents[i + 1]);
    for (size_t i = 0; i < k; ++i) colStride[i] = i == 0 ? 1 : colStride[i - 1] * static_cast<size_t>(extents[i - 1]);
    for (size_t p = 0; p < n; ++p) {
        size_t rest = p, q = 0;
        for (size_t i = 0; i < k; ++i) {
            index[i] = rest / rowStride[i];
            rest %= rowStride[i];
            q += index[i] * colStride[i];
        }
        to[q] = from[p];
    }
    return true;
}

// The product of the extents when it equals the element count and fits an int; -1 otherwise.
long long checked_product(const std::vector<int>& extents, long count) {
    long long product = 1;
    for (int e : extents) {
        if (e < 0 || (e != 0 && product > INT_MAX / e)) return -1;
        product *= e;
    }
    return product == count ? product : -1;
}

// Puts into `extents` the extents of a kernel array whose every lower bound is 1 (its upper
// bounds).
void extents_of(const KernelSlot* table, Held& held, KernelValue array, std::vector<int>& extents) {
    if (!slot<IsHfarray>(table, ENGBRIDGE_SLOT_IS_HFARRAY)(array)) raise(table, held, kBadArray);
    int k = slot<DimensionCount>(table, ENGBRIDGE_SLOT_DIMENSIONS)(array);
    if (k < 1) raise(table, held, kBadArray);
    for (int i = 1; i <= k; ++i) {
        if (slot<Bound>(table, ENGBRIDGE_SLOT_LOWER_BOUND)(array, i) != 1)
            raise(table, held, "cannot use HFArray with lower bound != 1");
        long upper = slot<Bound>(table, ENGBRIDGE_SLOT_UPPER_BOUND)(array, i);
        if (upper < 0 || upper > INT_MAX) raise(table, held, kBadArray);
        extents.push_back(static_cast<int>(upper));
    }
}

}  // namespace

extern "C" {

KernelValue MatlabOpenEngine(const KernelSlot* table) {
    if (!gEngine) {
        gEngine = engOpen(nullptr);
        Held none;
        if (!gEngine) raise(table, none, "Kelvo/Matlab Link: Can't start Matlab engine");
    }
    return integer(table, 1);
}

KernelValue MatlabCloseEngine(const KernelSlot* table) {
    if (gEngine) {
        Engine* engine = gEngine;
        gEngine = nullptr;
        Held none;
        if (engClose(engine) != 0) raise(table, none, "Kelvo/Matlab Link: Can't close Matlab engine");
    }
    return integer(table, 1);
}

KernelValue MatlabSetVariable(const KernelSlot* table, KernelValue args) {
    Held held;
    if (!gEngine) raise(table, held, kNotOpened);
    Arguments a = arguments_of(args);
    // More than three arguments would hand the engine nothing while answering success.
    if (!a.isSequence() || a.count < 2 || a.count > 3) raise(table, held, kSetUsage);
    const char* name = slot<TextOf>(table, ENGBRIDGE_SLOT_TEXT)(a.at(0));
    if (!name) raise(table, held, kNoName);

    KernelValue re = a.at(1);
    KernelValue im = a.count == 3 ? a.at(2) : nullptr;
    auto count = [&](KernelValue v) { return slot<ElementCount>(table, ENGBRIDGE_SLOT_ELEMENTS)(v); };
    if (im) {
        auto isArray = slot<IsHfarray>(table, ENGBRIDGE_SLOT_IS_HFARRAY);
        if (!isArray(re) || !isArray(im) || count(re) != count(im)) raise(table, held, kBadArray);
    }
    std::vector<int>& extents = held.extents;
    extents_of(table, held, re, extents);
    if (im) {
        extents_of(table, held, im, held.other);
        if (held.other != extents) raise(table, held, "Two HFARRAYs don't match in range bounds");
    }
    long n = count(re);
    // Reordering trusts that the extents describe the elements: check before anything is copied.
    if (checked_product(extents, n) < 0) raise(table, held, kBadArray);

    auto dataOf = slot<HfarrayData>(table, ENGBRIDGE_SLOT_HFARRAY_DATA);
    const double* reData = dataOf(re);
    const double* imData = im ? dataOf(im) : nullptr;
    if (n > 0 && (!reData || (im && !imData))) raise(table, held, kBadArray);
    int complexity = im ? mxCOMPLEX : mxREAL;
    size_t elements = static_cast<size_t>(n);
    int k = static_cast<int>(extents.size());
    if (k == 1) {
        held.array.reset(mxCreateDoubleMatrix(1, extents[0], complexity));
        if (!held.array) raise(table, held, "cannot set variable into Matlab");
        if (elements) {
            std::memcpy(mxGetPr(held.array.get()), reData, elements * sizeof(double));
            if (im) std::memcpy(mxGetPi(held.array.get()), imData, elements * sizeof(double));
        }
    } else {
        held.array.reset(mxCreateNumericArray(k, extents.data(), mxDOUBLE_CLASS, complexity));
        if (!held.array) raise(table, held, "cannot set variable into Matlab");
        if (!reorder(reData, mxGetPr(held.array.get()), extents, elements) ||
            (im && !reorder(imData, mxGetPi(held.array.get()), extents, elements)))
            raise(table, held, kNoMemory);
    }
    mxSetName(held.array.get(), name);
    if (engPutArray(gEngine, held.array.get()) != 0)
        raise(table, held, k >= 3 ? "MATLAB engine on PC does not support 3D arrays" : "cannot put variable into the engine");
    return nullptr;
}

KernelValue MatlabExecuteCommand(const KernelSlot* table, KernelValue args) {
    Held held;
    if (!gEngine) raise(table, held, kNotOpened);
    Arguments a = arguments_of(args);
    if (!a.isSequence() || a.count < 1) raise(table, held, kEvalUsage);
    const char* command = slot<TextOf>(table, ENGBRIDGE_SLOT_TEXT)(a.at(0));
    if (!command) raise(table, held, kEvalUsage);
    if (engEvalString(gEngine, "lasterr('')") != 0) raise(table, held, kLinkLost);

    char output[kOutputSize] = {};
    engOutputBuffer(gEngine, output, kOutputSize);
    int failed = engEvalString(gEngine, command);
    engOutputBuffer(gEngine, nullptr, 0);
    // The buffer is read only up to its end, whatever the engine left in it.
    output[kOutputSize - 1] = '\0';
    if (failed != 0) raise(table, held, "Matlab evaluation failed");

    if (engEvalString(gEngine, "result_for_kelvo_eval=isempty(lasterr)") != 0) raise(table, held, kLinkLost);
    held.result.reset(engGetArray(gEngine, "result_for_kelvo_eval"));
    if (!held.result || !mxIsDouble(held.result.get()) || mxGetN(held.result.get()) > 1 ||
        mxGetNumberOfElements(held.result.get()) < 1)
        raise(table, held, "cannot execute command, link to Matlab may be lost");
    if (mxGetPr(held.result.get())[0] == 1.0) return nullptr;
    if (std::strlen(output) > 2) {
        char message[kOutputSize];
        message[0] = '\n';
        std::strcpy(message + 1, output + 2);
        raise(table, held, message);
    }
    raise(table, held, "could not evaluate Matlab command");
}

KernelValue MatlabGetVariable(const KernelSlot* table, KernelValue args) {
    Held held;
    if (!gEngine) raise(table, held, kNotOpened);
    Arguments a = arguments_of(args);
    if (!a.isSequence() || a.count > 2) raise(table, held, kGetUsage);
    if (a.count < 1) raise(table, held, kNoName);
    const char* name = slot<TextOf>(table, ENGBRIDGE_SLOT_TEXT)(a.at(0));
    if (!name) raise(table, held, kNoName);

    held.array.reset(engGetArray(gEngine, name));
    if (!held.array || mxIsEmpty(held.array.get())) raise(table, held, "Matlab cannot get array!");
    mxArray* m = held.array.get();
    size_t n = mxGetNumberOfElements(m);
    const int* dims = mxGetDimensions(m);
    int k = mxGetN(m) == 1 ? 1 : mxGetNumberOfDimensions(m);
    if (k == 1 && dims[0] == 1 && dims[1] == 1) {
        KernelValue v = mxIsComplex(m)
                            ? slot<MakeComplexFloat>(table, ENGBRIDGE_SLOT_COMPLEX_FLOAT)(mxGetPr(m)[0], mxGetPi(m)[0])
                            : slot<MakeFloat>(table, ENGBRIDGE_SLOT_FLOAT)(mxGetPr(m)[0]);
        return v;
    }
    std::vector<int>& extents = held.extents;
    std::vector<int>& reversed = held.other;
    extents.assign(dims, dims + k);
    reversed.assign(extents.rbegin(), extents.rend());
    auto make = [&](const double* part) {
        KernelValue hf = slot<NewHfarray>(table, ENGBRIDGE_SLOT_NEW_HFARRAY)(k, static_cast<long>(n));
        if (!hf) raise(table, held, kNoMemory);
        for (int i = 1; i <= k; ++i) slot<SetBounds>(table, ENGBRIDGE_SLOT_SET_BOUNDS)(hf, i, 1, extents[i - 1]);
        double* data = slot<HfarrayData>(table, ENGBRIDGE_SLOT_HFARRAY_DATA)(hf);
        if (!data || !reorder(part, data, reversed, n)) raise(table, held, kNoMemory);
        return hf;
    };
    KernelValue result = make(mxGetPr(m));
    if (mxIsComplex(m)) result = slot<MakeComplexArray>(table, ENGBRIDGE_SLOT_COMPLEX_ARRAY)(result, make(mxGetPi(m)));
    return result;
}

}  // extern "C"
