// Whole processes side by side with the peers: the same generated torus as OBJ (v/vt/vn), ASCII
// PLY and OFF, loaded by `solvane-cli info` and by every peer program built beside this one
// (tinyobjloader, rapidobj, assimp, miniply), and the whole `solvane-cli render` of the OBJ next to
// `f3d --output` under xvfb-run. Every process inherits this program's CPU set, the runs of one
// comparison alternate, and the medians of wall time and peak memory are printed with the ratios,
// with the load average before and after (the machine may be shared: read the ratios with it).
// Usage: bench_peers [runs] [rings sides] (default 7 runs of a 1000 x 500 torus, 1M triangles);
// bench_peers 3 2000 1000 runs the 4M-triangle torus.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/obj_generator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Run {
    double seconds = -1;  // negative: the process failed
    double peakMiB = 0;
    std::string errors;   // standard error, for --times
};

Run RunProcess(const std::vector<std::string>& argv, const fs::path& errorFile)
{
    Run run;
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
        if (!std::freopen(errorFile.c_str(), "w", stderr)) _exit(126);
        ::execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.seconds = seconds;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    if (FILE* f = std::fopen(errorFile.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, f)) run.errors += buffer;
        std::fclose(f);
    }
    return run;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string LoadAverage()
{
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) != 3) return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

struct Contender {
    std::string name;
    std::vector<std::string> argv;
    std::vector<double> seconds, peaks;
    std::vector<std::string> errors;
};

// Runs every contender `runs` times, alternating, and prints medians and the ratios against the
// first one (ours).
void Compare(const std::string& title, std::vector<Contender> contenders, int runs, double triangles,
             const fs::path& scratch)
{
    std::printf("== %s (load average %s)\n", title.c_str(), LoadAverage().c_str());
    for (int round = 0; round < runs; ++round) {
        for (Contender& c : contenders) {
            const Run run = RunProcess(c.argv, scratch / "stderr.txt");
            if (run.seconds < 0) continue;
            c.seconds.push_back(run.seconds);
            c.peaks.push_back(run.peakMiB);
            c.errors.push_back(run.errors);
        }
    }
    const double ours = Median(contenders[0].seconds);
    for (const Contender& c : contenders) {
        if (c.seconds.empty()) {
            std::printf("  %-22s failed or not there\n", c.name.c_str());
            continue;
        }
        const double seconds = Median(c.seconds), peak = Median(c.peaks);
        std::printf("  %-22s %7.3f s  peak %7.1f MiB (%5.1f bytes per triangle)", c.name.c_str(), seconds, peak,
                    peak * 1048576.0 / triangles);
        if (&c != &contenders[0]) std::printf("  ours is %.2fx faster", seconds / ours);
        std::printf("\n");
    }
    // What solvane-cli render --times reports, as medians.
    if (!contenders[0].errors.empty() && contenders[0].errors[0].find("frame ") != std::string::npos) {
        std::vector<double> steps[4];
        const char* names[4] = {"load", "compile", "frame", "total"};
        for (const std::string& text : contenders[0].errors) {
            for (int k = 0; k < 4; ++k) {
                const size_t at = text.find(std::string(names[k]) + " ");
                if (at != std::string::npos) steps[k].push_back(std::atof(text.c_str() + at + std::strlen(names[k]) + 1));
            }
        }
        std::printf("  ours by step (medians): load %.3f s, upload %.3f s, first frame %.3f s, total %.3f s\n",
                    Median(steps[0]), Median(steps[1]), Median(steps[2]), Median(steps[3]));
    }
    std::printf("  (load average after: %s)\n", LoadAverage().c_str());
    std::fflush(stdout);
}

// The torus of the OBJ generator as PLY or OFF: positions, then "3 a b c" faces.
void WriteTorusPlyOrOff(const fs::path& path, int rings, int sides, bool ply)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return;
    const long vertices = static_cast<long>(rings) * sides, faces = 2 * vertices;
    if (ply) {
        std::fprintf(out,
                     "ply\nformat ascii 1.0\nelement vertex %ld\nproperty float x\nproperty float y\n"
                     "property float z\nelement face %ld\nproperty list uchar int vertex_indices\nend_header\n",
                     vertices, faces);
    } else {
        std::fprintf(out, "OFF\n%ld %ld 0\n", vertices, faces);
    }
    const double pi = 3.14159265358979323846;
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < sides; ++s) {
            const double u = 2 * pi * r / rings, v = 2 * pi * s / sides;
            std::fprintf(out, "%.6f %.6f %.6f\n", (1 + 0.35 * std::cos(v)) * std::cos(u),
                         (1 + 0.35 * std::cos(v)) * std::sin(u), 0.35 * std::sin(v));
        }
    }
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < sides; ++s) {
            const int a = r * sides + s, b = ((r + 1) % rings) * sides + s;
            const int c = ((r + 1) % rings) * sides + (s + 1) % sides, d = r * sides + (s + 1) % sides;
            std::fprintf(out, "3 %d %d %d\n3 %d %d %d\n", a, b, c, a, c, d);
        }
    }
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int rings = argc > 3 ? std::atoi(argv[2]) : 1000;
    const int sides = argc > 3 ? std::atoi(argv[3]) : 500;
    const double triangles = 2.0 * rings * sides;
    const fs::path self = fs::canonical("/proc/self/exe").parent_path();
    const std::string cli = (self.parent_path() / "tools" / "solvane-cli").string();
    const fs::path dir = fs::temp_directory_path() / ("solvane-bench-peers-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path obj = dir / "torus.obj", ply = dir / "torus.ply", off = dir / "torus.off";
    solvane::bench::WriteTorusObj(obj.string(), rings, sides, solvane::bench::ObjVariant::Triangles);
    WriteTorusPlyOrOff(ply, rings, sides, true);
    WriteTorusPlyOrOff(off, rings, sides, false);
    std::printf("torus of %.0f triangles: OBJ %.1f MB, PLY %.1f MB, OFF %.1f MB; %d runs each, medians\n", triangles,
                fs::file_size(obj) / 1e6, fs::file_size(ply) / 1e6, fs::file_size(off) / 1e6, runs);

    auto peer = [&](const char* name, const char* program, const fs::path& file) {
        const fs::path path = self / program;
        return Contender{name, {fs::exists(path) ? path.string() : std::string("/nonexistent"), file.string()}, {}, {}, {}};
    };
    Compare("OBJ load", {Contender{"solvane-cli info", {cli, "info", obj.string()}, {}, {}, {}},
                         peer("tinyobjloader", "peer_tinyobj_load", obj), peer("rapidobj", "peer_rapidobj_load", obj),
                         peer("assimp", "peer_assimp_load", obj)},
            runs, triangles, dir);
    Compare("PLY load", {Contender{"solvane-cli info", {cli, "info", ply.string()}, {}, {}, {}},
                         peer("assimp", "peer_assimp_load", ply), peer("miniply", "peer_miniply_load", ply)},
            runs, triangles, dir);
    Compare("OFF load", {Contender{"solvane-cli info", {cli, "info", off.string()}, {}, {}, {}},
                         peer("assimp", "peer_assimp_load", off)},
            runs, triangles, dir);
    std::vector<Contender> render = {
        Contender{"solvane-cli render", {cli, "render", obj.string(), (dir / "ours.png").string(), "--times"}, {}, {}, {}}};
    if (std::system("command -v f3d >/dev/null 2>&1 && command -v xvfb-run >/dev/null 2>&1") == 0) {
        render.push_back(Contender{"f3d --output (xvfb-run)",
                                   {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", "f3d", "--resolution=1024,768",
                                    "--output=" + (dir / "f3d.png").string(), obj.string()},
                                   {}, {}, {}});
    }
    Compare("OBJ render to 1024x768 PNG", render, runs, triangles, dir);
    fs::remove_all(dir);
    return 0;
}
