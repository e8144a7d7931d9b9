#include "formats/nff.h"

#include <algorithm>
#include <string_view>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// The file, as read (tokens; "//" starts a comment that runs to the end of the line):
//   nff | NFF | S8 | s8
//   [version v] [viewpos x y z] [viewdir x y z]
//   object*:
//     [name] [mtable file] [on | off | flat | none]    words before the vertex count
//     vertexCount
//     vertexCount * (x y z [norm nx ny nz] [0xRRGGBB] [uv u v])      one vertex per line
//     polygonCount
//     polygonCount * (n i1 .. in [0xRRGGBB | matid m] [both] [_texture])   one polygon per line
// What follows a vertex's position or a polygon's indices on its line is dropped: normals,
// colours, texture coordinates and attribute words are not used. A file that ends early keeps the
// objects, vertices and polygons it holds whole.
bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// The optional header statements. Leaves the first token of the first object in token (empty at
// the end of the file).
bool ReadHeader(TextCursor& text, std::string_view& token)
{
    if (!text.NextToken(token) ||
        (token != "nff" && token != "NFF" && token != "S8" && token != "s8")) {
        return false;
    }
    float values[3];
    for (;;) {
        if (!text.NextToken(token)) break;
        int count = 0;
        if (EqualNoCase(token, "version")) count = 1;
        else if (EqualNoCase(token, "viewpos") || EqualNoCase(token, "viewdir")) count = 3;
        else return true;
        for (int i = 0; i < count; ++i) {
            const TextCursor::Read read = text.ReadFloat(values[i]);
            if (read == TextCursor::Read::kNotANumber) return false;
            if (read == TextCursor::Read::kEnd) break;
        }
    }
    token = {};
    return true;
}

// How an object was read: whole, cut short by the end of the file (kEnded once its vertex count
// was read, kNotStarted before), or broken.
enum class ObjectRead { kWhole, kEnded, kNotStarted, kBroken };

// Reads one object whose first token is given; fills mesh when it is not null. A file that ends
// inside the object keeps the vertices and polygons read whole.
ObjectRead ReadObject(TextCursor& text, std::string_view token, SubMesh* mesh)
{
    using Read = TextCursor::Read;
    // Words before the vertex count: the name, a material table, attribute words.
    while (!IsIntegerToken(token)) {
        if (EqualNoCase(token, "mtable")) text.SkipToLineEnd();
        if (!text.NextToken(token)) return ObjectRead::kNotStarted;
    }
    int64_t vertexCount = 0;
    {
        const char* p = token.data();
        ScanInteger(p, token.data() + token.size(), vertexCount);
    }
    if (!CountAllowed(vertexCount, 12)) return ObjectRead::kBroken;

    // Vertices, each at least six bytes ("0 0 0\n"); what follows the position on its line is
    // dropped.
    BoundsBuilder bounds;
    if (mesh) mesh->vertices.reserve(ReserveCount(vertexCount, 6, text.Remaining()) * 3);
    ObjectRead result = ObjectRead::kWhole;
    auto finish = [&] {
        if (mesh) {
            mesh->bounds = bounds.bounds;
            StoreCentroid(*mesh);
            if (mesh->faceOffsets.size() == 1) mesh->faceOffsets.clear();
        }
        return result;
    };
    for (int64_t i = 0; i < vertexCount; ++i) {
        float v[3];
        const Read read = text.ReadFloats3(v);
        if (read == Read::kNotANumber) return ObjectRead::kBroken;
        if (read == Read::kEnd) {
            result = ObjectRead::kEnded;
            return finish();
        }
        if (mesh) mesh->vertices.insert(mesh->vertices.end(), v, v + 3);
        bounds.Extend(v[0], v[1], v[2]);
        text.SkipLine();
    }

    // Polygons, each at least two bytes ("0\n"); colour and attribute words after the indices
    // are dropped.
    int64_t polygonCount = 0;
    Read read = text.ReadInteger(polygonCount);
    if (read == Read::kNotANumber || (read == Read::kValue && !CountAllowed(polygonCount, 8))) {
        return ObjectRead::kBroken;
    }
    if (read == Read::kEnd) polygonCount = 0;
    result = read == Read::kEnd ? ObjectRead::kEnded : ObjectRead::kWhole;
    if (mesh && polygonCount > 0) {
        mesh->faceOffsets.reserve(ReserveCount(polygonCount, 2, text.Remaining()) + 1);
        mesh->faceOffsets.push_back(0);
    }
    for (int64_t f = 0; f < polygonCount; ++f) {
        int64_t corners = 0;
        read = text.ReadInteger(corners);
        if (read == Read::kValue && (corners < 0 || corners > kMaxFaceCorners)) return ObjectRead::kBroken;
        for (int64_t c = 0; c < corners && read == Read::kValue; ++c) {
            int64_t index = 0;
            read = text.ReadInteger(index);
            if (read == Read::kValue && (index < 0 || index >= vertexCount)) return ObjectRead::kBroken;
            if (mesh) mesh->faceIndices.push_back(static_cast<uint32_t>(index));
        }
        if (read == Read::kNotANumber) return ObjectRead::kBroken;
        if (read == Read::kEnd) {
            if (mesh) mesh->faceIndices.resize(mesh->faceOffsets.back());  // the polygon read in part
            result = ObjectRead::kEnded;
            return finish();
        }
        if (mesh) mesh->faceOffsets.push_back(static_cast<uint32_t>(mesh->faceIndices.size()));
        text.SkipLine();
    }
    return finish();
}

// Walks the whole file: counts the objects (model null) or fills one sub-mesh per object. An
// object the file ends in counts once its vertex count was read.
bool WalkFile(TextCursor& text, Model* model, int64_t& objects)
{
    std::string_view token;
    if (!ReadHeader(text, token)) return false;
    objects = 0;
    SubMesh spare;
    while (!token.empty()) {
        SubMesh* mesh = nullptr;
        if (model) {
            mesh = objects < model->SubMeshCount() ? &model->subMeshes[static_cast<size_t>(objects)] : &spare;
        }
        const ObjectRead read = ReadObject(text, token, mesh);
        if (read == ObjectRead::kBroken) return false;
        if (read == ObjectRead::kNotStarted) break;
        if (mesh == &spare) return false;  // the file changed under us
        ++objects;
        if (read == ObjectRead::kEnded || !text.NextToken(token)) break;
    }
    return true;
}

}  // namespace

std::unique_ptr<Model> ReadNffFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // Pass 1: count the objects (and check every one of them).
    int64_t objects = 0;
    {
        TextCursor text(in, TextCursor::kSlashComments);
        if (!WalkFile(text, nullptr, objects)) return FailWith(ctx, LoadResult::NotValidNff);
    }
    // A file without objects still gives its one (empty) sub-mesh.
    const int64_t meshes = std::max<int64_t>(objects, 1);
    if (meshes > kMaxAllocationBytes / static_cast<int64_t>(sizeof(SubMesh))) {
        return FailWith(ctx, LoadResult::NotValidNff);
    }
    auto model = NewModel(static_cast<int32_t>(meshes));

    // Pass 2: fill.
    in.Rewind();
    TextCursor text(in, TextCursor::kSlashComments);
    int64_t filled = 0;
    if (!WalkFile(text, model.get(), filled) || filled != objects) {
        return FailWith(ctx, LoadResult::NotValidNff);
    }
    return model;
}

}  // namespace solvane
