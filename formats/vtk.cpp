#include "formats/vtk.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// The legacy format as read, token by token:
//   "# vtk DataFile Version x.y" / title line / ASCII | BINARY / DATASET POLYDATA
//   POINTS n type      then 3n values
//   POLYGONS n size    then per polygon: k i1 .. ik
// Every other token (LINES, VERTICES, TRIANGLE_STRIPS, POINT_DATA and their data) is passed over
// one at a time.
bool ReadPoints(TextCursor& text, SubMesh& mesh)
{
    int64_t count = 0;
    std::string_view type;
    if (!text.NextInteger(count) || !text.NextToken(type)) return false;
    // Each value takes at least two bytes.
    if (!CountFits(count, 6, text.Remaining(), 12)) return false;
    mesh.vertices.resize(static_cast<size_t>(count) * 3);
    BoundsBuilder bounds;
    float* v = mesh.vertices.data();
    for (int64_t i = 0; i < count; ++i, v += 3) {
        if (!text.NextFloat(v[0]) || !text.NextFloat(v[1]) || !text.NextFloat(v[2])) return false;
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);
    return true;
}

bool ReadPolygons(TextCursor& text, SubMesh& mesh)
{
    int64_t count = 0;
    std::string_view size;
    if (!text.NextInteger(count) || !text.NextToken(size)) return false;
    if (!CountFits(count, 2, text.Remaining(), 4)) return false;
    if (mesh.faceOffsets.empty()) mesh.faceOffsets.push_back(0);
    mesh.faceOffsets.reserve(mesh.faceOffsets.size() + static_cast<size_t>(count));
    for (int64_t f = 0; f < count; ++f) {
        int64_t corners = 0;
        if (!text.NextInteger(corners) || corners < 0 || corners > kMaxFaceCorners) return false;
        for (int64_t c = 0; c < corners; ++c) {
            int64_t index = 0;
            if (!text.NextInteger(index) || index < 0 || index > INT32_MAX) return false;
            mesh.faceIndices.push_back(static_cast<uint32_t>(index));
        }
        mesh.faceOffsets.push_back(static_cast<uint32_t>(mesh.faceIndices.size()));
    }
    if (mesh.faceOffsets.size() == 1) mesh.faceOffsets.clear();
    return true;
}

}  // namespace

std::unique_ptr<Model> ReadVtkFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. The identification line.
    char magic[5] = {};
    if (in.ReadBytes(magic, 1, 5) != 5 || std::string_view(magic, 5) != "# vtk") {
        return FailWith(ctx, LoadResult::NotValidVtk);
    }
    in.Rewind();
    TextCursor text(in);

    // 2. The data form: the first ASCII or BINARY token, wherever it stands (even in the title).
    std::string_view token;
    for (;;) {
        if (!text.NextToken(token)) {
            std::fprintf(stderr, "File, %s, is not a valid VTK file.\n", path);
            return FailWith(ctx, LoadResult::NotValidVtk);
        }
        if (token == "ASCII") break;
        if (token == "BINARY") {
            std::fprintf(stderr, "Binary VTK files not supported.\n");
            return FailWith(ctx, LoadResult::NotValidVtk);
        }
    }
    // 3. "DATASET POLYDATA".
    if (!text.NextToken(token) || !text.NextToken(token) || token != "POLYDATA") {
        std::fprintf(stderr, "Found unsupported dataset in VTK file.\n");
        return FailWith(ctx, LoadResult::NotValidVtk);
    }

    // 4. The sections.
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    while (text.NextToken(token)) {
        bool good = true;
        if (token == "POINTS") {
            good = ReadPoints(text, mesh);
        } else if (token == "POLYGONS") {
            good = ReadPolygons(text, mesh);
        }
        if (!good) return FailWith(ctx, LoadResult::NotValidVtk);
    }

    // 5. Polygon corners must name points (the sections may come in either order).
    const uint32_t limit = static_cast<uint32_t>(mesh.VertexCount());
    for (uint32_t index : mesh.faceIndices) {
        if (index >= limit) return FailWith(ctx, LoadResult::NotValidVtk);
    }
    return model;
}

}  // namespace solvane
