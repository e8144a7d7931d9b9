// Wavefront OBJ writer with its material library. Each sub-mesh is an "o" group; every vertex has
// its own texture coordinate and normal, so faces read "f i/i/i" with one number per corner, the
// way the reader pairs coordinate i and normal i with vertex i. The library is the model's name
// with ".mtl" (where the reader looks for it) and names each textured material's image with
// map_Kd; the images are written beside the model as PNG.
#include "formats/obj.h"

#include <cstdio>
#include <string>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

constexpr size_t kMaxMaterialName = 63;

void WriteTriple(WriterOutput& out, const char* keyword, const float* values)
{
    out.Text(keyword);
    for (int k = 0; k < 3; ++k) {
        out.Text(" ");
        out.Float(values[k]);
    }
    out.Text("\n");
}

// One material as the reader takes it back: Ka the colour, Kd the diffuse colour as drawn (the
// colour itself unless a brighter diffuse is used), Ks the specular, Tf the transparency; d and
// map_Kd for other readers.
void WriteMaterial(WriterOutput& out, const Model& model, const Material& material, const std::string& name,
                   const std::string& texture)
{
    const MaterialLook look = LookOf(model, material);
    out.Text("\nnewmtl ");
    out.Text(name);
    out.Text("\n");
    if (model.hasColor == 1) WriteTriple(out, "Ka", look.color.data());
    if (model.hasColor == 1 || model.hasDiffuse == 1) WriteTriple(out, "Kd", look.diffuse.data());
    if (model.hasSpecular == 1) WriteTriple(out, "Ks", look.specular.data());
    if (model.hasColor == 1 && model.hasTransparency == 1) {
        const float t[3] = {material.transparency, material.transparency, material.transparency};
        WriteTriple(out, "Tf", t);
        out.Text("d ");
        out.Float(1.0f - material.transparency);
        out.Text("\n");
    }
    if (!texture.empty()) {
        out.Text("map_Kd ");
        out.Text(texture);
        out.Text("\n");
    }
}

}  // namespace

bool WriteObjFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.reverseWinding = ReversesWinding(model, Format::Obj);
    const ExportModel exported = PrepareExport(model, options);

    // Materials: the model's, and "Default" for faces without one when others have one.
    std::vector<Material> materials = model.materials;
    const bool addDefault = NeedsDefaultMaterial(model, exported);
    if (addDefault) materials.push_back(DefaultMaterial());
    std::vector<std::string> sourceNames;
    for (const Material& material : materials) sourceNames.push_back(material.name);
    const std::vector<std::string> names = UniqueNames(sourceNames, "material", kMaxMaterialName, NameRule::NoBlanks);
    const int32_t defaultIndex = addDefault ? static_cast<int32_t>(materials.size() - 1) : -1;

    TextureFiles textures(model, path, ImageFileType::Png);
    for (const Material& material : model.materials) textures.Use(material.textureIndex);

    // What every sub-mesh must give so that coordinate i and normal i stay with vertex i.
    bool anyTexCoords = false, allNormals = true;
    int64_t vertices = 0, corners = 0;
    for (const ExportMesh& mesh : exported.meshes) {
        anyTexCoords = anyTexCoords || mesh.HasTexCoords();
        if (mesh.VertexCount() > 0 && !mesh.HasNormals()) allNormals = false;
        vertices += mesh.VertexCount();
        corners += static_cast<int64_t>(mesh.faceIndices.size());
    }
    allNormals = allNormals && vertices > 0;
    ctx.total.store(64 + vertices * (40 + (anyTexCoords ? 28 : 0) + (allNormals ? 40 : 0)) + corners * 24 +
                    static_cast<int64_t>(materials.size()) * 200 + textures.BytesEstimate());

    // The material library, beside the model under the model's own name.
    std::string libraryPath = WithoutExtension(path);
    libraryPath += ".mtl";
    // It is written also when empty: the reader takes whatever library has the model's name.
    if (libraryPath == path) return CannotWrite(ctx, path, "its material library would have the same name.");
    {
        WriterOutput library(ctx);
        if (!library.Open(libraryPath)) return false;
        library.Text("# Material library written by Solvane\n");
        for (size_t m = 0; m < materials.size(); ++m) {
            const bool ownTexture = static_cast<int32_t>(m) != defaultIndex && materials[m].textureIndex >= 0;
            WriteMaterial(library, model, materials[m], names[m], ownTexture ? textures.Name(materials[m].textureIndex) : "");
        }
        if (!library.Finish()) return false;
    }

    WriterOutput out(ctx);
    if (!out.Open(path)) {
        std::remove(libraryPath.c_str());
        return false;
    }
    out.Text("# Written by Solvane\n");
    if (!materials.empty()) {
        out.Text("mtllib ");
        out.Text(FileNameOf(libraryPath));
        out.Text("\n");
    }
    int64_t base = 1;  // OBJ numbers vertices from 1, across the whole file
    const auto writeIndex = [&](uint32_t k) {
        const int64_t number = base + k;
        out.Int(number);
        if (anyTexCoords || allNormals) {
            out.Text("/");
            if (anyTexCoords) out.Int(number);
            if (allNormals) {
                out.Text("/");
                out.Int(number);
            }
        }
    };
    for (size_t s = 0; s < exported.meshes.size(); ++s) {
        const ExportMesh& mesh = exported.meshes[s];
        if (mesh.VertexCount() == 0) continue;
        std::string group = model.subMeshes[s].name;
        for (char& c : group) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = '_';
        }
        out.Text("\no ");
        out.Text(group.empty() ? "Mesh" : group);
        out.Text("\n");
        for (int32_t k = 0; k < mesh.VertexCount(); ++k) WriteTriple(out, "v", mesh.Position(static_cast<uint32_t>(k)));
        if (anyTexCoords) {
            for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
                out.Text("vt ");
                if (mesh.HasTexCoords()) {
                    out.Float(mesh.TexCoord(static_cast<uint32_t>(k))[0]);
                    out.Text(" ");
                    out.Float(mesh.TexCoord(static_cast<uint32_t>(k))[1]);
                } else {
                    out.Text("0 0");
                }
                out.Text("\n");
            }
        }
        if (allNormals) {
            for (int32_t k = 0; k < mesh.VertexCount(); ++k) WriteTriple(out, "vn", mesh.Normal(static_cast<uint32_t>(k)));
        }
        int32_t current = -2;
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            int32_t material = ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]);
            if (material < 0) material = defaultIndex;
            if (material != current && material >= 0) {
                out.Text("usemtl ");
                out.Text(names[static_cast<size_t>(material)]);
                out.Text("\n");
            }
            current = material;
            out.Text("f");
            const uint32_t* indices = mesh.FaceIndices(f);
            for (int k = 0; k < mesh.FaceCorners(f); ++k) {
                out.Text(" ");
                writeIndex(indices[k]);
            }
            out.Text("\n");
        }
        base += mesh.VertexCount();
    }
    if (!textures.WriteAndFinish(out, ctx)) {
        std::remove(libraryPath.c_str());
        return false;
    }
    return true;
}

}  // namespace solvane
