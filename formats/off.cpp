#include "formats/off.h"

#include <algorithm>

#include "formats/reader_support.h"

namespace solvane {

// OFF, as read here:
//   "OFF" | "off"                         the keyword, alone as the first token
//   vertices faces [edges]                on the keyword's line or the next; edges only on the
//                                         face count's line, and unused
//   vertices * (x y z)
//   faces * (n i1 .. in [colour...])      one face per line; values after the indices are dropped
// "#" starts a comment that runs to the end of its line.
std::unique_ptr<Model> ReadOffFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    TextCursor text(in, TextCursor::kHashComments);

    std::string_view token;
    if (!text.NextToken(token) || (token != "OFF" && token != "off")) {
        return FailWith(ctx, LoadResult::NotValidOff);
    }
    int64_t vertexCount = 0, faceCount = 0;
    if (!text.NextInteger(vertexCount) || !text.NextInteger(faceCount)) {
        return FailWith(ctx, LoadResult::NotValidOff);
    }
    if (text.NextTokenOnLine(token)) {
        // The edge count; not used.
    }
    // A vertex takes at least six bytes ("0 0 0\n"), a face at least two ("0\n").
    const int64_t remaining = text.Remaining();
    if (!CountFits(vertexCount, 6, remaining, 12) || !CountFits(faceCount, 2, remaining, 8) ||
        vertexCount * 6 + faceCount * 2 > remaining + 6) {
        return FailWith(ctx, LoadResult::NotValidOff);
    }

    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices.resize(static_cast<size_t>(vertexCount) * 3);
    BoundsBuilder bounds;
    float* v = mesh.vertices.data();
    for (int64_t i = 0; i < vertexCount; ++i, v += 3) {
        if (!text.NextFloat(v[0]) || !text.NextFloat(v[1]) || !text.NextFloat(v[2])) {
            return FailWith(ctx, LoadResult::NotValidOff);
        }
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);

    mesh.faceOffsets.reserve(static_cast<size_t>(faceCount) + 1);
    mesh.faceOffsets.push_back(0);
    mesh.faceIndices.reserve(static_cast<size_t>(std::min<int64_t>(faceCount * 3, remaining / 2 + 8)));
    const uint64_t limit = static_cast<uint64_t>(vertexCount);
    for (int64_t f = 0; f < faceCount; ++f) {
        int64_t corners = 0;
        if (!text.NextInteger(corners) || corners < 0 || corners > kMaxFaceCorners) {
            return FailWith(ctx, LoadResult::NotValidOff);
        }
        for (int64_t c = 0; c < corners; ++c) {
            int64_t index = 0;
            if (!text.NextInteger(index) || static_cast<uint64_t>(index) >= limit) {
                return FailWith(ctx, LoadResult::NotValidOff);
            }
            mesh.faceIndices.push_back(static_cast<uint32_t>(index));
        }
        mesh.faceOffsets.push_back(static_cast<uint32_t>(mesh.faceIndices.size()));
        text.SkipLine();  // a face colour
    }
    if (faceCount == 0) mesh.faceOffsets.clear();
    return model;
}

}  // namespace solvane
