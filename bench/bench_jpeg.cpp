// JPEG decoding speed: a 4000x3000 colour picture is generated, compressed with cjpeg (baseline
// 4:2:0, quality 90, and a progressive twin) and decoded by ReadJpegFile and by djpeg in the same
// run. cjpeg and djpeg come from libjpeg-turbo's command-line tools; without them the comparison is
// skipped. Nothing is kept: the files live in a scratch folder removed at the end.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "image/jpeg.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
// The decoder may take at most this many times djpeg's time.
constexpr double kAllowedRatio = 3.0;

bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

// Smooth gradients and waves with some noise, like a photograph's mix of flat and busy areas.
void WritePicture(const std::filesystem::path& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kWidth << " " << kHeight << "\n255\n";
    std::vector<unsigned char> row(static_cast<size_t>(kWidth) * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int jitter = static_cast<int>(noise >> 28) - 8;
            const double wave = std::sin(x / 37.0) * std::cos(y / 53.0);
            const double ripple = std::sin((x + y) / 9.0) * ((x / 500 + y / 500) % 2 ? 30 : 4);
            const int red = static_cast<int>(x * 200.0 / kWidth + 40 * wave + ripple) + jitter;
            const int green = static_cast<int>(y * 180.0 / kHeight + 60 * wave) + jitter;
            const int blue = static_cast<int>(128 + 90 * std::sin(x / 211.0 + y / 157.0) - ripple) + jitter;
            row[3 * x] = static_cast<unsigned char>(std::clamp(red, 0, 255));
            row[3 * x + 1] = static_cast<unsigned char>(std::clamp(green, 0, 255));
            row[3 * x + 2] = static_cast<unsigned char>(std::clamp(blue, 0, 255));
        }
        out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
}

// CPU time, user and system, of this process and of its waited-for children: steadier than wall
// time on a shared machine, and it counts djpeg's own work without the process start-up wait.
double OwnCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

extern "C" char** environ;

// Runs djpeg on the file, writing its PPM to /dev/null; false when it fails.
bool RunDjpeg(const std::string& path)
{
    std::string arguments[] = {"djpeg", "-dct", "int", "-outfile", "/dev/null", path};
    char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(), arguments[3].data(),
                    arguments[4].data(), arguments[5].data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "djpeg", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Timings {
    double best = std::numeric_limits<double>::max();
    void Add(double seconds) { best = std::min(best, seconds); }
};

Timings g_ownBaseline, g_djpegBaseline, g_ownProgressive, g_djpegProgressive;

void DecodeOwn(benchmark::State& state, const std::string& path, Timings* timings)
{
    for (auto _ : state) {
        const double start = OwnCpuSeconds();
        auto image = solvane::ReadJpegFile(path.c_str());
        if (!image) {
            state.SkipWithError("the decoder refused the file");
            return;
        }
        benchmark::DoNotOptimize(image->pixels.data());
        image.reset();
        const double seconds = OwnCpuSeconds() - start;
        state.SetIterationTime(seconds);
        timings->Add(seconds);
    }
}

void DecodeDjpeg(benchmark::State& state, const std::string& path, Timings* timings)
{
    // The accurate integer inverse DCT, writing a PPM that is thrown away.
    for (auto _ : state) {
        const double start = ChildrenCpuSeconds();
        if (!RunDjpeg(path)) {
            state.SkipWithError("djpeg failed");
            return;
        }
        const double seconds = ChildrenCpuSeconds() - start;
        state.SetIterationTime(seconds);
        timings->Add(seconds);
    }
}

void Compare(const char* what, const Timings& own, const Timings& djpeg)
{
    if (own.best == std::numeric_limits<double>::max() || djpeg.best == std::numeric_limits<double>::max()) return;
    const double ratio = own.best / djpeg.best;
    std::printf("%s: ReadJpegFile %.1f ms, djpeg %.1f ms (CPU time, best run): %.2fx djpeg, limit %.1fx: %s\n", what,
                own.best * 1e3, djpeg.best * 1e3, ratio, kAllowedRatio, ratio <= kAllowedRatio ? "within" : "OVER");
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!HaveTool("cjpeg") || !HaveTool("djpeg")) {
        std::printf("cjpeg/djpeg not found (Debian package libjpeg-turbo-progs): comparison skipped\n");
        return 0;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("solvane-bench-jpeg-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string picture = (folder / "picture.ppm").string();
    const std::string baseline = (folder / "baseline.jpg").string();
    const std::string progressive = (folder / "progressive.jpg").string();
    WritePicture(picture);
    const bool made = std::system(("cjpeg -quality 90 -outfile '" + baseline + "' '" + picture + "'").c_str()) == 0 &&
                      std::system(("cjpeg -quality 90 -progressive -outfile '" + progressive + "' '" + picture + "'")
                                      .c_str()) == 0;
    if (!made) {
        std::printf("cjpeg failed: comparison skipped\n");
        std::filesystem::remove_all(folder);
        return 0;
    }
    std::printf("4000x3000 quality 90 4:2:0: baseline %ju bytes, progressive %ju bytes\n",
                static_cast<uintmax_t>(std::filesystem::file_size(baseline)),
                static_cast<uintmax_t>(std::filesystem::file_size(progressive)));

    benchmark::RegisterBenchmark("ReadJpegFile/baseline", DecodeOwn, baseline, &g_ownBaseline)
        ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
    benchmark::RegisterBenchmark("djpeg/baseline", DecodeDjpeg, baseline, &g_djpegBaseline)
        ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
    benchmark::RegisterBenchmark("ReadJpegFile/progressive", DecodeOwn, progressive, &g_ownProgressive)
        ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
    benchmark::RegisterBenchmark("djpeg/progressive", DecodeDjpeg, progressive, &g_djpegProgressive)
        ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
    // The Time column is the CPU time measured above (manual time), not the wall clock.
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    Compare("baseline", g_ownBaseline, g_djpegBaseline);
    Compare("progressive", g_ownProgressive, g_djpegProgressive);
    std::filesystem::remove_all(folder);
    return 0;
}
