#include "formats/powerrender.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "formats/reader_support.h"
#include "image/image.h"

namespace solvane {
namespace {

// Chunks are little-endian: identifier (uint16), length (uint32, counting the 6 header bytes
// too), content. The file is one main chunk whose content is a sequence of chunks.
constexpr uint16_t kMainChunk = 0x0303;
constexpr uint16_t kObjectChunk = 0x1000;        // uint32, then sub-chunks 0x1030, 0x1040
constexpr uint16_t kVerticesChunk = 0x1030;      // uint32 count, count * (x y z float, 3 * int16)
constexpr uint16_t kFacesChunk = 0x1040;         // uint32 count, count * kFaceBytes (below)
constexpr uint16_t kTextureNamesChunk = 0x2010;  // uint16 count, count * NUL-terminated name
constexpr uint16_t kMaterialsChunk = 0x2100;     // sub-chunks below
constexpr uint16_t kMaterialName = 0x2101;       // NUL-terminated name
constexpr uint16_t kMaterialColour = 0x2109;     // r g b transparency (float)
constexpr uint16_t kMaterialEnd = 0x2199;        // the next sub-chunks fill the next material
constexpr int64_t kChunkHeaderBytes = 6;
constexpr int64_t kVertexBytes = 18;
// Material (uint16), 2 bytes, three corners (uint32), s1 s2 s3 t1 t2 t3 (float), 21 bytes.
constexpr int64_t kFaceBytes = 2 + 2 + 12 + 24 + 21;
constexpr size_t kMaxMaterialName = 63;
constexpr size_t kMaxTextureName = 259;

struct Chunk {
    uint16_t id = 0;
    int64_t contentStart = 0;
    int64_t end = 0;
};

// Reads the header of the chunk at the current position; false when it does not fit its parent.
bool ReadChunk(ReaderInput& in, int64_t parentEnd, Chunk& chunk)
{
    const int64_t start = in.Tell();
    if (parentEnd - start < kChunkHeaderBytes) return false;
    chunk.id = in.ReadLE16();
    const uint32_t length = in.ReadLE32();
    if (in.Overrun() || length < kChunkHeaderBytes || start + length > parentEnd) return false;
    chunk.contentStart = start + kChunkHeaderBytes;
    chunk.end = start + length;
    return true;
}

// Visits every chunk between the current position and end; trailing bytes too few for a chunk
// header are padding. False when a chunk is broken or the visitor fails.
template <typename Visit>
bool WalkChunks(ReaderInput& in, int64_t end, Visit visit)
{
    while (end - in.Tell() >= kChunkHeaderBytes) {
        Chunk chunk;
        if (!ReadChunk(in, end, chunk)) return false;
        if (!visit(chunk)) return false;
        if (!in.SkipBytes(chunk.end, SEEK_SET)) return false;
    }
    return true;
}

// A NUL-terminated string inside a chunk; longer names are cut at limit characters.
std::string ReadName(ReaderInput& in, int64_t end, size_t limit)
{
    std::string name;
    while (in.Tell() < end) {
        const int c = in.ReadByte();
        if (c <= 0) break;
        if (name.size() < limit) name.push_back(static_cast<char>(c));
    }
    return name;
}

struct ProCounts {
    int64_t objects = 0;
    int64_t materials = 0;
};

struct ProFill {
    Model& model;
    int64_t object = 0;    // next sub-mesh to fill
    int64_t material = 0;  // material the material sub-chunks fill
};

bool ReadVertices(ReaderInput& in, const Chunk& chunk, SubMesh& mesh)
{
    const uint32_t count = in.ReadLE32();
    if (int64_t{count} * kVertexBytes > chunk.end - in.Tell()) return false;
    mesh.vertices.resize(size_t{count} * 3);
    BoundsBuilder bounds;
    for (size_t i = 0; i < count; ++i) {
        float* v = &mesh.vertices[i * 3];
        v[0] = in.ReadLEFloat();
        v[1] = in.ReadLEFloat();
        v[2] = in.ReadLEFloat();
        // The normal's three 16-bit values: normals are generated when lighting needs them.
        in.SkipBytes(6, SEEK_CUR);
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);
    return true;
}

bool ReadFaces(ReaderInput& in, const Chunk& chunk, int32_t materialCount, SubMesh& mesh)
{
    const uint32_t count = in.ReadLE32();
    if (int64_t{count} * kFaceBytes > chunk.end - in.Tell()) return false;
    mesh.ClearFaces();
    mesh.ReserveFaces(count, int64_t{count} * 3, true);
    mesh.faceMaterials.reserve(count);
    mesh.texCoords.resize(size_t{count} * 6);
    for (uint32_t f = 0; f < count; ++f) {
        const uint16_t material = in.ReadLE16();
        in.SkipBytes(2, SEEK_CUR);
        uint32_t corners[3];
        for (uint32_t& corner : corners) corner = in.ReadLE32();
        float s[3], t[3];
        for (float& value : s) value = in.ReadLEFloat();
        for (float& value : t) value = in.ReadLEFloat();
        in.SkipBytes(21, SEEK_CUR);
        float* uv = &mesh.texCoords[size_t{f} * 6];
        const uint32_t texCorners[3] = {3 * f, 3 * f + 1, 3 * f + 2};
        for (int k = 0; k < 3; ++k) {
            uv[2 * k] = s[k];
            uv[2 * k + 1] = t[k];
        }
        mesh.AppendFace(corners, 3, texCorners);
        // A number past the material table names no material.
        mesh.faceMaterials.push_back(material < materialCount ? material : -1);
    }
    if (count == 0) mesh.ClearFaces();
    return true;
}

bool ReadObject(ReaderInput& in, const Chunk& chunk, ProFill& fill)
{
    if (fill.object >= fill.model.SubMeshCount()) return false;  // the file changed under us
    SubMesh& mesh = fill.model.subMeshes[static_cast<size_t>(fill.object++)];
    in.ReadLE32();  // the object number
    const int32_t materialCount = fill.model.MaterialCount();
    const bool walked = WalkChunks(in, chunk.end, [&](const Chunk& sub) {
        if (sub.id == kVerticesChunk) return ReadVertices(in, sub, mesh);
        if (sub.id == kFacesChunk) return ReadFaces(in, sub, materialCount, mesh);
        return true;
    });
    if (!walked) return false;
    // Corners must name the object's vertices, whichever sub-chunk came first.
    const uint32_t limit = static_cast<uint32_t>(mesh.VertexCount());
    return std::all_of(mesh.faceIndices.begin(), mesh.faceIndices.end(),
                       [limit](uint32_t index) { return index < limit; });
}

bool ReadTextureNames(ReaderInput& in, const Chunk& chunk, Model& model)
{
    const uint16_t count = in.ReadLE16();
    // Each name takes at least its NUL.
    if (count > chunk.end - in.Tell()) return false;
    model.textures.assign(count, Texture{});
    for (Texture& texture : model.textures) texture.name = ReadName(in, chunk.end, kMaxTextureName);
    model.hasTextures = count > 0 ? 1 : 0;
    return true;
}

bool ReadMaterials(ReaderInput& in, const Chunk& chunk, ProFill& fill)
{
    Model& model = fill.model;
    return WalkChunks(in, chunk.end, [&](const Chunk& sub) {
        if (sub.id == kMaterialEnd) {
            ++fill.material;
            return true;
        }
        if (fill.material >= model.MaterialCount()) return true;  // no entry left to fill
        Material& material = model.materials[static_cast<size_t>(fill.material)];
        if (sub.id == kMaterialName) {
            material.name = ReadName(in, sub.end, kMaxMaterialName);
        } else if (sub.id == kMaterialColour) {
            if (sub.end - in.Tell() < 16) return false;
            for (float& value : material.color) value = in.ReadLEFloat();
            material.transparency = in.ReadLEFloat();
            material.diffuse = material.color;
            material.specular = {1, 1, 1};
            model.hasColor = model.hasSpecular = model.hasDiffuse = model.hasTransparency = 1;
        }
        return true;
    });
}

// Pass 1: the object chunks and the material names.
bool CountPass(ReaderInput& in, int64_t end, ProCounts& counts)
{
    return WalkChunks(in, end, [&](const Chunk& chunk) {
        if (chunk.id == kObjectChunk) {
            ++counts.objects;
        } else if (chunk.id == kMaterialsChunk) {
            return WalkChunks(in, chunk.end, [&](const Chunk& sub) {
                if (sub.id == kMaterialName) ++counts.materials;
                return true;
            });
        }
        return true;
    });
}

// Pass 2: fill in file order.
bool FillPass(ReaderInput& in, int64_t end, ProFill& fill)
{
    return WalkChunks(in, end, [&](const Chunk& chunk) {
        switch (chunk.id) {
        case kObjectChunk: return ReadObject(in, chunk, fill);
        case kTextureNamesChunk: return ReadTextureNames(in, chunk, fill.model);
        case kMaterialsChunk: return ReadMaterials(in, chunk, fill);
        default: return true;
        }
    });
}

// The folder part of a path with its separator ("" when it has none).
std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::unique_ptr<Model> ReadProFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. The main chunk.
    Chunk main;
    if (!ReadChunk(in, in.Size(), main) || main.id != kMainChunk) {
        return FailWith(ctx, LoadResult::NotValidPro);
    }
    // 2. Pass 1: count objects and materials. The object chunks themselves are counted: the
    // number each one starts with is not trusted as a count.
    ProCounts counts;
    if (!CountPass(in, main.end, counts)) return FailWith(ctx, LoadResult::NotValidPro);
    const int64_t meshes = std::max<int64_t>(counts.objects, 1);
    if (counts.materials >= 32768 ||
        meshes > kMaxAllocationBytes / static_cast<int64_t>(sizeof(SubMesh))) {
        return FailWith(ctx, LoadResult::NotValidPro);
    }
    // 3. Allocate; materials start untextured.
    auto model = NewModel(static_cast<int32_t>(meshes), static_cast<int32_t>(counts.materials));
    for (Material& material : model->materials) material.textureIndex = -1;
    // 4. Pass 2: fill.
    in.SkipBytes(main.contentStart, SEEK_SET);
    ProFill fill{*model};
    if (!FillPass(in, main.end, fill)) return FailWith(ctx, LoadResult::NotValidPro);
    return model;
}

std::unique_ptr<Texture> LoadProTexture(const Texture& texture, const std::string& modelPath)
{
    std::string name = texture.name;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.empty()) return nullptr;
    const std::string imagePath = FolderOf(modelPath) + name;
    std::unique_ptr<Texture> image = LoadImageFile(imagePath.c_str(), Format::Pcx);
    if (image) image->name = imagePath;
    return image;
}

void LoadProTextures(Model& model, const std::string& modelPath, LoadContext&)
{
    std::vector<Texture> loaded;
    loaded.reserve(model.textures.size());
    for (const Texture& texture : model.textures) {
        if (auto image = LoadProTexture(texture, modelPath)) loaded.push_back(std::move(*image));
    }
    // Materials name no texture in this format; keep any index within the shrunken table.
    for (Material& material : model.materials) {
        if (material.textureIndex >= static_cast<int32_t>(loaded.size())) material.textureIndex = -1;
    }
    model.textures = std::move(loaded);
    model.hasTextures = model.textures.empty() ? 0 : 1;
}

}  // namespace solvane
