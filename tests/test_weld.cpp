// Vertex welding: the hashed/grid implementation against the plain backward search it replaces.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/mesh_ops.h"
#include "core/validate.h"

namespace solvane {
namespace {

struct WeldOutcome {
    std::vector<float> vertices;
    std::vector<uint32_t> remap;
    int32_t removed = 0;
};

// The straightforward rule: search the retained vertices from the newest back; the first match
// wins. Quadratic, kept here as the definition.
WeldOutcome ReferenceWeld(const std::vector<float>& vertices, double tolerance)
{
    WeldOutcome out;
    const size_t n = vertices.size() / 3;
    std::vector<size_t> retained;
    for (size_t i = 0; i < n; ++i) {
        const float* p = &vertices[3 * i];
        size_t match = n;
        for (size_t r = retained.size(); r-- > 0;) {
            const float* q = &vertices[3 * retained[r]];
            bool matches;
            if (tolerance == 0) {
                matches = p[0] == q[0] && p[1] == q[1] && p[2] == q[2];
            } else {
                const double distance = std::fabs(static_cast<double>(p[0]) - static_cast<double>(q[0])) +
                                        std::fabs(static_cast<double>(p[1]) - static_cast<double>(q[1])) +
                                        std::fabs(static_cast<double>(p[2]) - static_cast<double>(q[2]));
                matches = distance <= tolerance;
            }
            if (matches) {
                match = r;
                break;
            }
        }
        if (match == n) {
            match = retained.size();
            retained.push_back(i);
        }
        out.remap.push_back(static_cast<uint32_t>(match));
    }
    for (size_t r : retained) out.vertices.insert(out.vertices.end(), &vertices[3 * r], &vertices[3 * r] + 3);
    out.removed = static_cast<int32_t>(n - retained.size());
    return out;
}

// One face through every vertex in order, so the rewritten face is the mapping.
SubMesh MeshOf(const std::vector<float>& vertices)
{
    SubMesh mesh;
    mesh.vertices = vertices;
    std::vector<uint32_t> corners(vertices.size() / 3);
    for (size_t i = 0; i < corners.size(); ++i) corners[i] = static_cast<uint32_t>(i);
    mesh.AppendFace(corners.data(), static_cast<int>(corners.size()));
    ComputeBoundsAndCentroid(mesh);
    return mesh;
}

Model ModelOf(const SubMesh& mesh)
{
    Model model;
    model.subMeshes.push_back(mesh);
    return model;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

void ExpectSameAsReference(const std::vector<float>& vertices, double tolerance)
{
    const WeldOutcome expected = ReferenceWeld(vertices, tolerance);
    SubMesh mesh = MeshOf(vertices);
    const int32_t removed = WeldVertices(mesh, tolerance);
    ASSERT_EQ(removed, expected.removed) << "tolerance " << tolerance;
    ASSERT_TRUE(SameBits(mesh.vertices, expected.vertices)) << "tolerance " << tolerance;
    ASSERT_EQ(mesh.faceIndices, expected.remap) << "tolerance " << tolerance;
}

TEST(Weld, ToleranceZeroMergesOnlyEqualPositions)
{
    // (0,0,1e-7) is not (0,0,0); -0 equals +0; NaN equals nothing, not even itself.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> vertices = {0, 0, 0,   0, 0, 1e-7f,  -0.0f, 0, -0.0f,
                                         nan, 0, 0, nan, 0, 0,    0, 0, 1e-7f};
    SubMesh mesh = MeshOf(vertices);
    EXPECT_EQ(WeldVertices(mesh, 0.0), 2);
    EXPECT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(mesh.faceIndices, (std::vector<uint32_t>{0, 1, 0, 2, 3, 1}));
    EXPECT_EQ(ValidateModel(ModelOf(mesh)), "");
}

TEST(Weld, MostRecentlyRetainedMatchWins)
{
    // Vertex 2 is within 1.0 of both retained vertices; the newer one (index 1) takes it.
    const std::vector<float> vertices = {0, 0, 0, 1.5f, 0, 0, 0.75f, 0, 0};
    SubMesh mesh = MeshOf(vertices);
    EXPECT_EQ(WeldVertices(mesh, 1.0), 1);
    EXPECT_EQ(mesh.faceIndices, (std::vector<uint32_t>{0, 1, 1}));
}

TEST(Weld, NormalsAndKeyFramesFollowRetainedVertices)
{
    SubMesh mesh;
    mesh.vertices = {0, 0, 0, 5, 5, 5, 0, 0, 0, 9, 9, 9};
    mesh.normals = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0};
    mesh.texCoords = {0, 0, 1, 1};
    AnimationFrame frame;
    frame.vertices = {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40};
    mesh.frames.push_back(frame);
    const uint32_t corners[] = {0, 1, 2, 3, 2, 1};
    const uint32_t tex[] = {0, 1, 0, 1, 1, 0};
    mesh.AppendFace(corners, 3, tex);
    mesh.AppendFace(corners + 3, 3, tex + 3);
    ComputeBoundsAndCentroid(mesh);

    EXPECT_EQ(WeldVertices(mesh, 0.0), 1);
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0, 0, 0, 5, 5, 5, 9, 9, 9}));
    EXPECT_EQ(mesh.normals, (std::vector<float>{1, 0, 0, 0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(mesh.frames[0].vertices, (std::vector<float>{10, 10, 10, 20, 20, 20, 40, 40, 40}));
    EXPECT_EQ(mesh.faceIndices, (std::vector<uint32_t>{0, 1, 0, 2, 0, 1}));
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(mesh.texCoords.size(), 4u);
    EXPECT_EQ(mesh.centroid[0], 14.0f / 3.0f);
    EXPECT_EQ(ValidateModel(ModelOf(mesh)), "");
}

TEST(Weld, NegativeOrNanToleranceKeepsEverything)
{
    const std::vector<float> vertices = {1, 2, 3, 1, 2, 3};
    for (double tolerance : {-1.0, std::nan("")}) {
        SubMesh mesh = MeshOf(vertices);
        EXPECT_EQ(WeldVertices(mesh, tolerance), 0);
        EXPECT_EQ(mesh.VertexCount(), 2);
    }
    SubMesh empty;
    EXPECT_EQ(WeldVertices(empty, 0.5), 0);
}

TEST(Weld, DecimationToleranceFromModelBox)
{
    EXPECT_DOUBLE_EQ(DecimationTolerance({-1, 2, -3, 4, -5, 6}, 1.0), 7.0);
    EXPECT_DOUBLE_EQ(DecimationTolerance({-1, 2, -3, 4, -5, 6}, 0.5), 3.5);
    EXPECT_EQ(DecimationTolerance({0, 0, 0, 0, 0, 0}, 1.0), 0.0);
}

// Coordinates drawn from values that sit on and around the tolerance, so that matches land on the
// boundary of the test and on the boundaries of grid cells.
float BoundaryValue(std::mt19937& random, double tolerance)
{
    const float t = static_cast<float>(tolerance);
    const float values[] = {0.0f, -0.0f, t, -t, t / 2, 2 * t, 3 * t, t / 3, std::nextafter(t, 0.0f),
                            std::nextafter(t, 1e30f), 1.0f, -1.0f, 1e-7f, 0.1f, 0.3f, 1e20f, -1e20f};
    return values[random() % (sizeof values / sizeof values[0])];
}

std::vector<float> RandomVertices(std::mt19937& random, double tolerance, size_t count)
{
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<float> v;
    const float t = static_cast<float>(tolerance);
    for (size_t i = 0; i < count; ++i) {
        float p[3];
        const int k = kind(random);
        const size_t previous = i == 0 ? 0 : random() % i;
        for (int axis = 0; axis < 3; ++axis) {
            if (i > 0 && k <= 2) {
                p[axis] = v[3 * previous + axis];  // exact duplicate
            } else if (i > 0 && k <= 5) {
                // Near duplicate: offsets that together reach just under, at or over the tolerance.
                const float offsets[] = {t / 3, -t / 3, t / 2, 0.0f, t, std::nextafter(t / 3, 0.0f)};
                p[axis] = v[3 * previous + axis] + offsets[random() % 6];
            } else if (k <= 7) {
                p[axis] = BoundaryValue(random, tolerance);
            } else {
                p[axis] = std::round(unit(random) * 8) * t / 2 + (k == 9 ? unit(random) * t : 0.0f);
            }
        }
        if (random() % 200 == 0) p[random() % 3] = std::numeric_limits<float>::quiet_NaN();
        if (random() % 100 == 0) p[random() % 3] = (random() % 2 ? 1 : -1) * std::numeric_limits<float>::infinity();
        v.insert(v.end(), p, p + 3);
    }
    return v;
}

TEST(Weld, MatchesBackwardSearchOnRandomInputs)
{
    std::mt19937 random(20261205);
    const double tolerances[] = {0.0, 1.0, 0.1, 0.3, 1e-3, 7.5e-6, 1e-30, 1e-320, 1e300, HUGE_VAL};
    int cases = 0;
    for (double tolerance : tolerances) {
        for (int round = 0; round < 400; ++round) {
            const size_t count = 1 + random() % (round % 10 == 0 ? 400 : 40);
            ExpectSameAsReference(RandomVertices(random, tolerance, count), tolerance);
            if (HasFatalFailure()) return;
            ++cases;
        }
    }
    EXPECT_EQ(cases, 4000);
}

TEST(Weld, MatchesBackwardSearchOnDenseCloud)
{
    // Many vertices per grid cell and long per-cell chains.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> v(3 * 3000);
    for (float& c : v) c = unit(random);
    for (double tolerance : {0.02, 0.1, 0.5, 3.0}) ExpectSameAsReference(v, tolerance);
}

}  // namespace
}  // namespace solvane
