// OBJ load throughput and memory. Generates a 1M-triangle torus (about 105 MB), a quad variant
// and a 20-material variant, then measures:
//   - in-process LoadModelFile time (best of three) and MB/s, and the model's resident bytes per
//     triangle;
//   - whole-process time and peak memory of `solvane-cli info FILE`, next to the peer loaders
//     (tinyobjloader, assimp) when they were built, with the ratios.
// Usage: bench_obj [rings sides] (default 1000 x 500 = 1M triangles).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/obj_generator.h"
#include "load/dispatch.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct ProcessRun {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

ProcessRun RunProcess(const std::vector<std::string>& argv)
{
    ProcessRun run;
    std::fflush(stdout);  // the child must not repeat buffered output
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
        ::execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

size_t ModelBytes(const solvane::Model& model)
{
    size_t bytes = sizeof(model);
    for (const auto& mesh : model.subMeshes) {
        bytes += sizeof(mesh) + mesh.vertices.capacity() * 4 + mesh.faceOffsets.capacity() * 4 +
                 mesh.faceIndices.capacity() * 4 + mesh.faceTexCoordIndices.capacity() * 4 +
                 mesh.faceContours.capacity() * 4 + mesh.faceMaterials.capacity() * 4 +
                 mesh.normals.capacity() * 4 + mesh.texCoords.capacity() * 4;
    }
    return bytes;
}

long ResidentKiB()
{
    FILE* statm = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

fs::path SelfDir()
{
    return fs::canonical("/proc/self/exe").parent_path();
}

}  // namespace

int main(int argc, char** argv)
{
    const int rings = argc > 2 ? std::atoi(argv[1]) : 1000;
    const int sides = argc > 2 ? std::atoi(argv[2]) : 500;
    const fs::path dir = fs::temp_directory_path() / ("solvane-bench-obj-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    const fs::path cli = SelfDir().parent_path() / "tools" / "solvane-cli";
    const fs::path tinyobj = SelfDir() / "peer_tinyobj_load";
    const fs::path assimp = SelfDir() / "peer_assimp_load";

    struct Variant {
        const char* name;
        solvane::bench::ObjVariant kind;
    };
    const Variant variants[] = {{"triangles", solvane::bench::ObjVariant::Triangles},
                                {"quads", solvane::bench::ObjVariant::Quads},
                                {"20 materials", solvane::bench::ObjVariant::Materials20}};
    for (const Variant& variant : variants) {
        const fs::path file = dir / "torus.obj";
        const long faces = solvane::bench::WriteTorusObj(file.string(), rings, sides, variant.kind);
        const double megabytes = static_cast<double>(fs::file_size(file)) / 1e6;
        std::printf("== %s: %.1f MB, %ld faces, %d vertices\n", variant.name, megabytes, faces, rings * sides);

        double best = 1e30;
        size_t modelBytes = 0;
        long residentDelta = 0;
        for (int round = 0; round < 3; ++round) {
            const long before = ResidentKiB();
            solvane::LoadContext ctx;
            const auto start = Clock::now();
            auto model = solvane::LoadModelFile(file.string(), ctx);
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (!model) {
                std::printf("load failed: %d\n", ctx.result.load());
                return 1;
            }
            best = std::min(best, seconds);
            modelBytes = ModelBytes(*model);
            residentDelta = ResidentKiB() - before;
        }
        const long triangles = variant.kind == solvane::bench::ObjVariant::Quads ? 2 * faces : faces;
        std::printf("in-process load: %.3f s, %.0f MB/s; model %.1f bytes per triangle (resident growth %.1f)\n",
                    best, megabytes / best, static_cast<double>(modelBytes) / triangles,
                    residentDelta * 1024.0 / triangles);

        const ProcessRun ours = RunProcess({cli.string(), "info", file.string()});
        std::printf("solvane-cli info: %.3f s, %.0f MB/s, peak %.0f MiB (status %d)\n", ours.seconds,
                    megabytes / ours.seconds, ours.peakKiB / 1024.0, ours.status);
        for (const auto& [name, peer] : {std::pair{"tinyobjloader", tinyobj}, std::pair{"assimp", assimp}}) {
            if (!fs::exists(peer)) {
                std::printf("%s: not built (install its -dev package and reconfigure)\n", name);
                continue;
            }
            const ProcessRun run = RunProcess({peer.string(), file.string()});
            std::printf("%s: %.3f s, %.0f MB/s, peak %.0f MiB (status %d); ours is %.1fx faster, %.1fx less memory\n",
                        name, run.seconds, megabytes / run.seconds, run.peakKiB / 1024.0, run.status,
                        run.seconds / ours.seconds, static_cast<double>(run.peakKiB) / ours.peakKiB);
        }
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
