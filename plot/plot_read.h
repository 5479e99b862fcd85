#pragma once
// The plot structure reader: the one reader of the kernel's PLOT and PLOT3D structures.  It turns
// the argument sequence of a PLOT (dimension 2) or PLOT3D (dimension 3) call into a PlotRecord
// (plot_types.h) in the caller's storage area, with every option and object, the defaults, the
// animation frames and the bounding boxes.
//
// Every failure is raised through tovu_error / tovu_error_fmt with the fixed message of the
// malformed element and does not return; the caller holds a TovuHandlerGuard and frees the
// area.  Nothing of a half-built record needs cleaning up one by one.
//
// The reader checks every DAG it touches: null operands, operands of the wrong type, HFARRAYs
// whose element count disagrees with their bounds, and non-finite numbers (an undefined
// coordinate, never a crash), since structures also come from files and pipes.
//
// State: one read at a time (the current option records, the ANIMATE flag and the font lookup
// table are module state).

#include "plot/plot_types.h"

PlotRecord* plot_read_structure(const DagWord* structure, int dimension, StorageArea* area);

// One option written inside an object, applied to the object's own options; `count` is the
// number of colour values the object expects.
void plot_read_object_option(PlotRecord* plot, PlotObject* object, const DagWord* element,
                             long count);
