// Renderer speed: compilation (upload) and frame time of generated tori of 100k, 1M and 4M
// triangles at 1024x768 in the headless context (Google Benchmark), drawn from buffers (the
// default where the context has them) and from display lists (as on an OpenGL 1.1 driver), then
// the whole `solvane-cli render` of a generated 1M-triangle OBJ next to `f3d --output` under
// xvfb-run when both are installed (bench_peers compares with medians of alternating runs).
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/obj_generator.h"
#include "core/prepare.h"
#include "viewer/headless_context.h"
#include "viewer/viewer.h"

namespace {

namespace fs = std::filesystem;

// A torus of 2 * rings * sides triangles with normals, as one sub-mesh in the OBJ format.
std::unique_ptr<solvane::Model> Torus(int rings, int sides)
{
    auto model = solvane::NewModel(1);
    solvane::SubMesh& mesh = model->subMeshes[0];
    const double pi = 3.14159265358979323846;
    mesh.vertices.reserve(static_cast<size_t>(rings) * sides * 3);
    mesh.normals.reserve(static_cast<size_t>(rings) * sides * 3);
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < sides; ++s) {
            const double u = 2 * pi * r / rings, v = 2 * pi * s / sides;
            mesh.vertices.insert(mesh.vertices.end(), {static_cast<float>((1 + 0.35 * std::cos(v)) * std::cos(u)),
                                                       static_cast<float>((1 + 0.35 * std::cos(v)) * std::sin(u)),
                                                       static_cast<float>(0.35 * std::sin(v))});
            mesh.normals.insert(mesh.normals.end(), {static_cast<float>(std::cos(v) * std::cos(u)),
                                                     static_cast<float>(std::cos(v) * std::sin(u)),
                                                     static_cast<float>(std::sin(v))});
        }
    }
    mesh.ReserveFaces(int64_t{2} * rings * sides, int64_t{6} * rings * sides, false);
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < sides; ++s) {
            const uint32_t a = r * sides + s, b = ((r + 1) % rings) * sides + s;
            const uint32_t c = ((r + 1) % rings) * sides + (s + 1) % sides, d = r * sides + (s + 1) % sides;
            const uint32_t t1[3] = {a, b, c}, t2[3] = {a, c, d};
            mesh.AppendFace(t1, 3);
            mesh.AppendFace(t2, 3);
        }
    }
    model->formatId = 7;
    solvane::ComputeBoundsAndCentroid(mesh);
    return model;
}

struct Scene {
    solvane::HeadlessContext context;
    solvane::Settings settings = solvane::DefaultSettings();
    std::unique_ptr<solvane::Viewer> viewer;
    std::unique_ptr<solvane::Model> model;

    bool Create(int rings, int sides)
    {
        if (!context.Create(1024, 768)) return false;
        viewer = std::make_unique<solvane::Viewer>(settings);
        viewer->InitGl();
        viewer->ResizeView(1024, 768);
        model = Torus(rings, sides);
        solvane::PrepareModelData(*model, settings);
        viewer->SetModel(model.get());
        return true;
    }
};

void BM_CompileLists(benchmark::State& state)
{
    Scene scene;
    const int rings = static_cast<int>(state.range(0)), sides = static_cast<int>(state.range(1));
    solvane::SetMeshDrawingPath(state.range(2) ? solvane::MeshDrawingPath::DisplayLists
                                               : solvane::MeshDrawingPath::Automatic);
    if (!scene.Create(rings, sides)) {
        state.SkipWithError("no headless GL context");
        return;
    }
    for (auto _ : state) {
        scene.viewer->BuildLists(false, nullptr);
        glFinish();
    }
    state.counters["triangles"] = 2.0 * rings * sides;
    solvane::SetMeshDrawingPath(solvane::MeshDrawingPath::Automatic);
}

void BM_Frame(benchmark::State& state)
{
    Scene scene;
    const int rings = static_cast<int>(state.range(0)), sides = static_cast<int>(state.range(1));
    solvane::SetMeshDrawingPath(state.range(2) ? solvane::MeshDrawingPath::DisplayLists
                                               : solvane::MeshDrawingPath::Automatic);
    if (!scene.Create(rings, sides)) {
        state.SkipWithError("no headless GL context");
        return;
    }
    scene.viewer->BuildLists(false, nullptr);
    scene.viewer->ResetView(false);
    scene.viewer->ApplyCullingState();
    scene.viewer->DrawFrame(solvane::FrameMode::Render);  // first frame compiles shaders
    glFinish();
    for (auto _ : state) {
        scene.viewer->camera.stepAngle = 1;
        scene.viewer->camera.stepAxis = {0, 1, 0};
        scene.viewer->DrawFrame(solvane::FrameMode::Render);
        glFinish();
    }
    state.counters["triangles"] = 2.0 * rings * sides;
    solvane::SetMeshDrawingPath(solvane::MeshDrawingPath::Automatic);
}

// Arguments: rings, sides, 1 to draw from display lists.
BENCHMARK(BM_CompileLists)
    ->Args({100, 500, 0})->Args({1000, 500, 0})->Args({2000, 1000, 0})->Args({1000, 500, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Frame)
    ->Args({100, 500, 0})->Args({1000, 500, 0})->Args({2000, 1000, 0})->Args({1000, 500, 1})->Args({2000, 1000, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

double TimeCommand(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return status == 0 ? seconds : -1;
}

void CompareWholeRender()
{
    const fs::path dir = fs::temp_directory_path() / ("solvane-bench-render-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path obj = dir / "torus.obj";
    solvane::bench::WriteTorusObj(obj.string(), 1000, 500, solvane::bench::ObjVariant::Triangles);
    const fs::path cli = fs::canonical("/proc/self/exe").parent_path().parent_path() / "tools" / "solvane-cli";
    double ours = 1e30;
    for (int i = 0; i < 3; ++i) {
        const double t = TimeCommand(cli.string() + " render " + obj.string() + " " + (dir / "ours.png").string());
        if (t > 0) ours = std::min(ours, t);
    }
    std::printf("solvane-cli render, 1M-triangle OBJ at 1024x768: %.2f s (best of 3)\n", ours);
    if (std::system("command -v f3d >/dev/null 2>&1 && command -v xvfb-run >/dev/null 2>&1") == 0) {
        double f3d = 1e30;
        for (int i = 0; i < 3; ++i) {
            const double t = TimeCommand("xvfb-run -a -s '-screen 0 1280x1024x24' f3d --resolution=1024,768 --output=" +
                                         (dir / "f3d.png").string() + " " + obj.string() + " >/dev/null 2>&1");
            if (t > 0) f3d = std::min(f3d, t);
        }
        std::printf("f3d --output under xvfb-run: %.2f s (best of 3); ours is %.1fx faster\n", f3d, f3d / ours);
    } else {
        std::printf("f3d or xvfb-run not installed: no comparison\n");
    }
    fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CompareWholeRender();
    return 0;
}
