#include "formats/off.h"

#include <algorithm>

#include "formats/reader_support.h"
#include "formats/text_records.h"

namespace solvane {
namespace {

// Pass 2 of the blocks over one block: vertex lines of three values, then face lines of a count and
// that many indices (values after them are colours and dropped).
RecordsRead FillOffBlock(const char* begin, const char* end, int64_t record, int64_t corner,
                         int64_t vertexCount, int64_t faceCount, SubMesh& mesh)
{
    using Scan = LineValues::Scan;
    // The block ends with a line feed, or at the end of the input: no line runs past end.
    LineValues line(begin, end, true);
    const int64_t records = vertexCount + faceCount;
    while (record < records && line.Position() < end && line.NextRecord()) {
        if (record < vertexCount) {
            float* v = &mesh.vertices[static_cast<size_t>(record) * 3];
            for (int k = 0; k < 3; ++k) {
                if (k > 0 && !line.More()) return RecordsRead::kIrregular;  // the vertex goes on past its line
                const Scan scan = line.Float(v[k]);
                if (scan != Scan::kValue) return Failed(scan);
            }
            if (line.More()) return RecordsRead::kIrregular;  // a value of the next vertex
        } else {
            int64_t count = 0;
            Scan scan = line.Integer(count);
            if (scan != Scan::kValue) return Failed(scan);
            if (count < 0 || count > kMaxFaceCorners) return RecordsRead::kBroken;
            if (corner + count > static_cast<int64_t>(mesh.faceIndices.size())) return RecordsRead::kIrregular;
            for (int64_t k = 0; k < count; ++k) {
                if (!line.More()) return RecordsRead::kIrregular;  // the face goes on past its line
                int64_t index = 0;
                scan = line.Integer(index);
                if (scan != Scan::kValue) return Failed(scan);
                if (static_cast<uint64_t>(index) >= static_cast<uint64_t>(vertexCount)) return RecordsRead::kBroken;
                mesh.faceIndices[static_cast<size_t>(corner + k)] = static_cast<uint32_t>(index);
            }
            corner += count;
            mesh.faceOffsets[static_cast<size_t>(record - vertexCount) + 1] = static_cast<uint32_t>(corner);
        }
        line.EndLine();
        ++record;
    }
    return RecordsRead::kWhole;
}

// The body read on several threads, one record per line. Null when it is not read this way (a
// small file, a body that ends early, a record that is not a line of its own): the stream reader
// then reads the file. Sets broken when a record is broken.
std::unique_ptr<Model> ReadOffBodyInBlocks(const char* path, int64_t bodyStart, int64_t countedEnd,
                                           int64_t vertexCount, int64_t faceCount, LoadContext& ctx, bool& broken)
{
    RecordLayout layout;
    layout.vertexCount = vertexCount;
    layout.faceFirst = vertexCount;
    layout.faceCount = faceCount;
    layout.hashComments = true;
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    const RecordsRead read = ReadRecordBody(
        ctx, path, bodyStart, countedEnd, layout, mesh,
        [&](const char* begin, const char* end, int64_t record, int64_t corner) {
            return FillOffBlock(begin, end, record, corner, vertexCount, faceCount, mesh);
        });
    broken = read == RecordsRead::kBroken;
    if (read != RecordsRead::kWhole) return nullptr;
    return model;
}

}  // namespace

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
    // A large body is read on every core when each of its records stands on a line of its own.
    if (ParseThreads(ctx, text.Remaining()) > 1) {
        bool broken = false;
        if (auto model = ReadOffBodyInBlocks(path, text.Offset(), in.Tell(), vertexCount, faceCount, ctx, broken)) return model;
        if (broken) return FailWith(ctx, LoadResult::NotValidOff);
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
