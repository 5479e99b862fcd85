#pragma once
// engbridge: five exports through which a math kernel's external-call mechanism drives a MATLAB
// engine (here GNU Octave through the engine interface of platform/matlab): open and close it,
// copy a kernel array into an engine variable, run a command, and read a variable back.
//
// Each export takes the kernel's callback table first.  The table is an array of function
// addresses; only the slots below are called, each cast to its type.  Kernel values are
// expressions in the kernel's layout (a header word with the length in bits 0-16 and the type
// in bits 17-22; an expression sequence, type 23, points to its elements from its second word).
//
// | slot | use                                     | type            |
// |------|-----------------------------------------|-----------------|
// | 2    | complex array from real and imaginary   | MakeComplexArray |
// | 3    | new hfarray (dimensions, elements)      | NewHfarray      |
// | 7    | kernel integer                          | MakeInteger     |
// | 9    | complex float                           | MakeComplexFloat |
// | 10   | hfarray data, row-major (last index fastest) | HfarrayData |
// | 11   | float                                   | MakeFloat       |
// | 12   | raise an error; does not return         | RaiseError      |
// | 15   | is a readable hfarray                   | IsHfarray       |
// | 17   | lower bound of a dimension (from 1)     | Bound           |
// | 24   | text of a name or string, or null       | TextOf          |
// | 25   | number of dimensions                    | DimensionCount  |
// | 27   | set the bounds of a dimension           | SetBounds       |
// | 28   | number of elements                      | ElementCount    |
// | 30   | upper bound of a dimension (from 1)     | Bound           |
//
// Every failure is raised through slot 12 after everything the call took has been freed, since
// slot 12 unwinds the call without returning (by an exception or a jump).
//
// One engine per process, opened by MatlabOpenEngine and held until MatlabCloseEngine.
// Single-threaded.

#include "tovu/storage.h"

extern "C" {

using KernelValue = DagWord*;
using KernelSlot = void (*)();

namespace engbridge_slots {
using MakeComplexArray = KernelValue (*)(KernelValue real, KernelValue imaginary);
using NewHfarray = KernelValue (*)(int dimensions, long elements);
using MakeInteger = KernelValue (*)(long value);
using MakeComplexFloat = KernelValue (*)(double real, double imaginary);
using HfarrayData = double* (*)(KernelValue array);
using MakeFloat = KernelValue (*)(double value);
using RaiseError = void (*)(const char* message);
using IsHfarray = int (*)(KernelValue value);
using Bound = long (*)(KernelValue array, int dimension);
using TextOf = const char* (*)(KernelValue value);
using DimensionCount = int (*)(KernelValue array);
using SetBounds = void (*)(KernelValue array, int dimension, long lower, long upper);
using ElementCount = long (*)(KernelValue array);
}  // namespace engbridge_slots

enum : int {
    ENGBRIDGE_SLOT_COMPLEX_ARRAY = 2,
    ENGBRIDGE_SLOT_NEW_HFARRAY = 3,
    ENGBRIDGE_SLOT_INTEGER = 7,
    ENGBRIDGE_SLOT_COMPLEX_FLOAT = 9,
    ENGBRIDGE_SLOT_HFARRAY_DATA = 10,
    ENGBRIDGE_SLOT_FLOAT = 11,
    ENGBRIDGE_SLOT_ERROR = 12,
    ENGBRIDGE_SLOT_IS_HFARRAY = 15,
    ENGBRIDGE_SLOT_LOWER_BOUND = 17,
    ENGBRIDGE_SLOT_TEXT = 24,
    ENGBRIDGE_SLOT_DIMENSIONS = 25,
    ENGBRIDGE_SLOT_SET_BOUNDS = 27,
    ENGBRIDGE_SLOT_ELEMENTS = 28,
    ENGBRIDGE_SLOT_UPPER_BOUND = 30,
    ENGBRIDGE_SLOT_COUNT = 31,
};

// Opens the engine unless one is open; the integer 1.
KernelValue MatlabOpenEngine(const KernelSlot* table);
// Closes the engine if one is open; the integer 1.
KernelValue MatlabCloseEngine(const KernelSlot* table);
// matlab_set(name, real array [, imaginary array]): null (the kernel's 0).
KernelValue MatlabSetVariable(const KernelSlot* table, KernelValue arguments);
// matlab_eval(command): null once the command ran without an error.
KernelValue MatlabExecuteCommand(const KernelSlot* table, KernelValue arguments);
// matlab_get(name): the variable as a float, complex float or array.
KernelValue MatlabGetVariable(const KernelSlot* table, KernelValue arguments);

}  // extern "C"
