#pragma once
// The plot device table and drivers: up to 50 devices, built in or loaded from a driver
// library named after the device, and plot_to_device, which reads a plot structure, opens the
// output when one is needed and calls the device's driver under an error guard.
//
// Driver libraries: "<device>.so" in the program's driver folder only (plot_driver_folder), a
// device name of letters, digits, "_" and "-" only; the entry is "dllPlotDriverEntry".  The
// library's error callback records the message and the error is raised when the entry returns,
// so no exception crosses the library's frames.
//
// plot_write_byte buffers what it is given and plot_to_device writes it out before it closes the
// output; a failed write raises "could not write the plot output".
//
// Output files are created with mode 0644 (less the umask).  The plot's storage area is handed
// to a built-in driver's object only after the driver succeeded; on every failure it is freed.

#include <cstdint>

#include "plot/plot_types.h"

struct InterfaceSettings;

using PlotByteWriter = void (*)(void* context, int byte);
using PlotErrorReporter = void (*)(void* context, const char* message);
using PlotDriver = std::int32_t (*)(const char* device, const char* preplot, const char* postplot,
                                    const char* options, PlotByteWriter writer, int dimension,
                                    PlotRecord* plot, const char* output, int screenHeight, int screenWidth);
extern "C" {
using PlotLibraryDriver = std::int32_t (*)(const char* device, const char* preplot, const char* postplot,
                                           const char* options, PlotByteWriter writer, int dimension,
                                           PlotRecord* plot, const char* output, int screenHeight,
                                           int screenWidth, void (*binary)(), void (*error)(const char*));
}

struct PlotDriverEntry {
    const char* device;    // null marks a free entry
    PlotDriver builtIn;    // or null
    const char* library;   // or null
};

constexpr int PLOT_DRIVER_MAX = 50;

int plot_driver_register(const char* device, PlotDriver builtIn, const char* library);
int plot_driver_find(const char* device);   // 0 built in, 1 needs a library
std::int32_t plot_driver_call(const char* device, const char* preplot, const char* postplot, const char* options,
                              PlotByteWriter writer, int fd, int dimension, PlotRecord* plot, const char* output,
                              int screenHeight, int screenWidth);
std::int32_t plot_driver_dll_call(const char* device, const char* preplot, const char* postplot, const char* options,
                                  PlotByteWriter writer, int dimension, PlotRecord* plot, const char* output,
                                  int screenHeight, int screenWidth);
// 0, 1 (no such library, or a device name that may not name one) or 20 (no entry).
int plot_driver_load(const char* device, void** handle, PlotLibraryDriver* entry);
int plot_to_device(const DagWord* structure, PlotByteWriter writer, PlotErrorReporter reporter, int allocatorFlag,
                   const InterfaceSettings* settings, int dimension, void* context);
void plot_write_byte(void* context, int byte);
void plot_output_binary();

// The folder driver libraries are loaded from; set by start-up (and tests).
void plot_set_driver_folder(const char* folder);
const char* plot_driver_folder();
// Empties the table and unloads the library (tests only).
void plot_driver_reset();
