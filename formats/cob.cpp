#include "formats/cob.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/reader_input.h"

namespace solvane {
namespace {

// "Caligari " + "V00.01" + format letter + byte order, padded to 32 bytes; chunks follow.
constexpr size_t kHeaderBytes = 31;
constexpr int64_t kFirstChunk = 32;
// type(4) major(2) minor(2) id(4) parent(4) size(4)
constexpr int64_t kChunkHeaderBytes = 20;
// A chunk type holding a NUL is followed by this many bytes of padding before the real type.
constexpr int64_t kNulTypePadding = 24;
constexpr int kHoleFlags = 8;
constexpr size_t kMaxTextureName = 259;
// Material number, shader, facet and auto-facet angle, then 8 floats.
constexpr int64_t kMaterialFixedBytes = 2 + 3 + 8 * 4;
constexpr int64_t kMaxArrayBytes = int64_t{1} << 30;

std::unique_ptr<Model> Fail(LoadContext& ctx, int32_t code)
{
    ctx.result.store(code);
    return nullptr;
}

struct Chunk {
    char type[4] = {0, 0, 0, 0};
    int64_t dataEnd = 0;  // clamped to the file's end

    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

// Walks the chunk list from the first chunk; the same walk serves both passes.
class ChunkWalk {
public:
    explicit ChunkWalk(ReaderInput& in) : in_(in) {}

    // Positions the input at the next chunk's data. False at "END ", at the end of the file, or
    // when the chunk is corrupt (then Corrupt() is true).
    bool Next(Chunk& chunk)
    {
        if (done_) return false;
        in_.SkipBytes(next_, SEEK_SET);
        for (;;) {
            if (in_.Remaining() < kChunkHeaderBytes) return Stop();
            in_.ReadBytes(chunk.type, 1, 4);
            if (std::memchr(chunk.type, 0, 4) == nullptr) break;
            in_.SkipBytes(kNulTypePadding, SEEK_CUR);
        }
        if (in_.Remaining() < kChunkHeaderBytes - 4) return Stop();
        if (chunk.Is("END ")) return Stop();
        in_.SkipBytes(2 + 2 + 4 + 4, SEEK_CUR);  // versions, chunk id, parent id
        const int32_t size = static_cast<int32_t>(in_.ReadLE32());
        if (size < 0) {
            corrupt_ = true;
            return Stop();
        }
        const int64_t dataStart = in_.Tell();
        next_ = dataStart + size;
        chunk.dataEnd = std::min<int64_t>(next_, in_.Size());
        return true;
    }
    bool Corrupt() const { return corrupt_; }

private:
    bool Stop()
    {
        done_ = true;
        return false;
    }

    ReaderInput& in_;
    int64_t next_ = kFirstChunk;
    bool done_ = false;
    bool corrupt_ = false;
};

struct MapRecord {
    int32_t mappingMode = -1;
    std::string name;
};

// Reads the map records that follow a material's fixed part, up to the first two bytes that are
// not a map tag or the chunk's end. False when a record runs past the chunk.
template <typename OnRecord>
bool ReadMapRecords(ReaderInput& in, int64_t end, OnRecord&& onRecord)
{
    MapRecord record;
    for (;;) {
        if (end - in.Tell() < 2) return true;
        char tag[2];
        in.ReadBytes(tag, 1, 2);
        if (tag[1] != ':') return true;
        int floats = 0;
        switch (tag[0]) {
        case 'e': record.mappingMode = 1; floats = 0; break;
        case 't': record.mappingMode = 0; floats = 4; break;  // offset u, v, repeats u, v
        case 'b': record.mappingMode = 2; floats = 5; break;  // the same and an amplitude
        default: return true;
        }
        if (end - in.Tell() < 3) return false;
        in.ReadByte();  // flags
        const int64_t length = in.ReadLE16();
        if (length + floats * 4 > end - in.Tell()) return false;
        const size_t kept = std::min<size_t>(static_cast<size_t>(length), kMaxTextureName);
        record.name.assign(kept, '\0');
        in.ReadBytes(record.name.data(), 1, kept);
        // The offsets and repeats have no place in the texture record: only the name and the
        // mapping kind are kept.
        in.SkipBytes(length - static_cast<int64_t>(kept) + floats * 4, SEEK_CUR);
        onRecord(record);
    }
}

struct CobCounts {
    int64_t polygonObjects = 0;
    int64_t materials = 0;
    int64_t textures = 0;
};

// Pass 1: the polygon objects, materials and map records.
bool CountPass(ReaderInput& in, CobCounts& counts)
{
    ChunkWalk walk(in);
    Chunk chunk;
    while (walk.Next(chunk)) {
        if (chunk.Is("PolH")) {
            ++counts.polygonObjects;
        } else if (chunk.Is("Mat1")) {
            ++counts.materials;
            if (chunk.dataEnd - in.Tell() < kMaterialFixedBytes) return false;
            in.SkipBytes(kMaterialFixedBytes, SEEK_CUR);
            if (!ReadMapRecords(in, chunk.dataEnd, [&](const MapRecord&) { ++counts.textures; }))
                return false;
        }
    }
    return !walk.Corrupt();
}

// One polygon object: its vertices placed by the current-position matrix, its texture
// coordinates and its faces. materialBase is the number of materials read before this object.
bool ReadPolygonObject(ReaderInput& in, int64_t end, int32_t materialBase, int32_t materialCount,
                       SubMesh& mesh)
{
    const auto left = [&] { return end - in.Tell(); };
    // Name: duplicate count, length, characters.
    if (left() < 4) return false;
    in.ReadLE16();
    const int64_t nameLength = in.ReadLE16();
    if (nameLength > left()) return false;
    in.SkipBytes(nameLength, SEEK_CUR);
    // Local axes (centre and three axis vectors), then the 3 x 4 current-position matrix.
    if (left() < 12 + 36 + 48 + 4) return false;
    in.SkipBytes(12 + 36, SEEK_CUR);
    float matrix[12];
    for (float& value : matrix) value = in.ReadLEFloat();

    const int64_t vertexCount = static_cast<int32_t>(in.ReadLE32());
    if (vertexCount < 0 || vertexCount * 12 > left() || vertexCount * 12 > kMaxArrayBytes) return false;
    mesh.vertices.resize(static_cast<size_t>(vertexCount) * 3);
    BoundsBuilder bounds;
    double sum[3] = {0, 0, 0};
    for (int64_t i = 0; i < vertexCount; ++i) {
        const float a = in.ReadLEFloat(), b = in.ReadLEFloat(), c = in.ReadLEFloat();
        float* v = &mesh.vertices[static_cast<size_t>(i) * 3];
        for (int row = 0; row < 3; ++row) {
            const float* m = matrix + row * 4;
            v[row] = m[0] * a + m[1] * b + m[2] * c + m[3];
            sum[row] += v[row];
        }
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    if (vertexCount > 0) {
        const double n = static_cast<double>(vertexCount);
        mesh.centroid = {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                         static_cast<float>(sum[2] / n)};
    }

    if (left() < 4) return false;
    const int64_t texCoordCount = static_cast<int32_t>(in.ReadLE32());
    if (texCoordCount < 0 || texCoordCount * 8 > left() || texCoordCount * 8 > kMaxArrayBytes) return false;
    mesh.texCoords.resize(static_cast<size_t>(texCoordCount) * 2);
    for (float& value : mesh.texCoords) value = in.ReadLEFloat();

    // Faces: flags, corner count, material (not for holes), then vertex and texture-coordinate
    // index per corner.
    if (left() < 4) return false;
    const int64_t faceCount = static_cast<int32_t>(in.ReadLE32());
    if (faceCount < 0 || faceCount * 3 > left() || faceCount * 4 > kMaxArrayBytes) return false;
    const bool withTexCoords = texCoordCount > 0;
    // Every corner takes 8 bytes of the chunk.
    mesh.ReserveFaces(faceCount, std::min(faceCount * 3, left() / 8), withTexCoords);
    mesh.faceContours.reserve(static_cast<size_t>(faceCount));
    mesh.faceMaterials.reserve(static_cast<size_t>(faceCount));
    std::vector<uint32_t> corners, texCorners;
    for (int64_t f = 0; f < faceCount; ++f) {
        if (left() < 3) return false;
        const bool isHole = in.ReadByte() == kHoleFlags;
        const int64_t cornerCount = in.ReadLE16();
        int32_t material = -1;
        if (!isHole) {
            if (left() < 2) return false;
            const int64_t index = static_cast<int16_t>(in.ReadLE16()) + int64_t{materialBase};
            if (index >= materialBase && index < materialCount) material = static_cast<int32_t>(index);
        }
        if (cornerCount > kMaxFaceCorners || cornerCount * 8 > left()) return false;
        corners.clear();
        texCorners.clear();
        for (int64_t k = 0; k < cornerCount; ++k) {
            const uint32_t vertex = in.ReadLE32();
            const uint32_t texCoord = in.ReadLE32();
            // Indices beyond the lists are clamped to their last entry; without vertices a face
            // keeps no corners.
            if (vertexCount == 0) continue;
            corners.push_back(std::min<uint32_t>(vertex, static_cast<uint32_t>(vertexCount - 1)));
            if (withTexCoords)
                texCorners.push_back(std::min<uint32_t>(texCoord, static_cast<uint32_t>(texCoordCount - 1)));
        }
        mesh.AppendFace(corners.data(), static_cast<int>(corners.size()),
                        withTexCoords ? texCorners.data() : nullptr);
        mesh.faceContours.push_back(isHole ? kContourHole : kContourOutline);
        mesh.faceMaterials.push_back(material);
    }
    return !in.Overrun();
}

// One material; its map records fill the next textures, the last one becomes its texture.
bool ReadMaterial(ReaderInput& in, int64_t end, Model& model, Material& material, size_t& nextTexture)
{
    if (end - in.Tell() < kMaterialFixedBytes) return false;
    in.SkipBytes(2 + 3, SEEK_CUR);  // material number, shader, facet, auto-facet angle
    for (float& value : material.color) value = in.ReadLEFloat();
    const float alpha = in.ReadLEFloat();
    const float ambient = in.ReadLEFloat();
    const float specular = in.ReadLEFloat();
    in.ReadLEFloat();  // exponent
    in.ReadLEFloat();  // index of refraction
    material.transparency = 1.0f - alpha;
    material.diffuse = {ambient, ambient, ambient};
    material.specular = {specular, specular, specular};
    model.hasColor = model.hasTransparency = model.hasDiffuse = model.hasSpecular = 1;

    bool fits = true;
    const bool complete = ReadMapRecords(in, end, [&](const MapRecord& record) {
        if (nextTexture >= model.textures.size()) {
            fits = false;
            return;
        }
        Texture& texture = model.textures[nextTexture];
        texture.name = record.name;
        texture.mappingMode = record.mappingMode;
        material.textureIndex = static_cast<int32_t>(nextTexture);
        ++nextTexture;
    });
    return complete && fits && !in.Overrun();
}

}  // namespace

std::unique_ptr<Model> ReadCobFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. Header.
    char header[kHeaderBytes] = {};
    in.ReadBytes(header, 1, kHeaderBytes);
    if (std::memcmp(header, "Caligari ", 9) != 0) return Fail(ctx, LoadResult::NotValidCob);
    if (std::memcmp(header + 9, "V00.01", 6) != 0) {
        std::fprintf(stderr, "File, %s, is an unsupported version of COB.\n", path);
        return Fail(ctx, LoadResult::NotValidCob);
    }
    if (header[15] == 'A') return Fail(ctx, LoadResult::AsciiCob);
    if (header[15] != 'B') return Fail(ctx, LoadResult::NotValidCob);
    if (std::memcmp(header + 16, "LH", 2) != 0) {
        std::fprintf(stderr, "File, %s, is a big endian COB, not supported.\n", path);
        return Fail(ctx, LoadResult::NotValidCob);
    }

    // 2. Pass 1: count.
    CobCounts counts;
    if (!CountPass(in, counts)) return Fail(ctx, LoadResult::NotValidCob);
    if (counts.polygonObjects == 0) return Fail(ctx, LoadResult::NotValidCob);
    if (counts.materials > 32767) return Fail(ctx, LoadResult::NotValidCob);

    // 3. Allocate exactly; every material is named by its position and starts untextured.
    auto model = NewModel(static_cast<int32_t>(counts.polygonObjects),
                          static_cast<int32_t>(counts.materials), static_cast<int32_t>(counts.textures));
    for (size_t i = 0; i < model->materials.size(); ++i) {
        model->materials[i].name = "Material " + std::to_string(i + 1);
        model->materials[i].textureIndex = -1;
    }

    // 4. Pass 2: fill.
    ChunkWalk walk(in);
    Chunk chunk;
    size_t nextMesh = 0, nextMaterial = 0, nextTexture = 0;
    while (walk.Next(chunk)) {
        if (chunk.Is("PolH")) {
            if (nextMesh >= model->subMeshes.size()) return Fail(ctx, LoadResult::NotValidCob);
            if (!ReadPolygonObject(in, chunk.dataEnd, static_cast<int32_t>(nextMaterial),
                                   model->MaterialCount(), model->subMeshes[nextMesh]))
                return Fail(ctx, LoadResult::NotValidCob);
            ++nextMesh;
        } else if (chunk.Is("Mat1")) {
            if (nextMaterial >= model->materials.size()) return Fail(ctx, LoadResult::NotValidCob);
            if (!ReadMaterial(in, chunk.dataEnd, *model, model->materials[nextMaterial], nextTexture))
                return Fail(ctx, LoadResult::NotValidCob);
            ++nextMaterial;
        }
    }
    if (walk.Corrupt() || nextMesh != model->subMeshes.size()) return Fail(ctx, LoadResult::NotValidCob);
    return model;
}

}  // namespace solvane
