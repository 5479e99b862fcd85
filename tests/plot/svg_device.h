#pragma once
// The SVG plot device of the engine's tests: a built-in driver writing the renderer's output as
// an SVG picture of 400 x 400 pixels (view units mapped by x' = 200 + 180 x, y' = 200 - 180 y),
// and its rasterisation by rsvg-convert for pixel checks.  Other devices' tests compare their
// pictures with it.

#include <cstdint>
#include <string>

#include "plot/plot_device.h"

// The "svg" device: renders the plot and writes the document through the byte writer.
std::int32_t svgDriver(const char*, const char*, const char*, const char*, PlotByteWriter writer, int, PlotRecord* plot,
                       const char*, int, int);

int run(const std::string& command);

// Pixel (x, y) of the PNG converted from the SVG, as 0xRRGGBB (via a PPM written by rsvg/convert).
struct Image {
    int w = 0, h = 0;
    std::string data;
    unsigned at(int x, int y) const {
        std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3;
        return (unsigned(static_cast<unsigned char>(data[i])) << 16) | (unsigned(static_cast<unsigned char>(data[i + 1])) << 8) |
               unsigned(static_cast<unsigned char>(data[i + 2]));
    }
};

bool rasterise(const std::string& svg, Image* img);
