#include "formats/native.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// Layout, all numbers little-endian, strings NUL-terminated, no padding:
//   "Solvaneo" version("20"|"21"|"30") subMeshCount materialCount textureCount
//   [3 unused words: 20/21] 'm' [unused word: 20/21]
//   per sub-mesh: vertexCount, xyz*, faceCount, int16 corner counts, uint32 corners,
//     int32 face materials, normalCount, xyz*, texCoordCount, [uv*, uint32 tex corners:
//     only when textureCount > 0], centroid xyz, bounds (min max per axis)
//   [materialCount > 0] 'c' [word: 20/21] per material: name colour diffuse specular
//     transparency [textureIndex: 30]
//   [textureCount > 0] 't' [word: 20/21] per texture: name width height RGB pixels
//   ['s' scene part]
constexpr char kMagic[] = "Solvaneo";
constexpr size_t kMagicBytes = 8;
constexpr size_t kMaxMaterialNameChars = 63;
constexpr size_t kMaxTextureNameChars = 259;
constexpr int32_t kMaxImageSide = 16384;
// The smallest sub-mesh block: four counts, centroid and bounds.
constexpr int64_t kSmallestSubMeshBytes = 4 * 4 + 9 * 4;
constexpr int64_t kSmallestMaterialBytes = 1 + 10 * 4;
constexpr int64_t kSmallestTextureBytes = 1 + 2 * 4;

enum class Version { V20, V21, V30, Unknown };

Version ParseVersion(const char text[2])
{
    if (text[0] == '2' && text[1] == '0') return Version::V20;
    if (text[0] == '2' && text[1] == '1') return Version::V21;
    if (text[0] == '3' && text[1] == '0') return Version::V30;
    return Version::Unknown;
}

// The native file as read: little-endian fields through the counted input, with the rules that
// keep a hostile count from asking for more than the file can hold.
class NativeInput {
public:
    NativeInput(ReaderInput& in, Version version) : in_(in), older_(version != Version::V30) {}

    int32_t Int() { return static_cast<int32_t>(in_.ReadLE32()); }
    int16_t Int16() { return static_cast<int16_t>(in_.ReadLE16()); }
    float Float() { return in_.ReadLEFloat(); }
    int Byte() { return in_.ReadByte(); }
    // The unused word the versions "20" and "21" put after each marker.
    void OlderWord()
    {
        if (older_) in_.ReadLE32();
    }
    bool Good() const { return !in_.Overrun(); }
    // Passes over bytes the caller has checked are there.
    void Skip(int64_t bytes) { in_.SkipBytes(bytes, SEEK_CUR); }
    int64_t Remaining() const { return in_.Remaining(); }

    // count items of itemBytes each still in the file, and an array of them (memoryBytes each in
    // memory, itemBytes when not given) within the limit.
    bool Holds(int64_t count, int64_t itemBytes, int64_t memoryBytes = 0) const
    {
        if (memoryBytes == 0) memoryBytes = itemBytes;
        return count >= 0 && (count == 0 || (count <= in_.Remaining() / itemBytes &&
                                             count <= kMaxAllocationBytes / memoryBytes));
    }

    // count 32-bit little-endian values into out (which has room for them).
    template <typename T>
    bool Array32(T* out, int64_t count)
    {
        static_assert(sizeof(T) == 4);
        const size_t n = static_cast<size_t>(count);
        if (in_.ReadBytes(out, 4, n) != n) return false;
        if constexpr (std::endian::native == std::endian::big) {
            for (size_t i = 0; i < n; ++i) {
                uint32_t bits;
                std::memcpy(&bits, &out[i], 4);
                bits = __builtin_bswap32(bits);
                std::memcpy(&out[i], &bits, 4);
            }
        }
        return true;
    }

    // A NUL-terminated string; the first maxChars characters are kept. False when the file ends
    // before the terminator.
    bool String(std::string& text, size_t maxChars)
    {
        text.clear();
        for (;;) {
            const int c = in_.ReadByte();
            if (c < 0) return false;
            if (c == 0) return true;
            if (text.size() < maxChars) text.push_back(static_cast<char>(c));
        }
    }

private:
    ReaderInput& in_;
    bool older_;
};

struct NativeHeader {
    Version version = Version::Unknown;
    int32_t subMeshCount = 0;
    int32_t materialCount = 0;
    int32_t textureCount = 0;
};

// Magic, version and counts (and the older versions' unused words). 0 when they are good, else
// the result code.
int32_t ReadHeader(ReaderInput& in, NativeHeader& header)
{
    char magic[kMagicBytes];
    if (in.ReadBytes(magic, 1, kMagicBytes) != kMagicBytes || std::memcmp(magic, kMagic, kMagicBytes) != 0)
        return LoadResult::NotValidSvo;
    char version[2];
    if (in.ReadBytes(version, 1, 2) != 2) return LoadResult::CorruptSvo;
    header.version = ParseVersion(version);
    if (header.version == Version::Unknown) return LoadResult::NotValidSvo;
    header.subMeshCount = static_cast<int32_t>(in.ReadLE32());
    header.materialCount = static_cast<int32_t>(in.ReadLE32());
    header.textureCount = static_cast<int32_t>(in.ReadLE32());
    if (header.version != Version::V30) {
        for (int i = 0; i < 3; ++i) in.ReadLE32();
    }
    if (in.Overrun()) return LoadResult::CorruptSvo;
    return 0;
}

// The mesh marker "m". Some writers put a 32-bit value in its place: the byte after its other
// three bytes is then taken as the marker.
bool ReadMeshMarker(NativeInput& in)
{
    if (in.Byte() == 'm') return true;
    in.Byte();
    in.Byte();
    in.Byte();
    return in.Byte() == 'm';
}

bool ReadSubMesh(NativeInput& in, const NativeHeader& header, SubMesh& mesh)
{
    const bool withTexCoords = header.textureCount > 0;

    // Vertices.
    const int32_t vertexCount = in.Int();
    if (!in.Good() || !in.Holds(vertexCount, 12)) return false;
    mesh.vertices.resize(static_cast<size_t>(vertexCount) * 3);
    if (!in.Array32(mesh.vertices.data(), int64_t{vertexCount} * 3)) return false;

    // Faces: corner counts first, so the corner arrays are sized from what the file holds.
    const int32_t faceCount = in.Int();
    if (!in.Good() || !in.Holds(faceCount, 2)) return false;
    std::vector<int16_t> counts(static_cast<size_t>(faceCount));
    int64_t corners = 0;
    for (int16_t& count : counts) {
        count = in.Int16();
        if (count < 0) return false;
        corners += count;
    }
    // Each corner stores a vertex index (and a texture-coordinate index); each face a material.
    const int64_t cornerBytes = withTexCoords ? 8 : 4;
    if (!in.Good() || !in.Holds(corners, cornerBytes) ||
        corners * cornerBytes + int64_t{faceCount} * 4 > in.Remaining())
        return false;
    if (faceCount > 0) {
        mesh.faceOffsets.resize(static_cast<size_t>(faceCount) + 1);
        mesh.faceOffsets[0] = 0;
        for (size_t f = 0; f < counts.size(); ++f)
            mesh.faceOffsets[f + 1] = mesh.faceOffsets[f] + static_cast<uint32_t>(counts[f]);
    }
    counts = {};
    mesh.faceIndices.resize(static_cast<size_t>(corners));
    if (!in.Array32(mesh.faceIndices.data(), corners)) return false;
    for (uint32_t index : mesh.faceIndices) {
        if (index >= static_cast<uint32_t>(vertexCount)) return false;
    }
    mesh.faceMaterials.resize(static_cast<size_t>(faceCount));
    if (!in.Array32(mesh.faceMaterials.data(), faceCount)) return false;
    for (int32_t material : mesh.faceMaterials) {
        if (material < -1 || material >= header.materialCount) return false;
    }

    // Normals: one per vertex. Any other count cannot be used and is passed over.
    const int32_t normalCount = in.Int();
    if (!in.Good() || !in.Holds(normalCount, 12)) return false;
    if (normalCount == vertexCount) {
        mesh.normals.resize(static_cast<size_t>(normalCount) * 3);
        if (!in.Array32(mesh.normals.data(), int64_t{normalCount} * 3)) return false;
    } else {
        in.Skip(int64_t{normalCount} * 12);
    }

    // Texture coordinates and their corner indices, only stored when the model has textures.
    const int32_t texCoordCount = in.Int();
    if (!in.Good()) return false;
    if (withTexCoords) {
        if (!in.Holds(texCoordCount, 8)) return false;
        mesh.texCoords.resize(static_cast<size_t>(texCoordCount) * 2);
        if (!in.Array32(mesh.texCoords.data(), int64_t{texCoordCount} * 2)) return false;
        mesh.faceTexCoordIndices.resize(static_cast<size_t>(corners));
        if (!in.Array32(mesh.faceTexCoordIndices.data(), corners)) return false;
        if (texCoordCount == 0) {
            // Indices into no coordinates: a sub-mesh without any.
            mesh.faceTexCoordIndices.clear();
        } else {
            for (uint32_t index : mesh.faceTexCoordIndices) {
                if (index >= static_cast<uint32_t>(texCoordCount)) return false;
            }
        }
    }

    // Centroid as stored; the bounds are taken from the vertices (for a file whose stored
    // bounds agree with its vertices, which ours always do, that is the same).
    for (float& value : mesh.centroid) value = in.Float();
    for (int k = 0; k < 6; ++k) in.Float();
    if (!in.Good()) return false;
    BoundsBuilder bounds;
    for (size_t i = 0; i + 2 < mesh.vertices.size(); i += 3)
        bounds.Extend(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]);
    mesh.bounds = bounds.bounds;
    return true;
}

bool ReadMaterials(NativeInput& in, const NativeHeader& header, Model& model)
{
    const int marker = in.Byte();
    in.OlderWord();
    if (marker != 'c') return false;
    model.hasColor = model.hasSpecular = model.hasDiffuse = model.hasTransparency = 1;
    for (Material& material : model.materials) {
        if (!in.String(material.name, kMaxMaterialNameChars)) return false;
        for (float& value : material.color) value = in.Float();
        for (float& value : material.diffuse) value = in.Float();
        for (float& value : material.specular) value = in.Float();
        material.transparency = in.Float();
        material.textureIndex = -1;
        if (header.version == Version::V30) {
            material.textureIndex = in.Int();
            if (material.textureIndex < -1 || material.textureIndex >= header.textureCount) return false;
        }
        if (!in.Good()) return false;
    }
    return true;
}

bool ReadTextures(NativeInput& in, Model& model)
{
    const int marker = in.Byte();
    in.OlderWord();
    if (marker != 't') return false;
    model.hasTextures = 1;
    for (Texture& texture : model.textures) {
        if (!in.String(texture.name, kMaxTextureNameChars)) return false;
        const int32_t width = in.Int();
        const int32_t height = in.Int();
        if (!in.Good() || width < 0 || height < 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
        const int64_t bytes = int64_t{width} * height * 3;
        if (!in.Holds(bytes, 1)) return false;
        texture.width = width;
        texture.height = height;
        texture.pixels.resize(static_cast<size_t>(bytes));
        for (uint8_t& byte : texture.pixels) {
            const int c = in.Byte();
            if (c < 0) return false;
            byte = static_cast<uint8_t>(c);
        }
    }
    return true;
}

bool Finite(const float* values, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return false;
    }
    return true;
}

template <size_t N>
void ReadFloats(NativeInput& in, std::array<float, N>& values)
{
    for (float& value : values) value = in.Float();
}

// The scene part after its marker (and the older versions' word).
bool ReadScenePart(NativeInput& in, Version version, SceneRecord& scene)
{
    ReadFloats(in, scene.viewOffset);
    ReadFloats(in, scene.modelRotation);
    ReadFloats(in, scene.stepAxis);
    scene.stepAngle = in.Float();
    scene.pitch = in.Float();
    scene.yaw = in.Float();
    scene.roll = in.Float();
    ReadFloats(in, scene.flyOffset);
    ReadFloats(in, scene.foreground);
    ReadFloats(in, scene.background);
    scene.washOn = in.Byte() > 0;
    ReadFloats(in, scene.filterColour);
    scene.filterAmount = in.Float();
    ReadFloats(in, scene.lightColour);
    scene.backgroundWidth = in.Int();
    scene.backgroundHeight = in.Int();
    if (!in.Good()) return false;
    if (scene.HasBackgroundImage()) {
        if (scene.backgroundWidth < 0 || scene.backgroundHeight < 0 || scene.backgroundWidth > kMaxImageSide ||
            scene.backgroundHeight > kMaxImageSide)
            return false;
        if (!in.String(scene.backgroundName, kMaxTextureNameChars)) return false;
        const int64_t bytes = int64_t{scene.backgroundWidth} * scene.backgroundHeight * 3;
        if (!in.Holds(bytes, 1)) return false;
        scene.backgroundPixels.resize(static_cast<size_t>(bytes));
        for (uint8_t& byte : scene.backgroundPixels) {
            const int c = in.Byte();
            if (c < 0) return false;
            byte = static_cast<uint8_t>(c);
        }
    } else {
        scene.backgroundWidth = scene.backgroundHeight = 0;
    }
    scene.depthCueFactor = in.Float();
    scene.hasVersion30Fields = version == Version::V30;
    if (scene.hasVersion30Fields) {
        ReadFloats(in, scene.viewTriple);
        scene.gamma = in.Float();
    }
    if (!in.Good()) return false;
    // Values that are not numbers would poison the camera: such a part counts as unreadable.
    const float* groups[] = {scene.viewOffset.data(), scene.modelRotation.data(), scene.stepAxis.data(),
                             scene.flyOffset.data(), scene.foreground.data(), scene.background.data(),
                             scene.filterColour.data(), scene.lightColour.data()};
    const size_t sizes[] = {3, 16, 3, 3, 3, 3, 3, 3};
    for (size_t g = 0; g < std::size(groups); ++g) {
        if (!Finite(groups[g], sizes[g])) return false;
    }
    const float singles[] = {scene.stepAngle, scene.pitch, scene.yaw, scene.roll, scene.filterAmount,
                             scene.depthCueFactor, scene.gamma};
    return Finite(singles, std::size(singles));
}

// ---- Writing ----------------------------------------------------------------------------------

std::string Truncated(const std::string& text, size_t maxChars)
{
    // A name ends at its first NUL in the file.
    std::string out = text.substr(0, text.find('\0'));
    if (out.size() > maxChars) out.resize(maxChars);
    return out;
}

template <size_t N>
void WriteFloats(WriterOutput& out, const std::array<float, N>& values)
{
    for (float value : values) out.LEFloat(value);
}

void WriteSubMesh(WriterOutput& out, const SubMesh& mesh, bool withTexCoords)
{
    const int32_t faceCount = mesh.FaceCount();
    out.LE32(static_cast<uint32_t>(mesh.VertexCount()));
    for (float value : mesh.vertices) out.LEFloat(value);
    out.LE32(static_cast<uint32_t>(faceCount));
    for (int32_t f = 0; f < faceCount; ++f) out.LE16(static_cast<uint16_t>(mesh.FaceCorners(f)));
    for (uint32_t index : mesh.faceIndices) out.LE32(index);
    for (int32_t f = 0; f < faceCount; ++f) out.LE32(static_cast<uint32_t>(mesh.FaceMaterial(f)));
    out.LE32(static_cast<uint32_t>(mesh.NormalCount()));
    for (float value : mesh.normals) out.LEFloat(value);
    if (!withTexCoords) {
        // Coordinates are only stored for a model with textures.
        out.LE32(0);
    } else {
        out.LE32(static_cast<uint32_t>(mesh.TexCoordCount()));
        for (float value : mesh.texCoords) out.LEFloat(value);
        // A sub-mesh without indices of its own uses its vertex indices, as readers of formats with
        // one coordinate per vertex do.
        const std::vector<uint32_t>& indices = mesh.HasTexCoordIndices() ? mesh.faceTexCoordIndices : mesh.faceIndices;
        for (uint32_t index : indices) out.LE32(index);
    }
    WriteFloats(out, mesh.centroid);
    WriteFloats(out, mesh.bounds);
}

void WriteScenePart(WriterOutput& out, const SceneRecord& scene)
{
    out.Byte('s');
    WriteFloats(out, scene.viewOffset);
    WriteFloats(out, scene.modelRotation);
    WriteFloats(out, scene.stepAxis);
    out.LEFloat(scene.stepAngle);
    out.LEFloat(scene.pitch);
    out.LEFloat(scene.yaw);
    out.LEFloat(scene.roll);
    WriteFloats(out, scene.flyOffset);
    WriteFloats(out, scene.foreground);
    WriteFloats(out, scene.background);
    out.Byte(scene.washOn ? 1 : 0);
    WriteFloats(out, scene.filterColour);
    out.LEFloat(scene.filterAmount);
    WriteFloats(out, scene.lightColour);
    const bool image = scene.HasBackgroundImage() && scene.backgroundWidth > 0 && scene.backgroundHeight > 0 &&
                       scene.backgroundPixels.size() ==
                           static_cast<size_t>(scene.backgroundWidth) * scene.backgroundHeight * 3;
    out.LE32(static_cast<uint32_t>(image ? scene.backgroundWidth : 0));
    out.LE32(static_cast<uint32_t>(image ? scene.backgroundHeight : 0));
    if (image) {
        out.CString(Truncated(scene.backgroundName, kMaxTextureNameChars));
        out.Bytes(scene.backgroundPixels.data(), scene.backgroundPixels.size());
    }
    out.LEFloat(scene.depthCueFactor);
    WriteFloats(out, scene.viewTriple);
    out.LEFloat(scene.gamma);
}

int64_t EstimatedBytes(const Model& model, const SceneRecord* scene)
{
    int64_t bytes = 64;
    for (const SubMesh& mesh : model.subMeshes) {
        bytes += kSmallestSubMeshBytes + 4 * static_cast<int64_t>(mesh.vertices.size() + mesh.normals.size() +
                                                                  mesh.texCoords.size() + 2 * mesh.faceIndices.size()) +
                 6 * int64_t{mesh.FaceCount()};
    }
    bytes += kSmallestMaterialBytes * model.MaterialCount();
    for (const Texture& texture : model.textures) bytes += kSmallestTextureBytes + 64 + static_cast<int64_t>(texture.pixels.size());
    if (scene) bytes += 200 + static_cast<int64_t>(scene->backgroundPixels.size());
    return bytes;
}

}  // namespace

std::unique_ptr<Model> ReadNativeFile(const char* path, LoadContext& ctx)
{
    ctx.sceneOffset.store(-1);
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. Header.
    NativeHeader header;
    if (const int32_t code = ReadHeader(in, header)) return FailWith(ctx, code);
    NativeInput input(in, header.version);
    const auto corrupt = [&ctx] { return FailWith(ctx, LoadResult::CorruptSvo); };
    if (!ReadMeshMarker(input)) return corrupt();
    input.OlderWord();

    // 2. Counts the remaining bytes can hold (a model has at least one sub-mesh, and fewer than
    //    32768 materials, as face materials are 16-bit values to the renderer).
    if (header.subMeshCount < 1 || !input.Holds(header.subMeshCount, kSmallestSubMeshBytes, sizeof(SubMesh)) ||
        !input.Holds(header.materialCount, kSmallestMaterialBytes, sizeof(Material)) ||
        header.materialCount >= 32768 || !input.Holds(header.textureCount, kSmallestTextureBytes, sizeof(Texture)) ||
        int64_t{header.subMeshCount} * kSmallestSubMeshBytes + int64_t{header.materialCount} * kSmallestMaterialBytes +
                int64_t{header.textureCount} * kSmallestTextureBytes >
            input.Remaining())
        return corrupt();
    auto model = NewModel(header.subMeshCount, header.materialCount, header.textureCount);
    for (Material& material : model->materials) material.textureIndex = -1;

    // 3. Sub-meshes, materials, textures.
    for (SubMesh& mesh : model->subMeshes) {
        if (!ReadSubMesh(input, header, mesh)) return corrupt();
    }
    if (header.materialCount > 0 && !ReadMaterials(input, header, *model)) return corrupt();
    if (header.textureCount > 0 && !ReadTextures(input, *model)) return corrupt();

    // 4. A scene part follows when the next byte is its marker.
    if (input.Byte() == 's') ctx.sceneOffset.store(in.Tell() - 1);
    return model;
}

bool ReadNativeScene(const char* path, int64_t& sceneOffset, SceneRecord& scene)
{
    const int64_t offset = sceneOffset;
    sceneOffset = -1;
    if (offset < 0) return false;
    LoadContext ctx;  // the scene part is read after the load: no progress to count
    ReaderInput in(ctx);
    if (!in.Open(path)) return false;
    NativeHeader header;
    if (ReadHeader(in, header) != 0) return false;
    if (!in.SkipBytes(offset, SEEK_SET)) return false;
    NativeInput input(in, header.version);
    const int marker = input.Byte();
    input.OlderWord();
    if (marker != 's') return false;
    SceneRecord read;
    if (!ReadScenePart(input, header.version, read)) return false;
    scene = std::move(read);
    return true;
}

bool WriteNativeFile(const Model& model, const SceneRecord* scene, const std::string& path, SaveContext& ctx)
{
    if (model.subMeshes.empty()) return ctx.Fail("The model has no sub-mesh to write.");
    for (const Texture& texture : model.textures) {
        if (texture.HasPixels() &&
            texture.pixels.size() != static_cast<size_t>(texture.width) * static_cast<size_t>(texture.height) * 3) {
            std::string message = "Texture \"";
            message += texture.name;
            message += "\" has pixels that do not match its size.";
            return ctx.Fail(std::move(message));
        }
    }
    ctx.total.store(EstimatedBytes(model, scene));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.Text(kMagic);
    out.Text("30");
    out.LE32(static_cast<uint32_t>(model.SubMeshCount()));
    out.LE32(static_cast<uint32_t>(model.MaterialCount()));
    out.LE32(static_cast<uint32_t>(model.TextureCount()));
    out.Byte('m');
    const bool withTexCoords = model.TextureCount() > 0;
    for (const SubMesh& mesh : model.subMeshes) WriteSubMesh(out, mesh, withTexCoords);
    if (!model.materials.empty()) {
        out.Byte('c');
        for (const Material& material : model.materials) {
            out.CString(Truncated(material.name, kMaxMaterialNameChars));
            WriteFloats(out, material.color);
            WriteFloats(out, material.diffuse);
            WriteFloats(out, material.specular);
            out.LEFloat(material.transparency);
            out.LE32(static_cast<uint32_t>(material.textureIndex));
        }
    }
    if (!model.textures.empty()) {
        out.Byte('t');
        for (const Texture& texture : model.textures) {
            out.CString(Truncated(texture.name, kMaxTextureNameChars));
            const bool pixels = texture.HasPixels();
            out.LE32(static_cast<uint32_t>(pixels ? texture.width : 0));
            out.LE32(static_cast<uint32_t>(pixels ? texture.height : 0));
            if (pixels) out.Bytes(texture.pixels.data(), texture.pixels.size());
        }
    }
    if (scene) WriteScenePart(out, *scene);
    return out.Finish();
}

bool WriteSvoFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    return WriteNativeFile(model, nullptr, path, ctx);
}

bool WriteSvsFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    const SceneRecord scene;
    return WriteNativeFile(model, &scene, path, ctx);
}

}  // namespace solvane
