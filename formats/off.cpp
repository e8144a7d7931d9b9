#include "formats/off.h"

#include <algorithm>

#include "formats/reader_support.h"

namespace solvane {

// OFF, as read here: one stream of white-space-separated values.
//   "OFF" | "off"                         the keyword, alone as the first token
//   vertices faces [edges]                the edge count is unused; it may stand on the line of the
//                                         face count or alone on a line of its own, and may be
//                                         left out
//   vertices * (x y z)
//   faces * (n i1 .. in [colour...])      values after the indices, up to the line end, are dropped
// "#" starts a comment that runs to the end of its line. A body that ends early keeps the vertices
// and faces it holds whole.
std::unique_ptr<Model> ReadOffFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    TextCursor text(in, TextCursor::kHashComments);
    using Read = TextCursor::Read;

    std::string_view token;
    if (!text.NextToken(token) || (token != "OFF" && token != "off")) {
        return FailWith(ctx, LoadResult::NotValidOff);
    }
    int64_t vertexCount = 0, faceCount = 0;
    if (!text.NextInteger(vertexCount) || !text.NextInteger(faceCount)) {
        return FailWith(ctx, LoadResult::NotValidOff);
    }
    // The edge count. A writer that leaves it out goes straight on with the first vertex, whose
    // three values share a line.
    if (!text.NextTokenOnLine(token) && text.TokenStandsAlone()) text.NextToken(token);
    if (!CountAllowed(vertexCount, 12) || !CountAllowed(faceCount, 8)) {
        return FailWith(ctx, LoadResult::NotValidOff);
    }

    // Vertices; each takes at least six bytes ("0 0 0\n").
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices.reserve(ReserveCount(vertexCount, 6, text.Remaining()) * 3);
    BoundsBuilder bounds;
    bool ended = false;
    for (int64_t i = 0; i < vertexCount && !ended; ++i) {
        float v[3];
        const Read read = text.ReadFloats3(v);
        if (read == Read::kNotANumber) return FailWith(ctx, LoadResult::NotValidOff);
        ended = read == Read::kEnd;
        if (ended) break;
        mesh.vertices.insert(mesh.vertices.end(), v, v + 3);
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);

    // Faces; each takes at least two bytes ("0\n").
    mesh.faceOffsets.reserve(ReserveCount(faceCount, 2, text.Remaining()) + 1);
    mesh.faceOffsets.push_back(0);
    const uint64_t limit = static_cast<uint64_t>(vertexCount);
    for (int64_t f = 0; f < faceCount && !ended; ++f) {
        int64_t corners = 0;
        Read read = text.ReadInteger(corners);
        if (read == Read::kValue && (corners < 0 || corners > kMaxFaceCorners)) {
            return FailWith(ctx, LoadResult::NotValidOff);
        }
        for (int64_t c = 0; c < corners && read == Read::kValue; ++c) {
            int64_t index = 0;
            read = text.ReadInteger(index);
            if (read == Read::kValue && static_cast<uint64_t>(index) >= limit) {
                return FailWith(ctx, LoadResult::NotValidOff);
            }
            mesh.faceIndices.push_back(static_cast<uint32_t>(index));
        }
        if (read == Read::kNotANumber) return FailWith(ctx, LoadResult::NotValidOff);
        ended = read == Read::kEnd;
        if (ended) {
            mesh.faceIndices.resize(mesh.faceOffsets.back());  // the face read in part
            break;
        }
        mesh.faceOffsets.push_back(static_cast<uint32_t>(mesh.faceIndices.size()));
        text.SkipLine();  // a face colour
    }
    if (mesh.faceOffsets.size() == 1) mesh.faceOffsets.clear();
    return model;
}

}  // namespace solvane
