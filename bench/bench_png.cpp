// PNG decoding speed: a 4000x3000 picture is generated, written with libpng (plain and interlaced)
// and decoded by DecodePng and, as the baseline, by libpng's own simplified reader into RGB. The
// difference is what the reader adds: the chunk walk, the transforms and the bottom-up rows.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "image/readers.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Gradients, waves and a little noise: compresses like a photograph-like texture.
std::vector<uint8_t> Picture()
{
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const double wave = std::sin(x / 37.0) * std::cos(y / 53.0);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
            p[0] = static_cast<uint8_t>(x * 200 / kWidth + 40 * wave + 40 + (noise >> 29));
            p[1] = static_cast<uint8_t>(y * 180 / kHeight + 60 * wave + 60);
            p[2] = static_cast<uint8_t>(128 + 90 * std::sin(x / 211.0 + y / 157.0));
        }
    }
    return rgb;
}

void AppendBytes(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> Encoded(bool interlaced)
{
    static const std::vector<uint8_t> picture = Picture();
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) rows[y] = const_cast<uint8_t*>(&picture[static_cast<size_t>(y) * kWidth * 3]);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &bytes, AppendBytes, nullptr);
        png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, info);
    } else {
        bytes.clear();
    }
    png_destroy_write_struct(&png, &info);
    return bytes;
}

void DecodeOurs(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = Encoded(state.range(0) != 0);
    for (auto _ : state) {
        auto image = solvane::DecodePng(bytes);
        if (!image) state.SkipWithError("refused");
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

void DecodeLibpngSimplified(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = Encoded(state.range(0) != 0);
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 3);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
        image.format = PNG_FORMAT_RGB;
        if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) state.SkipWithError("refused");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

BENCHMARK(DecodeOurs)->Arg(0)->Arg(1)->ArgName("interlaced")->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeLibpngSimplified)->Arg(0)->Arg(1)->ArgName("interlaced")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
