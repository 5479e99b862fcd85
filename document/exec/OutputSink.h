#pragma once
// OutputSink: where the worksheet document delivers the kernel's replies for the statements
// parsed from one input region.  The document calls, for one region:
//
//   beginOutput  output(dag, kind)*  endOutput        (the region ran to its end)
//   beginOutput  output(dag, kind)*  resetOutput      (an interrupt drained the queue)
//
// and, while a READLINE request waits, newTextInputRegion.  A region that parses to nothing
// gets beginOutput and endOutput only; a region with a syntax error gets beginOutput, one
// output of kind Error or Incomplete, endOutput.
//
// The DAG handed to output() is borrowed for the call: it lives in a storage area the document
// frees later, so a sink that keeps it copies it.  The document never passes kind Done.
//
// Implementations: the execution group, the session group, the document's discarding sink,
// the result sink of plot regions, and the recording sink of the tests.

#include "tovu/dag.h"

// The code that comes with each reply.
enum OutputKind : int {
    kOutputAdvance = 0,        // fixed answers only: move on to the next input
    kOutputNone = 1,           // fixed answers only: nothing
    kOutputResult = 2,         // a result
    kOutputWarning = 3,        // a warning: a message, or (position, message)
    kOutputError = 4,          // an error: a message, or the pair (position, message)
    kOutputDiagnostic = 5,     // a diagnostic
    kOutputDone = 6,           // the statement is done (taken by the document itself)
    kOutputText = 7,           // line-printed text
    kOutputPlot = 8,           // a 2-D plot
    kOutputPlot3D = 9,         // a 3-D plot
    kOutputSmartPlot2D = 10,   // a smart 2-D plot
    kOutputSmartPlot3D = 11,   // a smart 3-D plot
    kOutputIncomplete = 12,    // an unfinished statement: the pair (position, message)
};

class OutputSink {
public:
    virtual ~OutputSink() = default;

    // The region's first output is about to come.  Base: nothing.
    virtual void beginOutput() {}
    // The region ran to its end.  Base: nothing.  A sink may delete itself here (the
    // document's discarding sink does), so the caller must not touch it afterwards.
    virtual void endOutput() {}
    // The region was cut short (interrupt, dead link): clear whatever marks it as running.
    virtual void resetOutput() = 0;
    // One reply of the given kind; the answer is the sink's own and the document ignores it.
    virtual bool output(Dag dag, int kind) = 0;
    // A READLINE request wants a place to type: move to, or insert, the next one-dimensional
    // text input region.  Answers true when the answer is already available (no wait needed).
    virtual bool newTextInputRegion() = 0;
};
