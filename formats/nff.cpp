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
// colours, texture coordinates and attribute words are not used.
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
        if (!text.NextToken(token)) {
            token = {};
            return true;
        }
        int count = 0;
        if (EqualNoCase(token, "version")) count = 1;
        else if (EqualNoCase(token, "viewpos") || EqualNoCase(token, "viewdir")) count = 3;
        else return true;
        for (int i = 0; i < count; ++i) {
            if (!text.NextFloat(values[i])) return false;
        }
    }
}

// Reads one object whose first token is given; fills mesh when it is not null. False when the
// object is broken.
bool ReadObject(TextCursor& text, std::string_view token, SubMesh* mesh)
{
    // Words before the vertex count: the name, a material table, attribute words.
    while (!IsIntegerToken(token)) {
        if (EqualNoCase(token, "mtable")) text.SkipToLineEnd();
        if (!text.NextToken(token)) return false;
    }
    int64_t vertexCount = 0;
    {
        const char* p = token.data();
        ScanInteger(p, token.data() + token.size(), vertexCount);
    }
    if (!CountFits(vertexCount, 6, text.Remaining(), 12)) return false;

    BoundsBuilder bounds;
    float scratch[3];
    if (mesh) mesh->vertices.resize(static_cast<size_t>(vertexCount) * 3);
    for (int64_t i = 0; i < vertexCount; ++i) {
        float* v = mesh ? &mesh->vertices[static_cast<size_t>(i) * 3] : scratch;
        if (!text.NextFloat(v[0]) || !text.NextFloat(v[1]) || !text.NextFloat(v[2])) return false;
        bounds.Extend(v[0], v[1], v[2]);
        text.SkipLine();
    }

    int64_t polygonCount = 0;
    if (!text.NextInteger(polygonCount) || !CountFits(polygonCount, 2, text.Remaining(), 4)) {
        return false;
    }
    if (mesh && polygonCount > 0) {
        mesh->faceOffsets.reserve(static_cast<size_t>(polygonCount) + 1);
        mesh->faceOffsets.push_back(0);
    }
    for (int64_t f = 0; f < polygonCount; ++f) {
        int64_t corners = 0;
        if (!text.NextInteger(corners) || corners < 0 || corners > kMaxFaceCorners) return false;
        for (int64_t c = 0; c < corners; ++c) {
            int64_t index = 0;
            if (!text.NextInteger(index) || index < 0 || index >= vertexCount) return false;
            if (mesh) mesh->faceIndices.push_back(static_cast<uint32_t>(index));
        }
        if (mesh) mesh->faceOffsets.push_back(static_cast<uint32_t>(mesh->faceIndices.size()));
        text.SkipLine();  // colour, attribute words, texture name
    }
    if (mesh) {
        mesh->bounds = bounds.bounds;
        StoreCentroid(*mesh);
    }
    return true;
}

// Walks the whole file: counts the objects (model null) or fills one sub-mesh per object.
bool WalkFile(TextCursor& text, Model* model, int64_t& objects)
{
    std::string_view token;
    if (!ReadHeader(text, token)) return false;
    objects = 0;
    while (!token.empty()) {
        SubMesh* mesh = nullptr;
        if (model) {
            if (objects >= model->SubMeshCount()) return false;  // the file changed under us
            mesh = &model->subMeshes[static_cast<size_t>(objects)];
        }
        if (!ReadObject(text, token, mesh)) return false;
        ++objects;
        if (!text.NextToken(token)) token = {};
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
