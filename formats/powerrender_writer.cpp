// Power Render writer: the main chunk 0x0303 holding the texture name list (the images written
// beside the model as PCX, which is what the format's texture loader reads), the materials and one
// object chunk per sub-mesh with its vertices and triangles, each triangle with its own three
// texture coordinates. Chunks are little-endian: 16-bit identifier, 32-bit length including the
// 6-byte header, content.
#include "formats/powerrender.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

constexpr uint16_t kMainChunk = 0x0303;
constexpr uint16_t kObjectChunk = 0x1000;
constexpr uint16_t kVerticesChunk = 0x1030;
constexpr uint16_t kFacesChunk = 0x1040;
constexpr uint16_t kTextureNamesChunk = 0x2010;
constexpr uint16_t kMaterialsChunk = 0x2100;
constexpr uint16_t kMaterialName = 0x2101;
constexpr uint16_t kMaterialId = 0x2103;
constexpr uint16_t kMaterialColour = 0x2109;
constexpr uint16_t kMaterialEnd = 0x2199;
constexpr uint16_t kNoMaterial = 0xFFFF;
constexpr int64_t kMaxTextures = 0xFFFF;
constexpr size_t kMaxMaterialName = 63;
// Each unit normal component is stored as a 16-bit fraction of this.
constexpr float kNormalScale = 32767.0f;

class ProChunks {
public:
    explicit ProChunks(WriterOutput& out) : out_(out) {}
    void Begin(uint16_t id)
    {
        starts_.push_back(out_.Tell());
        out_.LE16(id);
        out_.LE32(0);
    }
    void End()
    {
        const int64_t start = starts_.back();
        starts_.pop_back();
        out_.PatchLE32(start + 2, static_cast<uint32_t>(out_.Tell() - start));
    }

private:
    WriterOutput& out_;
    std::vector<int64_t> starts_;
};

}  // namespace

bool WriteProFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.triangles = true;
    options.texCoordPerVertex = false;
    options.reverseWinding = ReversesWinding(model, Format::PowerRender);
    const ExportModel exported = PrepareExport(model, options);
    if (model.TextureCount() > kMaxTextures) return ExceedsFormatLimit(ctx, kMaxTextures, "textures");
    if (model.MaterialCount() >= kNoMaterial) return ExceedsFormatLimit(ctx, kNoMaterial - 1, "materials");

    std::vector<Material> materials = model.materials;
    const bool addDefault = NeedsDefaultMaterial(model, exported);
    if (addDefault) materials.push_back(DefaultMaterial());
    const int32_t defaultIndex = addDefault ? static_cast<int32_t>(materials.size() - 1) : -1;
    TextureFiles textures(model, path, ImageFileType::Pcx);
    for (int32_t t = 0; t < model.TextureCount(); ++t) textures.Use(t);
    std::vector<std::string> sourceNames;
    for (const Material& material : materials) sourceNames.push_back(material.name);
    const std::vector<std::string> names = UniqueNames(sourceNames, "Material", kMaxMaterialName, NameRule::Any);
    int64_t bytes = 64 + textures.BytesEstimate() + static_cast<int64_t>(materials.size()) * 100;
    for (const ExportMesh& mesh : exported.meshes) bytes += 30 + mesh.VertexCount() * 18 + mesh.FaceCount() * 61;
    ctx.total.store(bytes);

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    ProChunks chunks(out);
    chunks.Begin(kMainChunk);

    chunks.Begin(kTextureNamesChunk);
    out.LE16(static_cast<uint16_t>(model.TextureCount()));
    for (int32_t t = 0; t < model.TextureCount(); ++t) out.CString(textures.Name(t));
    chunks.End();

    chunks.Begin(kMaterialsChunk);
    for (size_t m = 0; m < materials.size(); ++m) {
        const MaterialLook look = LookOf(model, materials[m]);
        chunks.Begin(kMaterialName);
        out.CString(names[m]);
        chunks.End();
        chunks.Begin(kMaterialId);
        out.LE32(static_cast<uint32_t>(m));
        chunks.End();
        // The reader takes the colour as colour and diffuse together: the one drawn lit.
        chunks.Begin(kMaterialColour);
        for (float channel : look.diffuse) out.LEFloat(channel);
        out.LEFloat(look.transparency);
        chunks.End();
        chunks.Begin(kMaterialEnd);
        chunks.End();
    }
    chunks.End();

    const uint32_t objectCount = static_cast<uint32_t>(exported.meshes.size());
    for (const ExportMesh& mesh : exported.meshes) {
        chunks.Begin(kObjectChunk);
        out.LE32(objectCount);  // the number of objects, as readers take it
        chunks.Begin(kVerticesChunk);
        out.LE32(static_cast<uint32_t>(mesh.VertexCount()));
        std::vector<std::array<float, 3>> normals;
        if (!mesh.HasNormals()) normals = FrameNormals(mesh, 0, Format::PowerRender);
        for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
            const float* p = mesh.Position(static_cast<uint32_t>(k));
            for (int axis = 0; axis < 3; ++axis) out.LEFloat(p[axis]);
            const float* n = mesh.HasNormals() ? mesh.Normal(static_cast<uint32_t>(k)) : normals[static_cast<size_t>(k)].data();
            for (int axis = 0; axis < 3; ++axis) {
                const float value = std::isfinite(n[axis]) ? std::clamp(n[axis], -1.0f, 1.0f) : 0.0f;
                out.LE16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * kNormalScale))));
            }
        }
        chunks.End();
        chunks.Begin(kFacesChunk);
        out.LE32(static_cast<uint32_t>(mesh.FaceCount()));
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            int32_t material = ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]);
            if (material < 0) material = defaultIndex;
            out.LE16(material < 0 ? kNoMaterial : static_cast<uint16_t>(material));
            out.LE16(0);
            const uint32_t* corners = mesh.FaceIndices(f);
            for (int k = 0; k < 3; ++k) out.LE32(corners[k]);
            const uint32_t* tex = mesh.FaceTexCoordIndices(f);
            for (int axis = 0; axis < 2; ++axis) {
                for (int k = 0; k < 3; ++k) out.LEFloat(tex ? mesh.texCoords[2 * size_t{tex[k]} + axis] : 0.0f);
            }
            const uint8_t reserved[21] = {};
            out.Bytes(reserved, sizeof reserved);
        }
        chunks.End();
        chunks.End();  // object
    }
    chunks.End();  // main

    return textures.WriteAndFinish(out, ctx);
}

}  // namespace solvane
