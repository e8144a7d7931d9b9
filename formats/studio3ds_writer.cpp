// 3D Studio writer: a mesh file of chunks (16-bit identifier, 32-bit length patched once the
// chunk's end is known). Materials carry their colours as 24-bit colour chunks, transparency as an
// integer percentage and their image as a texture, reflection or bump map; the images are written
// beside the model as BMP. Every sub-mesh becomes one named object of one triangle mesh, split into
// several objects where it has more than 65535 vertices or faces (the 16-bit counts of the format).
#include "formats/studio3ds.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

using namespace chunk3ds;

constexpr int64_t kMaxCount = 65535;  // 16-bit vertex, face and index counts
constexpr size_t kMaxObjectName = 10;  // and a NUL: the 12-byte field holds at most 11
constexpr size_t kMaxMaterialName = 63;

// Writes a chunk's header with a length to patch; End patches it.
class ChunkWriter {
public:
    explicit ChunkWriter(WriterOutput& out) : out_(out) {}
    void Begin(uint16_t id)
    {
        out_.LE16(id);
        starts_.push_back(out_.Tell());
        out_.LE32(0);
    }
    void End()
    {
        const int64_t start = starts_.back() - 2;
        starts_.pop_back();
        out_.PatchLE32(start + 2, static_cast<uint32_t>(out_.Tell() - start));
    }

private:
    WriterOutput& out_;
    std::vector<int64_t> starts_;
};

uint8_t ColorByte(float value)
{
    if (!(value > 0)) return 0;
    if (value >= 1) return 255;
    return static_cast<uint8_t>(std::lround(value * 255.0f));
}

void WriteColorChunk(WriterOutput& out, ChunkWriter& chunks, uint16_t id, const std::array<float, 3>& color)
{
    chunks.Begin(id);
    chunks.Begin(kColor24);
    for (float channel : color) out.Byte(ColorByte(channel));
    chunks.End();
    chunks.End();
}

void WriteMaterial(WriterOutput& out, ChunkWriter& chunks, const Model& model, const Material& material,
                   const std::string& name, const TextureFiles& textures)
{
    const MaterialLook look = LookOf(model, material);
    chunks.Begin(kMaterialChunk);
    chunks.Begin(kMaterialName);
    out.CString(name);
    chunks.End();
    // The reader takes the ambient colour as the material's colour; the diffuse colour is the
    // one drawn, which other programs show.
    if (model.hasColor == 1) WriteColorChunk(out, chunks, kMaterialColor, look.color);
    if (model.hasColor == 1 || model.hasDiffuse == 1) WriteColorChunk(out, chunks, kMaterialDiffuse, look.diffuse);
    if (model.hasSpecular == 1) WriteColorChunk(out, chunks, kMaterialSpecular, look.specular);
    if (model.hasColor == 1 && model.hasTransparency == 1) {
        chunks.Begin(kMaterialTransparency);
        chunks.Begin(kIntPercentage);
        out.LE16(static_cast<uint16_t>(std::clamp<long>(std::lround(material.transparency * 100.0f), 0, 100)));
        chunks.End();
        chunks.End();
    }
    const std::string& image = textures.Name(material.textureIndex);
    if (!image.empty()) {
        const int32_t mode = model.textures[static_cast<size_t>(material.textureIndex)].mappingMode;
        chunks.Begin(mode == 1 ? kReflectionMap : (mode == 2 ? kBumpMap : kTextureMap));
        chunks.Begin(kIntPercentage);  // the map's strength
        out.LE16(100);
        chunks.End();
        chunks.Begin(kMapFileName);
        out.CString(image);
        chunks.End();
        chunks.End();
    }
    chunks.End();
}

// One named object holding one triangle mesh.
void WriteObject(WriterOutput& out, ChunkWriter& chunks, const ExportMesh& mesh, const std::string& name,
                 const std::vector<int32_t>& materialOf, const std::vector<std::string>& materialNames)
{
    chunks.Begin(kNamedObject);
    out.CString(name);
    chunks.Begin(kTriangleMesh);

    chunks.Begin(kPointArray);
    out.LE16(static_cast<uint16_t>(mesh.VertexCount()));
    for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
        const float* p = mesh.Position(static_cast<uint32_t>(k));
        for (int axis = 0; axis < 3; ++axis) out.LEFloat(p[axis]);
    }
    chunks.End();

    if (mesh.HasTexCoords()) {
        chunks.Begin(kTexCoords);
        out.LE16(static_cast<uint16_t>(mesh.VertexCount()));
        for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
            out.LEFloat(mesh.TexCoord(static_cast<uint32_t>(k))[0]);
            out.LEFloat(mesh.TexCoord(static_cast<uint32_t>(k))[1]);
        }
        chunks.End();
    }

    // The vertices are stored as they are: the object's own axes are the identity.
    chunks.Begin(kMeshMatrix);
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (float value : identity) out.LEFloat(value);
    chunks.End();

    chunks.Begin(kFaceArray);
    out.LE16(static_cast<uint16_t>(mesh.FaceCount()));
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const uint32_t* corners = mesh.FaceIndices(f);
        for (int k = 0; k < 3; ++k) out.LE16(static_cast<uint16_t>(corners[k]));
        out.LE16(0x0007);  // all three edges visible
    }
    // One group per material, listing its faces in order.
    std::vector<std::vector<uint16_t>> groups(materialNames.size());
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const int32_t material = materialOf[static_cast<size_t>(f)];
        if (material >= 0) groups[static_cast<size_t>(material)].push_back(static_cast<uint16_t>(f));
    }
    for (size_t m = 0; m < groups.size(); ++m) {
        if (groups[m].empty()) continue;
        chunks.Begin(kMaterialGroup);
        out.CString(materialNames[m]);
        out.LE16(static_cast<uint16_t>(groups[m].size()));
        for (uint16_t face : groups[m]) out.LE16(face);
        chunks.End();
    }
    // Every face in smoothing group 1, so that other programs shade the object smoothly.
    chunks.Begin(kSmoothingGroups);
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) out.LE32(1);
    chunks.End();
    chunks.End();  // face array

    chunks.End();  // triangle mesh
    chunks.End();  // named object
}

}  // namespace

bool Write3dsFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.triangles = true;
    options.reverseWinding = ReversesWinding(model, Format::Studio3ds);
    const ExportModel exported = PrepareExport(model, options);

    // Objects: each sub-mesh, split at the 16-bit counts.
    std::vector<ExportMesh> objects;
    std::vector<std::string> objectSourceNames;
    for (size_t s = 0; s < exported.meshes.size(); ++s) {
        if (exported.meshes[s].VertexCount() == 0) continue;
        for (ExportMesh& piece : SplitExportMesh(exported.meshes[s], kMaxCount, kMaxCount)) {
            objects.push_back(std::move(piece));
            objectSourceNames.push_back(model.subMeshes[s].name);
        }
    }
    const std::vector<std::string> objectNames = UniqueNames(objectSourceNames, "Object", kMaxObjectName, NameRule::Any);

    std::vector<Material> materials = model.materials;
    const bool addDefault = NeedsDefaultMaterial(model, exported);
    if (addDefault) materials.push_back(DefaultMaterial());
    std::vector<std::string> sourceNames;
    for (const Material& material : materials) sourceNames.push_back(material.name);
    const std::vector<std::string> materialNames = UniqueNames(sourceNames, "Material", kMaxMaterialName, NameRule::Any);

    TextureFiles textures(model, path, ImageFileType::Bmp);
    for (const Material& material : model.materials) textures.Use(material.textureIndex);
    int64_t bytes = 64 + textures.BytesEstimate();
    for (const ExportMesh& object : objects) bytes += 100 + object.VertexCount() * 20 + object.FaceCount() * 14;
    ctx.total.store(bytes + static_cast<int64_t>(materials.size()) * 120);

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    ChunkWriter chunks(out);
    chunks.Begin(kMainChunk);
    chunks.Begin(kVersion);
    out.LE32(3);
    chunks.End();
    chunks.Begin(kEditorChunk);
    chunks.Begin(kMeshVersion);
    out.LE32(3);
    chunks.End();
    chunks.Begin(kMasterScale);
    out.LEFloat(1.0f);
    chunks.End();
    for (size_t m = 0; m < materials.size(); ++m) WriteMaterial(out, chunks, model, materials[m], materialNames[m], textures);
    const int32_t defaultIndex = addDefault ? static_cast<int32_t>(materials.size() - 1) : -1;
    for (size_t o = 0; o < objects.size(); ++o) {
        std::vector<int32_t> materialOf;
        for (int32_t material : objects[o].faceMaterials) {
            const int32_t valid = ValidMaterial(model, material);
            materialOf.push_back(valid >= 0 ? valid : defaultIndex);
        }
        WriteObject(out, chunks, objects[o], objectNames[o], materialOf, materialNames);
    }
    chunks.End();  // editor
    chunks.End();  // main

    return textures.WriteAndFinish(out, ctx);
}

}  // namespace solvane
