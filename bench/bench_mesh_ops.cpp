// Mesh operations on generated million-face meshes: welding (exact and with a tolerance), smooth
// normals and fan triangulation. Before timing, the welds are checked against the plain backward
// search on a smaller instance of the same meshes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "core/mesh_ops.h"

namespace {

using namespace solvane;

constexpr double kSmallTolerance = 1e-3;

// A side x side grid of unit quads, each split into two triangles that own their three vertices.
// With jitter, every copy of a grid point is moved by up to jitter on each axis.
SubMesh UnweldedGrid(int side, float jitter)
{
    SubMesh mesh;
    const size_t triangles = 2 * static_cast<size_t>(side) * side;
    mesh.vertices.reserve(9 * triangles);
    mesh.ReserveFaces(static_cast<int64_t>(triangles), static_cast<int64_t>(3 * triangles), false);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> offset(-jitter, jitter);
    uint32_t next = 0;
    auto corner = [&](int x, int y) {
        const float z = std::sin(0.01f * static_cast<float>(x)) * std::cos(0.01f * static_cast<float>(y));
        mesh.vertices.insert(mesh.vertices.end(), {static_cast<float>(x) + offset(random),
                                                   static_cast<float>(y) + offset(random), z + offset(random)});
        return next++;
    };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const uint32_t a[3] = {corner(x, y), corner(x + 1, y), corner(x + 1, y + 1)};
            mesh.AppendFace(a, 3);
            const uint32_t b[3] = {corner(x, y), corner(x + 1, y + 1), corner(x, y + 1)};
            mesh.AppendFace(b, 3);
        }
    }
    ComputeBoundsAndCentroid(mesh);
    return mesh;
}

// The plain backward search; quadratic, so only for the check.
std::vector<uint32_t> ReferenceRemap(const std::vector<float>& v, double tolerance, std::vector<float>& kept)
{
    const size_t n = v.size() / 3;
    std::vector<size_t> retained;
    std::vector<uint32_t> remap(n);
    for (size_t i = 0; i < n; ++i) {
        const float* p = &v[3 * i];
        size_t match = SIZE_MAX;
        for (size_t r = retained.size(); r-- > 0;) {
            const float* q = &v[3 * retained[r]];
            const bool hit = tolerance == 0 ? (p[0] == q[0] && p[1] == q[1] && p[2] == q[2])
                                            : std::fabs(double(p[0]) - double(q[0])) + std::fabs(double(p[1]) - double(q[1])) +
                                                      std::fabs(double(p[2]) - double(q[2])) <= tolerance;
            if (hit) {
                match = r;
                break;
            }
        }
        if (match == SIZE_MAX) {
            match = retained.size();
            retained.push_back(i);
        }
        remap[i] = static_cast<uint32_t>(match);
    }
    for (size_t r : retained) kept.insert(kept.end(), &v[3 * r], &v[3 * r] + 3);
    return remap;
}

bool WeldMatchesReference(float jitter, double tolerance)
{
    SubMesh mesh = UnweldedGrid(24, jitter);
    std::vector<float> kept;
    const std::vector<uint32_t> remap = ReferenceRemap(mesh.vertices, tolerance, kept);
    std::vector<uint32_t> expectedFaces(mesh.faceIndices.size());
    for (size_t k = 0; k < expectedFaces.size(); ++k) expectedFaces[k] = remap[mesh.faceIndices[k]];
    WeldVertices(mesh, tolerance);
    return mesh.vertices.size() == kept.size() &&
           std::memcmp(mesh.vertices.data(), kept.data(), kept.size() * sizeof(float)) == 0 &&
           mesh.faceIndices == expectedFaces;
}

// 708 x 708 quads = 1,002,528 triangles, 3,007,584 vertices.
constexpr int kSide = 708;

void RunWeld(benchmark::State& state, float jitter, double tolerance)
{
    const SubMesh source = UnweldedGrid(kSide, jitter);
    int32_t removed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SubMesh mesh = source;
        state.ResumeTiming();
        removed = WeldVertices(mesh, tolerance);
        benchmark::DoNotOptimize(mesh.vertices.data());
    }
    state.counters["vertices"] = static_cast<double>(source.VertexCount());
    state.counters["removed"] = removed;
}

void BM_WeldExact(benchmark::State& state) { RunWeld(state, 0.0f, 0.0); }
void BM_WeldSmallTolerance(benchmark::State& state) { RunWeld(state, static_cast<float>(kSmallTolerance / 8), kSmallTolerance); }

void BM_GenerateNormals(benchmark::State& state)
{
    Model model;
    model.subMeshes.push_back(UnweldedGrid(kSide, 0.0f));
    WeldVertices(model.subMeshes[0], 0.0);
    for (auto _ : state) {
        GenerateNormals(model);
        benchmark::DoNotOptimize(model.subMeshes[0].normals.data());
    }
    state.counters["faces"] = model.subMeshes[0].FaceCount();
}

void BM_TriangulateQuads(benchmark::State& state)
{
    // 1000 x 1000 quads over a shared grid.
    constexpr int side = 1000;
    SubMesh quads;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) quads.vertices.insert(quads.vertices.end(), {float(x), float(y), 0.0f});
    quads.ReserveFaces(int64_t(side) * side, 4 * int64_t(side) * side, false);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const uint32_t a = uint32_t(y * (side + 1) + x);
            const uint32_t corners[4] = {a, a + 1, a + side + 2, a + side + 1};
            quads.AppendFace(corners, 4);
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        Model model;
        model.subMeshes.push_back(quads);
        state.ResumeTiming();
        TriangulateModel(model);
        benchmark::DoNotOptimize(model.subMeshes[0].faceIndices.data());
    }
    state.counters["faces"] = quads.FaceCount();
}

BENCHMARK(BM_WeldExact)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WeldSmallTolerance)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GenerateNormals)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TriangulateQuads)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    if (!WeldMatchesReference(0.0f, 0.0) || !WeldMatchesReference(static_cast<float>(kSmallTolerance / 8), kSmallTolerance) ||
        !WeldMatchesReference(0.3f, 0.5)) {
        std::fprintf(stderr, "WeldVertices differs from the backward search\n");
        return 1;
    }
    std::printf("WeldVertices matches the backward search on the check instances\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
