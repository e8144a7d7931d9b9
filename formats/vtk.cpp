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

// How a section was read: whole, cut short by the end of the input, or broken.
enum class SectionRead { kWhole, kEnded, kBroken };

SectionRead ReadPoints(TextCursor& text, SubMesh& mesh)
{
    using Read = TextCursor::Read;
    int64_t count = 0;
    std::string_view type;
    const Read read = text.ReadInteger(count);
    if (read == Read::kEnd || (read == Read::kValue && !text.NextToken(type))) {
        return SectionRead::kEnded;
    }
    if (read == Read::kNotANumber || !CountAllowed(count, 12)) return SectionRead::kBroken;
    // Each point takes at least six bytes ("0 0 0 ").
    mesh.vertices.clear();
    mesh.vertices.reserve(ReserveCount(count, 6, text.Remaining()) * 3);
    BoundsBuilder bounds;
    SectionRead result = SectionRead::kWhole;
    for (int64_t i = 0; i < count; ++i) {
        float v[3];
        const Read values = text.ReadFloats3(v);
        if (values == Read::kNotANumber) return SectionRead::kBroken;
        if (values == Read::kEnd) {
            result = SectionRead::kEnded;
            break;
        }
        mesh.vertices.insert(mesh.vertices.end(), v, v + 3);
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);
    return result;
}

SectionRead ReadPolygons(TextCursor& text, SubMesh& mesh)
{
    using Read = TextCursor::Read;
    int64_t count = 0;
    std::string_view size;
    const Read read = text.ReadInteger(count);
    if (read == Read::kEnd || (read == Read::kValue && !text.NextToken(size))) {
        return SectionRead::kEnded;
    }
    if (read == Read::kNotANumber || !CountAllowed(count, 8)) return SectionRead::kBroken;
    if (mesh.faceOffsets.empty()) mesh.faceOffsets.push_back(0);
    mesh.faceOffsets.reserve(mesh.faceOffsets.size() + ReserveCount(count, 2, text.Remaining()));
    SectionRead result = SectionRead::kWhole;
    for (int64_t f = 0; f < count && result == SectionRead::kWhole; ++f) {
        int64_t corners = 0;
        Read value = text.ReadInteger(corners);
        if (value == Read::kValue && (corners < 0 || corners > kMaxFaceCorners)) {
            return SectionRead::kBroken;
        }
        for (int64_t c = 0; c < corners && value == Read::kValue; ++c) {
            int64_t index = 0;
            value = text.ReadInteger(index);
            if (value == Read::kValue && (index < 0 || index > INT32_MAX)) return SectionRead::kBroken;
            mesh.faceIndices.push_back(static_cast<uint32_t>(index));
        }
        if (value == Read::kNotANumber) return SectionRead::kBroken;
        if (value == Read::kEnd) {
            mesh.faceIndices.resize(mesh.faceOffsets.back());  // the polygon read in part
            result = SectionRead::kEnded;
            break;
        }
        mesh.faceOffsets.push_back(static_cast<uint32_t>(mesh.faceIndices.size()));
    }
    if (mesh.faceOffsets.size() == 1) mesh.faceOffsets.clear();
    return result;
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

    // 4. The sections. A file that ends early keeps the points and polygons it holds whole.
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    SectionRead read = SectionRead::kWhole;
    while (read == SectionRead::kWhole && text.NextToken(token)) {
        if (token == "POINTS") {
            read = ReadPoints(text, mesh);
        } else if (token == "POLYGONS") {
            read = ReadPolygons(text, mesh);
        }
    }
    if (read == SectionRead::kBroken) return FailWith(ctx, LoadResult::NotValidVtk);

    // 5. Polygon corners must name points (the sections may come in either order); of a file that
    // ended early, polygons naming points it never reached are dropped.
    if (read == SectionRead::kEnded) {
        DropFacesNamingMissingVertices(mesh);
    } else {
        const uint32_t limit = static_cast<uint32_t>(mesh.VertexCount());
        for (uint32_t index : mesh.faceIndices) {
            if (index >= limit) return FailWith(ctx, LoadResult::NotValidVtk);
        }
    }
    return model;
}

}  // namespace solvane
