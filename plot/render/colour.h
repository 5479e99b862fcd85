#pragma once
// Colour functions and lighting.  Every drawable takes its colour from the colour function
// chosen per object from its colour value (shading by position, explicit RGB/HUE/HSV data, or
// the default black and white); after the view transform the polygons of a 3-D frame are lit by
// the frame's light model.
//
// State: the shading box, the inverse flag and the current function are process-wide and set by
// select_colour_function; one plot build at a time.
//
// Every channel is clamped to 0..255 before it is packed, so no value (an HSV value above 1, a
// position outside the shading box, a strong light) can spill into the flag bits of a
// ColourWord.  Positions outside the shading box are taken at the nearest point of the box.

#include "plot/render/drawables.h"

enum ColourMode : int { COLOUR_MODE_POINT = 0, COLOUR_MODE_LINE = 1, COLOUR_MODE_PATCH = 2, COLOUR_MODE_TEXT = 3 };

using ColourFunction = ColourWord (*)(const PlotRecord* plot, const PlotDrawables* set, const PlotColour* value,
                                      double x, double y, double z, long index, int mode);

ColourFunction select_colour_function(const PlotRecord* plot, const PlotFrame* frame,
                                      const PlotColour* colour, int inverse);
ColourWord hsv_to_rgb(double hue, double saturation, double value);
ColourWord colour_xyz(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_xy(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_z(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_zhue(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_zgreyscale(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_rgb(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_hue(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_hsv(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int);
ColourWord colour_default(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int mode);

void plot_apply_lighting(const PlotRecord* plot, const PlotFrame* frame, PlotDrawables* set);

// 0..255 from any double (NaN is 0), truncated toward zero.
int colour_channel(double v);
