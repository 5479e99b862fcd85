#pragma once
// Tick sets and number labels: round values over a range (steps of 1, 2 or 5 times a power of
// ten) with printed labels, or the positions a plot gives.  Used by the axes and for contour
// levels.
//
// Limits: a wanted count above TICK_MAX_WANTED is taken as TICK_MAX_WANTED and no set holds more
// than TICK_MAX_BUILT ticks; a zero, negative or non-finite step, or a non-finite range, gives
// no ticks.  So no option can make the renderer allocate without bound or loop for ever.

#include "plot/plot_types.h"

constexpr int TICK_MAX_WANTED = 1000;
constexpr int TICK_MAX_BUILT = 10000;

// A new set in the area (sharing the tick request's positions and, for kind 3, labels), or
// null when there are no ticks.
TickSet* tick_set_build(StorageArea* area, double lo, double hi, int wanted, double minStep,
                        const TickSet* spec, int subdivision);
void tick_nice_step(double lo, double hi, int count, double minStep, double* first, double* step);
// Shortens a three-digit exponent with a leading 0 ("1e+005" -> "1e+05") in place.
void tick_label_trim_exponent(char* text);
