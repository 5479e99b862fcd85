// Encoding a 1024x768 picture of many colours (smooth gradients under seeded noise, about
// 200,000 distinct colours) as a GIF: quantiser, pixel mapping and LZW together.  Reports the
// picture's bytes (4 per pixel) encoded per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "image/GifWriter.h"

namespace {

constexpr int WIDTH = 1024;
constexpr int HEIGHT = 768;

struct Picture {
    std::vector<std::uint32_t> pixels;
};

Picture makePicture()
{
    std::mt19937 random(2024);
    Picture picture;
    picture.pixels.reserve(std::size_t{WIDTH} * HEIGHT);
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (WIDTH - 1));
            const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / (HEIGHT - 1));
            const std::uint32_t b = (r + g + random() % 64) & 0xFF;
            picture.pixels.push_back(r << 16 | g << 8 | b);
        }
    return picture;
}

std::uint32_t pixelOf(void* userData, int x, int y)
{
    return static_cast<const Picture*>(userData)->pixels[std::size_t(y) * WIDTH + std::size_t(x)];
}

void BM_gif_write_1024x768_many_colours(benchmark::State& state)
{
    Picture picture = makePicture();
    std::vector<std::uint8_t> out;
    out.reserve(4u << 20);
    const GifByteSink sink = [&out](std::uint8_t byte) {
        out.push_back(byte);
        return true;
    };
    for (auto _ : state) {
        out.clear();
        if (gif_write(sink, pixelOf, &picture, nullptr, HEIGHT, WIDTH, 0) != GifStatus::ok)
            state.SkipWithError("gif_write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * WIDTH * HEIGHT * 4);
    state.counters["gif_bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_gif_write_1024x768_many_colours)->Unit(benchmark::kMillisecond);

} // namespace
