#pragma once
// The MATLAB engine interface over GNU Octave: the engine calls (eng...) and the array calls
// (mx...) that the engine bridge makes, in C linkage, shaped as the outside vendor's published
// interface shapes them.
//
// An engine is an `octave-cli` child process (or the program named by the start command or the
// environment variable KELVO_OCTAVE) reached through pipes: commands on its standard input, its
// standard output and error together on one pipe, and two pipes of its own for array data.
// Engines are not shared between threads.
//
// An array is of class double, real or complex, of any number (at least 2) of dimensions; each
// part (real, imaginary) is one column-major block of its own.  Results: 0 for done, 1 for failure,
// null for none.  The caller owns every array it is handed and frees it with mxDestroyArray.

#include <cstddef>

extern "C" {

typedef struct KelvoEngine Engine;
typedef struct KelvoMxArray mxArray;

// Complexity arguments and the one class of array there is.
enum { mxREAL = 0, mxCOMPLEX = 1 };
enum { mxDOUBLE_CLASS = 6 };

// Starts the engine: `startcmd` (when not empty) names the program, else KELVO_OCTAVE, else
// octave-cli; no shell is involved.  Null when the program does not start or does not answer
// within 30 seconds (nothing of it is left behind).
Engine* engOpen(const char* startcmd);
// Asks the engine to exit, waits up to 5 seconds, then kills it; always reaps and frees it.
// 0, or 1 for a null engine.
int engClose(Engine* ep);
// Runs the command.  0 once the engine has run it, whether or not it raised an error (the error
// shows in the output and in lasterr); 1 when the engine is gone or a pipe broke.
int engEvalString(Engine* ep, const char* command);
// Each later engEvalString puts ">> " and the command's output into buffer, cut to size - 1
// bytes and terminated.  A null buffer or a size of 0 stops capturing.  0, or 1 for a null engine.
int engOutputBuffer(Engine* ep, char* buffer, int size);
// The variable `name` of the engine as an array of class double (numeric, logical and
// character values converted, sparse made full); null for a missing variable, one of another
// class, a name that is not an identifier, or a broken engine.
mxArray* engGetArray(Engine* ep, const char* name);
// Assigns the array to the engine variable of the array's name.  1 when the name is not an
// identifier, the engine refuses it, or the engine is gone.
int engPutArray(Engine* ep, const mxArray* array);

mxArray* mxCreateDoubleMatrix(int m, int n, int complexity);
mxArray* mxCreateNumericArray(int ndim, const int* dims, int classId, int complexity);
void mxDestroyArray(mxArray* array);
const int* mxGetDimensions(const mxArray* array);
int mxGetN(const mxArray* array);
int mxGetNumberOfDimensions(const mxArray* array);
size_t mxGetNumberOfElements(const mxArray* array);
double* mxGetPr(const mxArray* array);
double* mxGetPi(const mxArray* array);
bool mxIsComplex(const mxArray* array);
bool mxIsDouble(const mxArray* array);
bool mxIsEmpty(const mxArray* array);
void mxSetName(mxArray* array, const char* name);

}  // extern "C"
