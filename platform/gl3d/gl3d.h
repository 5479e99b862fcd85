#pragma once
// The 3-D plot library (libgl3d.so): the 19 entries through which the worksheet program's plot
// windows and regions draw kernel plots (PlotRecord, plot/plot_types.h), with C linkage, and the
// call that binds the target they draw into.
//
// No OpenGL: every picture is drawn by the plot engine's renderer (plot/render/pipeline.h) onto
// the GUI layer's OutputDevice that gl3dMakeCurrent bound, so a plot looks the same on screen,
// off screen and in print, pixel for pixel.
//
// Handles: oglPlotInitialize answers a number above 0, never reused within a run, that belongs
// to the plot it was made for and holds that plot's drawables, drawing size, background and
// view state until oglExit.  Every entry that takes a handle refuses (answers -1, draws nothing,
// writes no output) a handle that is 0, unknown or released, and a plot other than the handle's.
//
// Positions are doubles in pixels of the drawing area (0, 0, width, height) at the target's
// origin, y counted up from the area's bottom unless an entry says otherwise.  Nothing is drawn
// outside the drawing area, so a larger target keeps its own pixels there.
//
// Orientation: turning a 3-D plot changes the plot record's own orientation
// (plot->options.orientation: theta the first angle, phi the second, both in -180..180); a plot
// without one gets one (45, 45, orthogonal) in the plot's storage area at the first turn.
//
// Font table (the caller's block of GL3D_FONT_TABLE_BYTES; plain 32-bit values, so the caller
// may free it at any time):
//
// | offset | size | meaning                                                              |
// |--------|------|----------------------------------------------------------------------|
// | 0      | 4    | GL3D_FONT_TABLE_MAGIC once SetupFonts filled it; 0 in a zeroed table |
// | 4      | 4    | resolution in dots per inch                                          |
// | 8      | 4    | number n of plot fonts with an id below                              |
// | 12     | 4    | font id of the default text font (helvetica, 8 points)               |
// | 16     | 4    | font id of the title font (times, 14 points)                         |
// | 20     | 4 n  | font id of plot font 1 .. n (n at most GL3D_FONT_TABLE_FONTS)         |
//
// A font id (from 1) names a font description the library keeps for the run, each description
// once.  Plot fonts beyond GL3D_FONT_TABLE_FONTS are drawn with the default text font.  Texts
// are drawn resolution x points / 72 pixels high (1 .. 4096) in the faces the glw queries name;
// no glyph bitmaps are made, and the glyph and free callbacks are never called.
//
// Single-threaded: the GUI thread.  No exception leaves an entry.

#include <cstddef>
#include <cstdint>

struct PlotRecord;
class OutputDevice;

#define GL3D_EXPORT __attribute__((visibility("default")))

inline constexpr std::size_t GL3D_FONT_TABLE_BYTES = 15712;
inline constexpr std::int32_t GL3D_FONT_TABLE_MAGIC = 0x4b334446;   // "K3DF"
inline constexpr int GL3D_FONT_TABLE_HEADER = 5;                     // 32-bit words before the ids
inline constexpr int GL3D_FONT_TABLE_FONTS =
    static_cast<int>(GL3D_FONT_TABLE_BYTES / 4) - GL3D_FONT_TABLE_HEADER;

extern "C" {

// Asked for a glyph bitmap (character, font id, resolution, out bitmap, out byte count, out
// width, out height, out origin x, out origin y, two out metrics); 1 when one was made.
using Gl3dGlyphCallback = int (*)(int character, int fontId, int resolution, unsigned char** bitmap,
                                  int* byteCount, int* width, int* height, int* originX, int* originY,
                                  int* metric1, int* metric2);
// Frees a bitmap the glyph callback made and sets the pointer to null.
using Gl3dFreeCallback = void (*)(unsigned char** bitmap);

// The handle for `plot` drawn at width x height (x and y are not used; `smart` changes
// nothing); -1 for a null plot or when the handles are used up.
GL3D_EXPORT int oglPlotInitialize(PlotRecord* plot, int x, int y, int width, int height, int smart);
// The background, each channel 0..1 (clamped; NaN counts as 0), rounded to 8 bits.  0 or -1.
GL3D_EXPORT int oglSetBackground(int handle, float red, float green, float blue);
// Builds every frame's drawables from the plot record as it stands (the style and the two
// reserved values, which callers pass as 100, change nothing).  0, or -1 when refused or the build failed (then only the background is drawn).
GL3D_EXPORT int oglCreateObjects(int handle, PlotRecord* plot, int style, int reserved1, int reserved2);
// Fills the drawing area with the background and draws frame `frame` (from 0) of the drawables
// oglCreateObjects built.  A frame outside the plot's, or no drawables, draws the background
// only.  -1 when refused, when no target is current or the drawing size is empty (nothing drawn).
GL3D_EXPORT int oglRedraw(int handle, PlotRecord* plot, int frame, int flags);
// The drawing size; x and y are not used.
GL3D_EXPORT int oglResize(int handle, PlotRecord* plot, int x, int y, int width, int height);
// The plot part under (x, y) in the frame last drawn: the object's number in its frame less 1,
// -1 for none (and when refused).
GL3D_EXPORT int oglMouseMove(int handle, double x, double y, PlotRecord* plot);
// Turning: between start and end a frame of more polygons than the box threshold is drawn as
// its view box and axes only.  The other arguments change nothing.
GL3D_EXPORT int oglStartAction(int handle, PlotRecord* plot, int reserved1, int reserved2, int reserved3);
// Turns a 3-D plot by the motion from (px, py) to (x, y): the second angle decreases by
// dx x 180 / width, the first grows by dy x 180 / height.  2-D plots do not change.
GL3D_EXPORT int oglAction(int handle, double x, double y, double px, double py, PlotRecord* plot);
GL3D_EXPORT int oglEndAction(int handle, PlotRecord* plot, int reserved1, int reserved2);
// Plot coordinates of the pixel (x, y), y counted down from the area's top, of a 2-D plot in
// the frame last drawn (frame 0 before any drawing).  0, or -1 (outputs untouched).
GL3D_EXPORT int ogl2dCoordToPlot(int handle, PlotRecord* plot, double x, double y, double* plotX, double* plotY);
// The next oglRedraw uses the plot's projection, or lighting, as it now stands.
GL3D_EXPORT int oglPerspective(int handle, PlotRecord* plot, double aspect);
GL3D_EXPORT int oglChangeLighting(int handle, PlotRecord* plot);
// Releases the handle and everything it holds; a second call is refused harmlessly.
GL3D_EXPORT int oglExit(int handle);

// Fills the font table for `plot` (null: the default fonts only) at `resolution` dots per inch
// (-1: the screen's; the device context is not used).  0, or -1 for a null table.
GL3D_EXPORT int SetupFonts(void* deviceContext, PlotRecord* plot, void* fontTable, int resolution, Gl3dGlyphCallback glyph,
               Gl3dFreeCallback release);
// Texts are drawn with the fonts of this table from now on (its values are copied; a zeroed
// table or null means the default fonts at the screen's resolution).
GL3D_EXPORT int ActivateFonts(void* fontTable);
// The face name of a font id ("" for an unknown id), its size in points, and non-zero when bold
// or oblique.
GL3D_EXPORT const char* glwFontName(int fontId);
GL3D_EXPORT int glwPointSize(int fontId);
GL3D_EXPORT int glwFontIsBold(int fontId);
GL3D_EXPORT int glwFontIsOblique(int fontId);

}  // extern "C"

// The device the entries draw into from now on (null: nothing is drawn).  Not owned; the caller
// keeps it alive while it is current.
GL3D_EXPORT void gl3dMakeCurrent(OutputDevice* device);

// Frames of more polygons than this are drawn as their view box while being turned.  Answers
// the previous value (tests lower it).
GL3D_EXPORT long gl3dSetBoxThreshold(long polygons);
