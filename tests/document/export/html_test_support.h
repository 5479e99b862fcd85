#pragma once
// Shared by the HTML export tests: a temporary export folder, file reading, a picture source of
// fixed pixels, and GIF decoding through giflib.

#include <cstdint>
#include <string>
#include <vector>

#include "document/export/HtmlExporter.h"

// A folder under $TMPDIR removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    FilePath filePath(const std::string& name) const { return FilePath::fromNative(file(name)); }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// width x height pixels, colour (x * 37 + y * 11) % 4 of a four-colour palette; `fails`: the
// picture cannot render.
class TestPicture : public HtmlPictureSource {
public:
    TestPicture(int width, int height, bool fails = false) : width_(width), height_(height), fails_(fails) {}
    bool renderPixels() override { return !fails_; }
    int pixelWidth() const override { return width_; }
    int pixelHeight() const override { return height_; }
    std::uint32_t pixelColor(int x, int y) const override;

private:
    int width_, height_;
    bool fails_;
};

struct DecodedGif {
    bool ok = false;
    int frames = 0;
    int width = 0, height = 0;
    // The first frame's pixels as 0x00RRGGBB through the global palette.
    std::vector<std::uint32_t> pixels;
};
DecodedGif decodeGif(const std::string& path);
