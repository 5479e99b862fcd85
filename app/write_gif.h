#pragma once
// write_gif: a GUI-layer bitmap as a GIF file (a picture, or a frame of an animation by the GIF
// writer's flags) into a stream, through the same picture path as the HTML export.

#include <iosfwd>

class Bitmap;

// False, with the stream possibly holding part of the file, when the bitmap is empty or too
// large for the format, or the stream fails.
bool write_gif(std::ostream& stream, const Bitmap& bitmap, unsigned flags);
