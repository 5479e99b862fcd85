#include "html_test_support.h"

#include <gif_lib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kelvo_html_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data())) path_ = buffer.data();
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::uint32_t TestPicture::pixelColor(int x, int y) const {
    static const std::uint32_t palette[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x0080FF};
    return palette[(x * 37 + y * 11) % 4];
}

DecodedGif decodeGif(const std::string& path) {
    DecodedGif result;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return result;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0 && gif->SColorMap) {
        result.ok = true;
        result.frames = gif->ImageCount;
        result.width = gif->SWidth;
        result.height = gif->SHeight;
        const SavedImage& first = gif->SavedImages[0];
        int n = first.ImageDesc.Width * first.ImageDesc.Height;
        for (int i = 0; i < n; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[first.RasterBits[i]];
            result.pixels.push_back((std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue);
        }
    }
    DGifCloseFile(gif, &error);
    return result;
}
