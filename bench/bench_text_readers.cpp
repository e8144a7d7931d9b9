// PLY and OFF load throughput. Generates a 1M-triangle grid in both formats (about 37 MB each) in a
// temporary folder, measures LoadModelFile in-process with Google Benchmark (bytes/s), then prints a
// best-of-three comparison of whole processes: `solvane-cli info FILE` next to assimp (the
// peer_assimp_load program built beside this one, or the `assimp info` command), with the ratio.
// The files are deleted at the end.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "load/dispatch.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A grid of side x side quads split into triangles: (side + 1)^2 vertices, 2 * side^2 triangles.
constexpr int kSide = 708;  // 1,002,528 triangles

struct Generated {
    fs::path folder;
    fs::path ply;
    fs::path off;
};

Generated& Files()
{
    static Generated files;
    return files;
}

void WriteBody(FILE* file)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> height(-0.5f, 0.5f);
    const int n = kSide + 1;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            std::fprintf(file, "%.6f %.6f %.6f\n", x * 0.01f, y * 0.01f, height(random));
        }
    }
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const int a = y * n + x, b = a + 1, c = a + n, d = c + 1;
            std::fprintf(file, "3 %d %d %d\n3 %d %d %d\n", a, b, d, a, d, c);
        }
    }
}

void Generate()
{
    Generated& files = Files();
    files.folder = fs::temp_directory_path() / ("solvane-bench-text-" + std::to_string(::getpid()));
    fs::create_directories(files.folder);
    const long vertices = static_cast<long>(kSide + 1) * (kSide + 1);
    const long faces = 2L * kSide * kSide;

    files.ply = files.folder / "grid.ply";
    FILE* ply = std::fopen(files.ply.c_str(), "w");
    std::fprintf(ply,
                 "ply\nformat ascii 1.0\nelement vertex %ld\nproperty float x\nproperty float y\n"
                 "property float z\nelement face %ld\nproperty list uchar int vertex_indices\n"
                 "end_header\n",
                 vertices, faces);
    WriteBody(ply);
    std::fclose(ply);

    files.off = files.folder / "grid.off";
    FILE* off = std::fopen(files.off.c_str(), "w");
    std::fprintf(off, "OFF\n%ld %ld 0\n", vertices, faces);
    WriteBody(off);
    std::fclose(off);
}

void LoadInProcess(benchmark::State& state, const fs::path& path)
{
    const auto bytes = static_cast<int64_t>(fs::file_size(path));
    for (auto _ : state) {
        solvane::LoadContext ctx;
        auto model = solvane::LoadModelFile(path.string(), ctx);
        if (!model) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(model);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_LoadPly(benchmark::State& state) { LoadInProcess(state, Files().ply); }
void BM_LoadOff(benchmark::State& state) { LoadInProcess(state, Files().off); }
BENCHMARK(BM_LoadPly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadOff)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Seconds of the best of three runs of a command (its output discarded); negative on failure.
double BestProcessSeconds(const std::vector<std::string>& argv)
{
    double best = -1;
    for (int run = 0; run < 3; ++run) {
        std::fflush(stdout);  // the child must not repeat buffered output
        const auto start = Clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> args;
            for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
            if (!std::freopen("/dev/null", "w", stderr)) _exit(126);
            ::execvp(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
        if (best < 0 || seconds < best) best = seconds;
    }
    return best;
}

bool OnPath(const std::string& program)
{
    return std::system(("command -v " + program + " > /dev/null 2>&1").c_str()) == 0;
}

void CompareProcesses()
{
    const fs::path self = fs::canonical("/proc/self/exe").parent_path();
    const fs::path cli = self.parent_path() / "tools" / "solvane-cli";
    const fs::path peer = self / "peer_assimp_load";
    std::vector<std::string> assimp;
    if (fs::exists(peer)) assimp = {peer.string()};
    else if (OnPath("assimp")) assimp = {"assimp", "info"};

    std::printf("\nWhole processes, best of three:\n");
    for (const fs::path& file : {Files().ply, Files().off}) {
        const double megabytes = static_cast<double>(fs::file_size(file)) / 1e6;
        const double ours = fs::exists(cli) ? BestProcessSeconds({cli.string(), "info", file.string()}) : -1;
        std::printf("  %s (%.1f MB): solvane-cli %.3f s (%.0f MB/s)", file.filename().c_str(), megabytes,
                    ours, ours > 0 ? megabytes / ours : 0.0);
        if (assimp.empty()) {
            std::printf(", assimp not installed\n");
            continue;
        }
        std::vector<std::string> argv = assimp;
        argv.push_back(file.string());
        const double theirs = BestProcessSeconds(argv);
        std::printf(", assimp %.3f s (%.0f MB/s), ratio %.2fx\n", theirs,
                    theirs > 0 ? megabytes / theirs : 0.0, ours > 0 && theirs > 0 ? theirs / ours : 0.0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Generate();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CompareProcesses();
    std::error_code error;
    fs::remove_all(Files().folder, error);
    return 0;
}
