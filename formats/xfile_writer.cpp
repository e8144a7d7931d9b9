// DirectX .x writer, text ("xof 0303txt 0032") and binary ("xof 0303bin 0032"): the materials at
// the top level, each with the image of its texture (written beside the model as BMP), then one
// Mesh per sub-mesh with its polygons, normals, texture coordinates (one per vertex) and a material
// list that refers to the materials by name. The binary form is the format's token stream: names,
// strings ended by a separator token, and the values as integer and float lists.
#include "formats/xfile.h"

#include <string>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

constexpr size_t kMaxName = 63;
constexpr float kSpecularPower = 16.0f;

// Binary token codes.
constexpr uint16_t kTokenName = 1;
constexpr uint16_t kTokenString = 2;
constexpr uint16_t kTokenIntegerList = 6;
constexpr uint16_t kTokenFloatList = 7;
constexpr uint16_t kTokenOpenBrace = 10;
constexpr uint16_t kTokenCloseBrace = 11;
constexpr uint16_t kTokenSemicolon = 20;

// What both forms write: the materials and the meshes, prepared once.
struct XScene {
    const Model* model = nullptr;
    std::vector<Material> materials;
    std::vector<std::string> materialNames;
    std::vector<std::string> materialImages;
    int32_t defaultMaterial = -1;
    std::vector<const ExportMesh*> meshes;
    std::vector<std::string> meshNames;
    bool withMaterials = false;

    int32_t MaterialOf(int32_t faceMaterial) const
    {
        const int32_t m = ValidMaterial(*model, faceMaterial);
        return m >= 0 ? m : defaultMaterial;
    }
    // Face colour r, g, b, a; power; specular r, g, b; emissive r, g, b.
    std::array<float, 11> MaterialValues(size_t m) const
    {
        const MaterialLook look = LookOf(*model, materials[m]);
        return {look.diffuse[0], look.diffuse[1], look.diffuse[2], 1.0f - look.transparency, kSpecularPower,
                look.specular[0], look.specular[1], look.specular[2], 0, 0, 0};
    }
};

// ---- Text -----------------------------------------------------------------------------------

void TextFloats(WriterOutput& out, const float* values, int count)
{
    for (int i = 0; i < count; ++i) {
        out.Float(values[i]);
        out.Text(";");
    }
}

// Groups of values, each group ended by ";", the groups separated by "," and the list by ";".
template <typename Group>
void TextList(WriterOutput& out, int64_t count, Group&& group)
{
    out.Int(count);
    out.Text(";\n");
    for (int64_t i = 0; i < count; ++i) {
        out.Text("  ");
        group(i);
        out.Text(i + 1 < count ? ",\n" : ";\n");
    }
    if (count == 0) out.Text("  ;\n");
}

void TextFaces(WriterOutput& out, const ExportMesh& mesh)
{
    TextList(out, mesh.FaceCount(), [&](int64_t f) {
        const int32_t face = static_cast<int32_t>(f);
        out.Int(mesh.FaceCorners(face));
        out.Text(";");
        for (int k = 0; k < mesh.FaceCorners(face); ++k) {
            if (k) out.Text(",");
            out.Int(mesh.FaceIndices(face)[k]);
        }
        out.Text(";");
    });
}

void WriteText(WriterOutput& out, const XScene& scene)
{
    out.Text("xof 0303txt 0032\n");
    for (size_t m = 0; m < scene.materials.size(); ++m) {
        const std::array<float, 11> v = scene.MaterialValues(m);
        out.Text("\nMaterial ");
        out.Text(scene.materialNames[m]);
        out.Text(" {\n  ");
        TextFloats(out, v.data(), 4);
        out.Text(";\n  ");
        TextFloats(out, v.data() + 4, 1);
        out.Text("\n  ");
        TextFloats(out, v.data() + 5, 3);
        out.Text(";\n  ");
        TextFloats(out, v.data() + 8, 3);
        out.Text(";\n");
        if (!scene.materialImages[m].empty()) {
            out.Text("  TextureFilename {\n    \"");
            out.Text(scene.materialImages[m]);
            out.Text("\";\n  }\n");
        }
        out.Text("}\n");
    }
    for (size_t s = 0; s < scene.meshes.size(); ++s) {
        const ExportMesh& mesh = *scene.meshes[s];
        out.Text("\nMesh ");
        out.Text(scene.meshNames[s]);
        out.Text(" {\n");
        TextList(out, mesh.VertexCount(), [&](int64_t k) { TextFloats(out, mesh.Position(static_cast<uint32_t>(k)), 3); });
        TextFaces(out, mesh);
        if (mesh.HasNormals()) {
            out.Text(" MeshNormals {\n");
            TextList(out, mesh.VertexCount(), [&](int64_t k) { TextFloats(out, mesh.Normal(static_cast<uint32_t>(k)), 3); });
            TextFaces(out, mesh);
            out.Text(" }\n");
        }
        if (mesh.HasTexCoords()) {
            out.Text(" MeshTextureCoords {\n");
            TextList(out, mesh.VertexCount(), [&](int64_t k) { TextFloats(out, mesh.TexCoord(static_cast<uint32_t>(k)), 2); });
            out.Text(" }\n");
        }
        if (scene.withMaterials) {
            out.Text(" MeshMaterialList {\n  ");
            out.Int(static_cast<int64_t>(scene.materials.size()));
            out.Text(";\n  ");
            out.Int(mesh.FaceCount());
            out.Text(";\n");
            for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
                out.Text("  ");
                out.Int(scene.MaterialOf(mesh.faceMaterials[static_cast<size_t>(f)]));
                out.Text(f + 1 < mesh.FaceCount() ? ",\n" : ";\n");
            }
            out.Text(mesh.FaceCount() == 0 ? "  ;;\n" : "  ;\n");
            for (const std::string& name : scene.materialNames) {
                out.Text("  {");
                out.Text(name);
                out.Text("}\n");
            }
            out.Text(" }\n");
        }
        out.Text("}\n");
    }
}

// ---- Binary ---------------------------------------------------------------------------------

void BinaryName(WriterOutput& out, const std::string& name)
{
    out.LE16(kTokenName);
    out.LE32(static_cast<uint32_t>(name.size()));
    out.Text(name);
}

void BinaryOpen(WriterOutput& out, const char* type, const std::string& name)
{
    BinaryName(out, type);
    if (!name.empty()) BinaryName(out, name);
    out.LE16(kTokenOpenBrace);
}

void BinaryClose(WriterOutput& out)
{
    out.LE16(kTokenCloseBrace);
}

void BinaryIntegers(WriterOutput& out, const std::vector<uint32_t>& values)
{
    out.LE16(kTokenIntegerList);
    out.LE32(static_cast<uint32_t>(values.size()));
    for (uint32_t value : values) out.LE32(value);
}

// A float list of count groups of `per` values each.
template <typename Group>
void BinaryFloats(WriterOutput& out, int64_t count, int per, Group&& group)
{
    out.LE16(kTokenFloatList);
    out.LE32(static_cast<uint32_t>(count * per));
    for (int64_t i = 0; i < count; ++i) {
        const float* values = group(i);
        for (int k = 0; k < per; ++k) out.LEFloat(values[k]);
    }
}

std::vector<uint32_t> FaceIntegers(const ExportMesh& mesh, bool withCount)
{
    std::vector<uint32_t> values;
    if (withCount) values.push_back(static_cast<uint32_t>(mesh.FaceCount()));
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        values.push_back(static_cast<uint32_t>(mesh.FaceCorners(f)));
        values.insert(values.end(), mesh.FaceIndices(f), mesh.FaceIndices(f) + mesh.FaceCorners(f));
    }
    return values;
}

void WriteBinary(WriterOutput& out, const XScene& scene)
{
    out.Text("xof 0303bin 0032");
    for (size_t m = 0; m < scene.materials.size(); ++m) {
        BinaryOpen(out, "Material", scene.materialNames[m]);
        const std::array<float, 11> v = scene.MaterialValues(m);
        BinaryFloats(out, 1, 11, [&](int64_t) { return v.data(); });
        if (!scene.materialImages[m].empty()) {
            BinaryOpen(out, "TextureFilename", "");
            out.LE16(kTokenString);
            out.LE32(static_cast<uint32_t>(scene.materialImages[m].size()));
            out.Text(scene.materialImages[m]);
            out.LE16(kTokenSemicolon);
            BinaryClose(out);
        }
        BinaryClose(out);
    }
    for (size_t s = 0; s < scene.meshes.size(); ++s) {
        const ExportMesh& mesh = *scene.meshes[s];
        BinaryOpen(out, "Mesh", scene.meshNames[s]);
        BinaryIntegers(out, {static_cast<uint32_t>(mesh.VertexCount())});
        BinaryFloats(out, mesh.VertexCount(), 3, [&](int64_t k) { return mesh.Position(static_cast<uint32_t>(k)); });
        BinaryIntegers(out, FaceIntegers(mesh, true));
        if (mesh.HasNormals()) {
            BinaryOpen(out, "MeshNormals", "");
            BinaryIntegers(out, {static_cast<uint32_t>(mesh.VertexCount())});
            BinaryFloats(out, mesh.VertexCount(), 3, [&](int64_t k) { return mesh.Normal(static_cast<uint32_t>(k)); });
            BinaryIntegers(out, FaceIntegers(mesh, true));
            BinaryClose(out);
        }
        if (mesh.HasTexCoords()) {
            BinaryOpen(out, "MeshTextureCoords", "");
            BinaryIntegers(out, {static_cast<uint32_t>(mesh.VertexCount())});
            BinaryFloats(out, mesh.VertexCount(), 2, [&](int64_t k) { return mesh.TexCoord(static_cast<uint32_t>(k)); });
            BinaryClose(out);
        }
        if (scene.withMaterials) {
            BinaryOpen(out, "MeshMaterialList", "");
            std::vector<uint32_t> values{static_cast<uint32_t>(scene.materials.size()), static_cast<uint32_t>(mesh.FaceCount())};
            for (int32_t material : mesh.faceMaterials) values.push_back(static_cast<uint32_t>(scene.MaterialOf(material)));
            BinaryIntegers(out, values);
            for (const std::string& name : scene.materialNames) {
                out.LE16(kTokenOpenBrace);
                BinaryName(out, name);
                out.LE16(kTokenCloseBrace);
            }
            BinaryClose(out);
        }
        BinaryClose(out);
    }
}

bool WriteX(const Model& model, const std::string& path, bool binary, SaveContext& ctx)
{
    ExportOptions options;
    options.reverseWinding = ReversesWinding(model, Format::DirectX);
    const ExportModel exported = PrepareExport(model, options);

    XScene scene;
    scene.model = &model;
    scene.materials = model.materials;
    if (NeedsDefaultMaterial(model, exported)) {
        scene.materials.push_back(DefaultMaterial());
        scene.defaultMaterial = static_cast<int32_t>(scene.materials.size() - 1);
    }
    scene.withMaterials = !scene.materials.empty();
    std::vector<std::string> names;
    for (const Material& material : scene.materials) names.push_back(material.name);
    scene.materialNames = UniqueNames(names, "Material", kMaxName, NameRule::Identifier);
    TextureFiles textures(model, path, ImageFileType::Bmp);
    for (size_t m = 0; m < scene.materials.size(); ++m) {
        const int32_t texture = static_cast<int32_t>(m) == scene.defaultMaterial ? -1 : scene.materials[m].textureIndex;
        textures.Use(texture);
        scene.materialImages.push_back(textures.Name(texture));
    }
    // Sub-meshes without vertices are left out, but a file holds at least one mesh.
    names.clear();
    for (size_t s = 0; s < exported.meshes.size(); ++s) {
        if (exported.meshes[s].VertexCount() == 0 && !(s + 1 == exported.meshes.size() && scene.meshes.empty())) continue;
        scene.meshes.push_back(&exported.meshes[s]);
        names.push_back(model.subMeshes[s].name);
    }
    scene.meshNames = UniqueNames(names, "Mesh", kMaxName, NameRule::Identifier);

    int64_t bytes = 64 + textures.BytesEstimate() + static_cast<int64_t>(scene.materials.size()) * 160;
    for (const ExportMesh* mesh : scene.meshes) {
        bytes += 100 + mesh->VertexCount() * (binary ? 32 : 80) + static_cast<int64_t>(mesh->faceIndices.size()) * (binary ? 8 : 14) +
                 mesh->FaceCount() * (binary ? 8 : 10) * (scene.withMaterials ? 2 : 1);
    }
    ctx.total.store(bytes);

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    if (binary) WriteBinary(out, scene);
    else WriteText(out, scene);
    return textures.WriteAndFinish(out, ctx);
}

}  // namespace

bool WriteXBinaryFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    return WriteX(model, path, true, ctx);
}

bool WriteXTextFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    return WriteX(model, path, false, ctx);
}

}  // namespace solvane
