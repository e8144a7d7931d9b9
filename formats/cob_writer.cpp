// trueSpace writer: a binary little-endian object file ("Caligari V00.01BLH"), one polygon object
// (PolH, version 0.8) per sub-mesh with its own texture-coordinate indices and its holes, each
// followed by the materials (Mat1, version 0.8) its faces use, numbered within the object as the
// format has it. Texture maps name images written beside the model as BMP.
#include "formats/cob.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

constexpr char kHeader[] = "Caligari V00.01BLH             \n";
static_assert(sizeof(kHeader) - 1 == 32);
constexpr uint8_t kHoleFlags = 8;
constexpr uint16_t kNoMaterial = 0xFFFF;

class CobWriter {
public:
    CobWriter(WriterOutput& out) : out_(out) {}

    // Starts a chunk: type, version 0.8 (END 1.0), its id and its parent's; the size is patched.
    uint32_t Begin(const char* type, uint32_t parent, uint16_t major = 0, uint16_t minor = 8)
    {
        out_.Bytes(type, 4);
        out_.LE16(major);
        out_.LE16(minor);
        const uint32_t id = nextId_++;
        out_.LE32(id);
        out_.LE32(parent);
        sizeAt_ = out_.Tell();
        out_.LE32(0);
        return id;
    }
    void End() { out_.PatchLE32(sizeAt_, static_cast<uint32_t>(out_.Tell() - sizeAt_ - 4)); }

private:
    WriterOutput& out_;
    uint32_t nextId_ = 1;
    int64_t sizeAt_ = 0;
};

void WriteName(WriterOutput& out, const std::string& name)
{
    const std::string kept = name.substr(0, 0xFFFF);
    out.LE16(0);  // duplicate count
    out.LE16(static_cast<uint16_t>(kept.size()));
    out.Text(kept);
}

void WritePolygonObject(WriterOutput& out, const ExportMesh& mesh, const std::string& name,
                        const std::vector<uint16_t>& localMaterial)
{
    WriteName(out, name);
    // Local axes: the origin and the unit axes; the current position is the identity, so the
    // vertices are stored as they are.
    const float axes[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (float value : axes) out.LEFloat(value);
    const float position[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    for (float value : position) out.LEFloat(value);

    out.LE32(static_cast<uint32_t>(mesh.VertexCount()));
    for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
        const float* p = mesh.Position(static_cast<uint32_t>(k));
        for (int axis = 0; axis < 3; ++axis) out.LEFloat(p[axis]);
    }
    // Readers expect every corner to name a texture coordinate: a mesh without them gets (0, 0).
    const uint32_t texCoordCount = static_cast<uint32_t>(mesh.texCoords.size() / 2);
    out.LE32(std::max<uint32_t>(texCoordCount, 1));
    for (float value : mesh.texCoords) out.LEFloat(value);
    if (texCoordCount == 0) {
        out.LEFloat(0.0f);
        out.LEFloat(0.0f);
    }

    out.LE32(static_cast<uint32_t>(mesh.FaceCount()));
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const bool hole = mesh.faceIsHole[static_cast<size_t>(f)];
        out.Byte(hole ? kHoleFlags : 0);
        out.LE16(static_cast<uint16_t>(mesh.FaceCorners(f)));
        if (!hole) out.LE16(localMaterial[static_cast<size_t>(f)]);
        const uint32_t* corners = mesh.FaceIndices(f);
        const uint32_t* tex = mesh.FaceTexCoordIndices(f);
        for (int k = 0; k < mesh.FaceCorners(f); ++k) {
            out.LE32(corners[k]);
            out.LE32(tex ? tex[k] : 0);
        }
    }
    out.LE32(0);  // draw flags
}

void WriteMaterial(WriterOutput& out, const Model& model, const Material& material, uint16_t number,
                   const TextureFiles& textures)
{
    const MaterialLook look = LookOf(model, material);
    out.LE16(number);
    out.Byte('p');  // Phong shading
    out.Byte('a');  // automatic facets
    out.Byte(40);   // auto-facet angle
    for (float channel : look.color) out.LEFloat(channel);
    out.LEFloat(1.0f - look.transparency);  // alpha
    // The reader makes grey diffuse and specular colours of the two coefficients; a diffuse that
    // is no brighter than the colour is not drawn, so it is left at 0 then.
    const float diffuse = (look.diffuse[0] + look.diffuse[1] + look.diffuse[2]) / 3.0f;
    const float color = (look.color[0] + look.color[1] + look.color[2]) / 3.0f;
    out.LEFloat(diffuse > color ? diffuse : 0.0f);                                // ka
    out.LEFloat((look.specular[0] + look.specular[1] + look.specular[2]) / 3.0f);  // ks
    out.LEFloat(0.0f);  // exponent
    out.LEFloat(1.0f);  // index of refraction

    const std::string& image = textures.Name(material.textureIndex);
    if (image.empty()) return;
    const int32_t mode = model.textures[static_cast<size_t>(material.textureIndex)].mappingMode;
    out.Text(mode == 1 ? "e:" : (mode == 2 ? "b:" : "t:"));
    out.Byte(2);  // flags
    out.LE16(static_cast<uint16_t>(image.size()));
    out.Text(image);
    if (mode == 1) return;
    const float placement[4] = {0, 0, 1, 1};  // offset u, v, repeats u, v
    for (float value : placement) out.LEFloat(value);
    if (mode == 2) out.LEFloat(1.0f);  // amplitude
}

}  // namespace

bool WriteCobFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.keepHoles = true;
    options.texCoordPerVertex = false;
    options.reverseWinding = ReversesWinding(model, Format::TrueSpace);
    const ExportModel exported = PrepareExport(model, options);

    std::vector<Material> materials = model.materials;
    const bool addDefault = NeedsDefaultMaterial(model, exported);
    if (addDefault) materials.push_back(DefaultMaterial());
    const int32_t defaultIndex = addDefault ? static_cast<int32_t>(materials.size() - 1) : -1;

    TextureFiles textures(model, path, ImageFileType::Bmp, 0xFFFF);
    for (const Material& material : model.materials) textures.Use(material.textureIndex);
    int64_t bytes = 64 + textures.BytesEstimate();
    for (const ExportMesh& mesh : exported.meshes) {
        bytes += 200 + mesh.VertexCount() * 12 + static_cast<int64_t>(mesh.texCoords.size()) * 4 +
                 mesh.FaceCount() * 5 + static_cast<int64_t>(mesh.faceIndices.size()) * 8;
    }
    ctx.total.store(bytes);

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    out.Text(std::string_view(kHeader, 32));
    CobWriter chunks(out);
    // Sub-meshes without vertices are left out, but a file holds at least one object.
    bool anyVertices = false;
    for (const ExportMesh& mesh : exported.meshes) anyVertices = anyVertices || mesh.VertexCount() > 0;
    for (size_t s = 0; s < exported.meshes.size(); ++s) {
        const ExportMesh& mesh = exported.meshes[s];
        if (mesh.VertexCount() == 0 && (anyVertices || s > 0)) continue;
        // The object's materials, numbered in the order its faces first use them.
        std::vector<int32_t> used;
        std::unordered_map<int32_t, uint16_t> number;
        std::vector<uint16_t> localMaterial;
        for (int32_t material : mesh.faceMaterials) {
            int32_t m = ValidMaterial(model, material);
            if (m < 0) m = defaultIndex;
            if (m < 0) {
                localMaterial.push_back(kNoMaterial);
                continue;
            }
            const auto [found, added] = number.try_emplace(m, static_cast<uint16_t>(used.size()));
            if (added) used.push_back(m);
            localMaterial.push_back(found->second);
        }
        if (used.size() >= kNoMaterial) return ExceedsFormatLimit(ctx, kNoMaterial - 1, "materials in an object");
        const uint32_t object = chunks.Begin("PolH", 0);
        WritePolygonObject(out, mesh, model.subMeshes[s].name, localMaterial);
        chunks.End();
        for (size_t m = 0; m < used.size(); ++m) {
            chunks.Begin("Mat1", object);
            WriteMaterial(out, model, materials[static_cast<size_t>(used[m])], static_cast<uint16_t>(m), textures);
            chunks.End();
        }
    }
    chunks.Begin("END ", 0, 1, 0);
    chunks.End();

    return textures.WriteAndFinish(out, ctx);
}

}  // namespace solvane
