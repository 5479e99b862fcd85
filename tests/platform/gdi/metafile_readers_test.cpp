// The metafile bytes checked by independent readers: wmf2svg (libwmf-bin) for the placeable
// Windows metafile, emf2svg-conv (emf2svg) for the enhanced one, rsvg-convert (librsvg2-bin)
// rendering the SVG.  Each test is skipped when its program is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/placeable.h"
#include "tests/platform/gdi/gdi_test_util.h"

namespace {

namespace fs = std::filesystem;

bool haveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

class MetafileReaders : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(KELVO_BINARY_DIR) / "gdi_readers" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    static void write(const fs::path& p, const std::vector<uint8_t>& b) {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<long>(b.size()));
    }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Runs the command with its output into the folder's log; its exit status.
    int run(const std::string& command) {
        return std::system((command + " >" + (dir_ / "log.txt").string() + " 2>&1").c_str());
    }
    fs::path dir_;
};

TEST_F(MetafileReaders, Wmf2svgAcceptsThePlaceableSampleAndRsvgRendersIt) {
    if (!haveProgram("wmf2svg") || !haveProgram("rsvg-convert")) GTEST_SKIP() << "wmf2svg or rsvg-convert missing";
    HDC dc = CreateMetaFileA(nullptr);
    gdi_test::recordSample(dc, nullptr);
    HMETAFILE mf = CloseMetaFile(dc);
    std::vector<uint8_t> file(PLACEABLE_HEADER_BYTES);
    placeable_header_write(placeable_header_make(1440, 1000, 1440), file.data());
    const std::vector<uint8_t> bits = gdi_test::metafileBits(mf);
    file.insert(file.end(), bits.begin(), bits.end());
    DeleteMetaFile(mf);
    write(dir_ / "sample.wmf", file);

    ASSERT_EQ(run("wmf2svg -o " + (dir_ / "sample.svg").string() + " " + (dir_ / "sample.wmf").string()), 0)
        << read(dir_ / "log.txt");
    const std::string svg = read(dir_ / "sample.svg");
    EXPECT_NE(svg.find("x+y"), std::string::npos) << svg;
    EXPECT_NE(svg.find("proc"), std::string::npos);
    EXPECT_NE(svg.find("<polyline"), std::string::npos);

    // wmf2svg copies the text bytes into the SVG unchanged and declares no encoding; the
    // renderer wants UTF-8, so the cp1252 and Symbol bytes are widened as Latin-1 first.
    std::string utf8;
    for (unsigned char c : svg) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    std::ofstream(dir_ / "sample-utf8.svg", std::ios::binary) << utf8;
    ASSERT_EQ(run("rsvg-convert -o " + (dir_ / "sample.png").string() + " " + (dir_ / "sample-utf8.svg").string()), 0)
        << read(dir_ / "log.txt");
    const std::string png = read(dir_ / "sample.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

TEST_F(MetafileReaders, Emf2svgAcceptsTheEnhancedSample) {
    if (!haveProgram("emf2svg-conv")) GTEST_SKIP() << "emf2svg-conv missing";
    const RECT frame{0, 0, 38100, 26458};  // 1440 x 1000 pixels of the reference screen
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, "Orvane Inc\0Math Expression\0");
    gdi_test::recordSample(dc, nullptr);
    HENHMETAFILE mf = CloseEnhMetaFile(dc);
    const std::vector<uint8_t> bits = gdi_test::enhMetafileBits(mf);
    DeleteEnhMetaFile(mf);
    write(dir_ / "sample.emf", bits);

    ASSERT_EQ(run("emf2svg-conv -i " + (dir_ / "sample.emf").string() + " -o " + (dir_ / "sample.svg").string()), 0)
        << read(dir_ / "log.txt");
    const std::string svg = read(dir_ / "sample.svg");
    EXPECT_NE(svg.find("x+y"), std::string::npos) << svg;
    EXPECT_NE(svg.find("proc"), std::string::npos);
}

}  // namespace
