#include "formats/studio3ds.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "core/reader_input.h"

namespace solvane {
namespace {

// Chunks the reader does not act on are skipped by their length.
using namespace chunk3ds;

constexpr int64_t kChunkHeaderBytes = 6;
constexpr size_t kMaxMaterialName = 63;
// Map file names are kept up to the length a texture name can have.
constexpr size_t kMaxMapName = 259;
// Face materials are 16-bit signed values, so a model holds fewer materials than this.
constexpr int64_t kMaxMaterials = 32768;

// An empty string in the file reads as this name.
constexpr const char* kDefaultName = "Default name";

// The span of one chunk in the file: from its identifier to the end its length gives, never past
// the end of its parent.
struct Chunk {
    int64_t start = 0;
    int64_t end = 0;
};

// What pass 1 finds. Material names are gathered too, so that a material group can name a
// material entry that comes later in the file.
struct StudioCounts {
    int64_t subMeshes = 0;
    int64_t materials = 0;
    int64_t textures = 0;
    std::vector<std::string> materialNames;
};

struct StudioReader {
    explicit StudioReader(ReaderInput& input) : in(input) {}

    ReaderInput& in;
    bool filling = false;  // false: pass 1 (counting), true: pass 2 (filling)
    StudioCounts counts;
    Model* model = nullptr;
    // Pass 2 positions.
    size_t nextMesh = 0;
    size_t nextMaterial = 0;
    size_t nextTexture = 0;
    // The last colour and percentage read, kept across chunks.
    std::array<float, 3> lastColor{-1, -1, -1};
    float lastPercentage = -1;

    // Reads the 32-bit length of a chunk whose identifier has just been read. A length shorter
    // than the header still moves past the header, so every walk advances.
    Chunk Enter(int64_t parentEnd)
    {
        Chunk chunk;
        chunk.start = in.Tell() - 2;
        const int64_t length = in.ReadLE32();
        chunk.end = std::max(chunk.start + length, in.Tell());
        chunk.end = std::min(chunk.end, parentEnd);
        return chunk;
    }
    void Leave(const Chunk& chunk) { in.SkipBytes(chunk.end, SEEK_SET); }
    int64_t Left(const Chunk& chunk) const { return chunk.end - in.Tell(); }

    // Reads each child chunk up to the end of the parent and hands it to handle(id, child); the
    // reading position is set to the child's end after each one.
    template <typename Handler>
    void ForEachChild(const Chunk& parent, Handler&& handle)
    {
        while (in.Tell() < parent.end) {
            const uint16_t id = in.ReadLE16();
            const Chunk child = Enter(parent.end);
            handle(id, child);
            Leave(child);
        }
    }

    // A NUL-terminated string inside the chunk, of which the first keep characters are kept.
    std::string ReadString(const Chunk& chunk, size_t keep)
    {
        std::string text;
        while (in.Tell() < chunk.end) {
            const int c = in.ReadByte();
            if (c <= 0) break;
            if (text.size() < keep) text.push_back(static_cast<char>(c));
        }
        return text.empty() ? std::string(kDefaultName) : text;
    }

    void ReadMain(const Chunk& chunk);
    void ReadEditor(const Chunk& chunk);
    void ReadNamedObject(const Chunk& chunk);
    void ReadTriangleMesh(const Chunk& chunk);
    void ReadPointArray(const Chunk& chunk, SubMesh& mesh);
    void ReadFaceArray(const Chunk& chunk, SubMesh& mesh);
    void ReadMaterialGroup(const Chunk& chunk, SubMesh& mesh);
    void ReadTexCoords(const Chunk& chunk, SubMesh& mesh);
    void ReadMaterial(const Chunk& chunk);
    void ReadColor(const Chunk& chunk, std::array<float, 3>* target);
    void ReadPercentage(const Chunk& chunk, Material* target);
    void ReadMap(const Chunk& chunk, int32_t mappingMode, Material* owner);
};

void StudioReader::ReadMain(const Chunk& chunk)
{
    ForEachChild(chunk, [this](uint16_t id, const Chunk& child) {
        if (id == kEditorChunk) ReadEditor(child);
    });
}

void StudioReader::ReadEditor(const Chunk& chunk)
{
    ForEachChild(chunk, [this](uint16_t id, const Chunk& child) {
        if (id == kMaterialChunk) ReadMaterial(child);
        else if (id == kNamedObject) ReadNamedObject(child);
    });
}

void StudioReader::ReadNamedObject(const Chunk& chunk)
{
    // The object name is not kept: the dispatch names the sub-meshes.
    ReadString(chunk, 0);
    ForEachChild(chunk, [this](uint16_t id, const Chunk& child) {
        if (id == kTriangleMesh) ReadTriangleMesh(child);
    });
}

void StudioReader::ReadTriangleMesh(const Chunk& chunk)
{
    if (!filling) {
        ++counts.subMeshes;
        return;
    }
    // The file changed between the passes: read nothing more than was counted.
    if (nextMesh >= model->subMeshes.size()) return;
    SubMesh& target = model->subMeshes[nextMesh++];
    ForEachChild(chunk, [this, &target](uint16_t id, const Chunk& child) {
        switch (id) {
        case kPointArray: ReadPointArray(child, target); break;
        case kFaceArray: ReadFaceArray(child, target); break;
        case kTexCoords: ReadTexCoords(child, target); break;
        default: break;
        }
    });

    // A later, shorter point array must not leave corners out of range.
    const int32_t vertexCount = target.VertexCount();
    if (vertexCount == 0) {
        target.ClearFaces();
    } else {
        const uint32_t last = static_cast<uint32_t>(vertexCount - 1);
        for (uint32_t& index : target.faceIndices) index = std::min(index, last);
    }
    // Texture coordinate i belongs to vertex i: the corner numbers serve for both.
    target.faceTexCoordIndices.clear();
    if (target.TexCoordCount() > 0 && !target.faceIndices.empty()) {
        const uint32_t last = static_cast<uint32_t>(target.TexCoordCount() - 1);
        target.faceTexCoordIndices = target.faceIndices;
        for (uint32_t& index : target.faceTexCoordIndices) index = std::min(index, last);
    }
    ComputeBoundsAndCentroid(target);
}

void StudioReader::ReadPointArray(const Chunk& chunk, SubMesh& mesh)
{
    const int64_t count = std::min<int64_t>(in.ReadLE16(), std::max<int64_t>(Left(chunk), 0) / 12);
    mesh.vertices.assign(static_cast<size_t>(count) * 3, 0.0f);
    for (float& value : mesh.vertices) value = in.ReadLEFloat();
}

void StudioReader::ReadFaceArray(const Chunk& chunk, SubMesh& mesh)
{
    mesh.ClearFaces();
    const int64_t vertexCount = mesh.VertexCount();
    // Without a point array before it, the corners have nothing to refer to.
    if (vertexCount == 0) return;
    const int64_t count = std::min<int64_t>(in.ReadLE16(), std::max<int64_t>(Left(chunk), 0) / 8);
    mesh.ReserveFaces(count, count * 3, false);
    mesh.faceMaterials.assign(static_cast<size_t>(count), -1);
    const uint32_t last = static_cast<uint32_t>(vertexCount - 1);
    for (int64_t f = 0; f < count; ++f) {
        uint32_t corners[3];
        for (uint32_t& corner : corners) corner = std::min<uint32_t>(in.ReadLE16(), last);
        in.ReadLE16();  // edge visibility flags
        mesh.AppendFace(corners, 3);
    }
    // Only material groups and smoothing groups follow the faces; anything else ends them.
    while (in.Tell() < chunk.end) {
        const uint16_t id = in.ReadLE16();
        if (id != kMaterialGroup && id != kSmoothingGroups) break;
        const Chunk child = Enter(chunk.end);
        if (id == kMaterialGroup) ReadMaterialGroup(child, mesh);
        Leave(child);
    }
}

void StudioReader::ReadMaterialGroup(const Chunk& chunk, SubMesh& mesh)
{
    const std::string name = ReadString(chunk, kMaxMaterialName);
    const auto& names = counts.materialNames;
    const auto found = std::find(names.begin(), names.end(), name);
    // A group naming no material leaves its faces without one.
    if (found == names.end()) return;
    const int32_t material = static_cast<int32_t>(found - names.begin());
    if (material >= model->MaterialCount()) return;
    const int64_t count = std::min<int64_t>(in.ReadLE16(), std::max<int64_t>(Left(chunk), 0) / 2);
    const int64_t faceCount = mesh.FaceCount();
    for (int64_t i = 0; i < count; ++i) {
        const uint16_t face = in.ReadLE16();
        if (face < faceCount) mesh.faceMaterials[face] = material;
    }
}

void StudioReader::ReadTexCoords(const Chunk& chunk, SubMesh& mesh)
{
    const int64_t count = std::min<int64_t>(in.ReadLE16(), std::max<int64_t>(Left(chunk), 0) / 8);
    mesh.texCoords.assign(static_cast<size_t>(count) * 2, 0.0f);
    for (float& value : mesh.texCoords) value = in.ReadLEFloat();
}

void StudioReader::ReadMaterial(const Chunk& chunk)
{
    if (!filling) {
        ++counts.materials;
        counts.materialNames.emplace_back();
        ForEachChild(chunk, [this](uint16_t id, const Chunk& child) {
            if (id == kMaterialName) counts.materialNames.back() = ReadString(child, kMaxMaterialName);
            else if (id == kTextureMap || id == kReflectionMap || id == kBumpMap) ++counts.textures;
        });
        return;
    }
    // Past the counted entries (the file changed) the chunks are walked but nothing is stored.
    Material* target = nextMaterial < model->materials.size() ? &model->materials[nextMaterial] : nullptr;
    ++nextMaterial;
    ForEachChild(chunk, [this, target](uint16_t id, const Chunk& child) {
        switch (id) {
        case kMaterialName: {
            std::string name = ReadString(child, kMaxMaterialName);
            if (target) target->name = std::move(name);
            break;
        }
        case kMaterialColor:
            model->hasColor = 1;
            ReadColor(child, target ? &target->color : nullptr);
            break;
        case kMaterialDiffuse:
            model->hasDiffuse = 1;
            ReadColor(child, target ? &target->diffuse : nullptr);
            break;
        case kMaterialSpecular:
            model->hasSpecular = 1;
            ReadColor(child, target ? &target->specular : nullptr);
            break;
        case kMaterialTransparency:
            model->hasTransparency = 1;
            ReadPercentage(child, target);
            break;
        case kTextureMap: ReadMap(child, 0, target); break;
        case kReflectionMap: ReadMap(child, 1, target); break;
        case kBumpMap: ReadMap(child, 2, target); break;
        default: break;
        }
    });
}

// A colour chunk: the later of its 24-bit colours wins. One without any keeps the material's
// default colour.
void StudioReader::ReadColor(const Chunk& chunk, std::array<float, 3>* target)
{
    bool found = false;
    ForEachChild(chunk, [this, &found](uint16_t id, const Chunk& child) {
        if ((id != kColor24 && id != kLinearColor24) || Left(child) < 3) return;
        for (float& channel : lastColor) channel = static_cast<float>(in.ReadByte()) / 255.0f;
        found = true;
    });
    if (found && target) *target = lastColor;
}

// A percentage chunk for the transparency: a negative percentage switches transparency off for
// the model. One without an integer percentage keeps the material opaque.
void StudioReader::ReadPercentage(const Chunk& chunk, Material* target)
{
    bool found = false;
    ForEachChild(chunk, [this, &found](uint16_t id, const Chunk& child) {
        if (id != kIntPercentage || Left(child) < 2) return;
        lastPercentage = static_cast<float>(static_cast<int16_t>(in.ReadLE16())) / 100.0f;
        found = true;
    });
    if (!found) return;
    if (target) target->transparency = lastPercentage;
    if (lastPercentage < 0) model->hasTransparency = 0;
}

// A texture, reflection or bump map: one texture each; the material refers to the last map that
// names a file.
void StudioReader::ReadMap(const Chunk& chunk, int32_t mappingMode, Material* owner)
{
    const size_t index = nextTexture++;
    Texture* target = index < model->textures.size() ? &model->textures[index] : nullptr;
    if (target) target->mappingMode = mappingMode;
    ForEachChild(chunk, [this, target, owner, index](uint16_t id, const Chunk& child) {
        if (id != kMapFileName) return;
        std::string name = ReadString(child, kMaxMapName);
        if (!target) return;
        target->name = std::move(name);
        if (owner) owner->textureIndex = static_cast<int32_t>(index);
    });
}

std::unique_ptr<Model> Fail(LoadContext& ctx)
{
    ctx.result.store(LoadResult::NotValid3ds);
    return nullptr;
}

// Walks the file from its main chunk at offset 0.
void WalkFile(StudioReader& reader)
{
    ReaderInput& in = reader.in;
    in.Rewind();
    in.ReadLE16();
    const Chunk main = reader.Enter(in.Size());
    reader.ReadMain(main);
}

}  // namespace

std::unique_ptr<Model> Read3dsFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. The main chunk of a mesh file or of a project file, with its whole header.
    const uint16_t magic = in.ReadLE16();
    if ((magic != kMainChunk && magic != kProjectChunk) || in.Size() < kChunkHeaderBytes) return Fail(ctx);

    // 2. Pass 1: count meshes, materials and maps.
    StudioReader reader(in);
    WalkFile(reader);
    const StudioCounts& counts = reader.counts;
    if (counts.materials >= kMaxMaterials || counts.subMeshes > INT32_MAX || counts.textures > INT32_MAX)
        return Fail(ctx);

    // 3. Allocate exactly; a file without meshes still gives the sub-mesh that carries the
    //    model-wide fields.
    auto model = NewModel(static_cast<int32_t>(std::max<int64_t>(reader.counts.subMeshes, 1)),
                          static_cast<int32_t>(reader.counts.materials),
                          static_cast<int32_t>(reader.counts.textures));
    for (Material& material : model->materials) {
        material.textureIndex = -1;
        material.name.clear();
    }
    for (Texture& texture : model->textures) texture.name.clear();

    // 4. Pass 2: fill.
    reader.filling = true;
    reader.model = model.get();
    WalkFile(reader);
    return model;
}

}  // namespace solvane
