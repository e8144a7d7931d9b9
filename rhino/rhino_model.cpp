#include "rhino/rhino_model.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/load_result.h"
#include "core/reader_input.h"
#include "rhino/rhino_file.h"

namespace solvane {
namespace {

// Set to true to list the objects the converter passes over on stderr.
constexpr bool kRhinoDebug = false;

constexpr size_t kMaxMaterialNameLength = 63;
constexpr size_t kMaxTextureNameLength = 259;
constexpr float kByteToUnit = 0.003921569f;  // 1 / 255
// Face material numbers are 16-bit values in the model.
constexpr int32_t kMaxMaterials = 32767;

void DebugLine(const char* text)
{
    if constexpr (kRhinoDebug) std::fputs(text, stderr);
    else (void)text;
}

void ReportSkippedObject(uint32_t typecode)
{
    switch (typecode) {
    case TCODE_RH_SPOTLIGHT: DebugLine("TCODE_RH_SPOTLIGHT\n"); break;
    case TCODE_VIEWPORT: DebugLine("TCODE_VIEWPORT\n"); break;
    case TCODE_RHINO_OBJECT_NURBS_SURFACE: DebugLine("TCODE_RHINO_OBJECT_NURBS_SURFACE\n"); break;
    case TCODE_RHINO_OBJECT_BREP: DebugLine("TCODE_RHINO_OBJECT_BREP\n"); break;
    case TCODE_RH_POINT: DebugLine("TCODE_RH_POINT\n"); break;
    case TCODE_RHINO_OBJECT_NURBS_CURVE: DebugLine("TCODE_RHINO_OBJECT_NURBS_CURVE\n"); break;
    case TCODE_AG_CURVE: DebugLine("TCODE_AG_CURVE\n"); break;
    case TCODE_AG_SPLINE: DebugLine("TCODE_AG_SPLINE\n"); break;
    case TCODE_AG_SURFACE: DebugLine("TCODE_AG_SURFACE\n"); break;
    case TCODE_COMMENTBLOCK: DebugLine("TCODE_COMMENTBLOCK\n"); break;
    case TCODE_AG_SHELL: DebugLine("TCODE_AG_SHELL\n"); break;
    case TCODE_AG_FACE: DebugLine("TCODE_AG_FACE\n"); break;
    default: DebugLine("default\n"); break;
    }
}

std::array<float, 3> ColorOf(uint32_t bgr)
{
    return {static_cast<float>(bgr & 0xFF) * kByteToUnit, static_cast<float>((bgr >> 8) & 0xFF) * kByteToUnit,
            static_cast<float>((bgr >> 16) & 0xFF) * kByteToUnit};
}

void FillMaterial(const CRhinoMaterial& record, Model& model, RhinoCounters& counters)
{
    const int32_t m = counters.materials++;
    if (m >= model.MaterialCount()) return;
    Material& material = model.materials[static_cast<size_t>(m)];
    material.color = material.diffuse = material.specular = ColorOf(record.colors[0]);
    model.hasColor = model.hasDiffuse = model.hasSpecular = 1;
    material.transparency = static_cast<float>(record.transparency);
    model.hasTransparency = 1;
    if (record.hasMaterialName && !record.materialName.empty()) {
        material.name = record.materialName.substr(0, kMaxMaterialNameLength);
    } else {
        char name[32];
        std::snprintf(name, sizeof name, "Material %d", m);
        material.name = name;
    }
    const std::string& image = !record.bumpMap.empty() ? record.bumpMap : record.textureMap;
    if (image.empty()) return;
    const int32_t t = counters.textures++;
    if (t >= model.TextureCount()) return;
    model.textures[static_cast<size_t>(t)].name = image.substr(0, kMaxTextureNameLength);
    // The material is drawn with the image it names (the dispatch re-points it if the image is
    // missing).
    material.textureIndex = t;
}

void FillGeometry(const CRhinoMeshGeometry& geometry, int32_t material, SubMesh& mesh)
{
    mesh.vertices = geometry.vertices;
    const int64_t vertexCount = mesh.VertexCount();
    if (geometry.hasNormals) mesh.normals = geometry.normals;
    if (geometry.hasTexCoords) mesh.texCoords = geometry.texCoords;

    // Corners outside the vertices are brought to the last vertex; without vertices no face can
    // be kept.
    const int64_t faceCount = vertexCount > 0 ? static_cast<int64_t>(geometry.faces.size() / 4) : 0;
    const bool withTexCoords = geometry.hasTexCoords && vertexCount > 0;
    mesh.ReserveFaces(faceCount, faceCount * 4, withTexCoords);
    for (int64_t f = 0; f < faceCount; ++f) {
        const uint32_t* face = &geometry.faces[static_cast<size_t>(f) * 4];
        uint32_t corners[4];
        for (int k = 0; k < 4; ++k) corners[k] = std::min(face[k], static_cast<uint32_t>(vertexCount - 1));
        // A triangle repeats its last corner.
        mesh.AppendFace(corners, face[2] != face[3] ? 4 : 3);
    }
    mesh.faceMaterials.assign(static_cast<size_t>(faceCount), material);
    ComputeBoundsAndCentroid(mesh);
}

// Reads every object of the file through a new archive, passing each to the converter. Returns
// the status that ended the walk.
int ConvertPass(ReaderInput& in, RhinoPass pass, Model* model, RhinoCounters& counters)
{
    CRhinoFile archive(in);
    std::unique_ptr<CRhinoChunk> object;
    int status;
    while ((status = archive.ReadObject(object)) == RhinoStatus::Good) {
        const auto* rhinoObject = dynamic_cast<const CRhinoObject*>(object.get());
        if (rhinoObject) {
            SubMesh* target = nullptr;
            if (model && counters.subMeshes < model->SubMeshCount())
                target = &model->subMeshes[static_cast<size_t>(counters.subMeshes)];
            ConvertRhinoObject(pass, *rhinoObject, target, model, counters);
        }
        object.reset();
    }
    return status;
}

}  // namespace

void ConvertRhinoObject(RhinoPass pass, const CRhinoObject& object, SubMesh* target, Model* model,
                        RhinoCounters& counters)
{
    if (object.Typecode() != TCODE_MESH_OBJECT) {
        ReportSkippedObject(object.Typecode());
        return;
    }
    const auto& mesh = static_cast<const CRhinoMesh&>(object);
    const CRhinoMaterial* record = mesh.Material();

    // Material.
    int32_t material = -1;
    if (record && counters.materials < kMaxMaterials) {
        if (pass == RhinoPass::Count || !model) {
            ++counters.materials;
            if (!record->bumpMap.empty() || !record->textureMap.empty()) ++counters.textures;
        } else {
            material = counters.materials;
            FillMaterial(*record, *model, counters);
        }
    }

    // Geometry.
    if (pass == RhinoPass::Fill && target && mesh.Geometry())
        FillGeometry(*mesh.Geometry(), material, *target);
    ++counters.subMeshes;
}

std::unique_ptr<Model> ReadRhinoFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    const auto fail = [&ctx] {
        ctx.result.store(LoadResult::NoRhinoMeshes);
        return std::unique_ptr<Model>();
    };

    try {
        // Counting pass.
        RhinoCounters counts;
        if (ConvertPass(in, RhinoPass::Count, nullptr, counts) != RhinoStatus::EndOfFile) return fail();
        if (counts.subMeshes == 0) return fail();

        // Allocate exactly, then the filling pass over a second archive.
        auto model = NewModel(counts.subMeshes, counts.materials, counts.textures);
        for (Material& material : model->materials) material.textureIndex = -1;
        in.Rewind();
        RhinoCounters fill;
        if (ConvertPass(in, RhinoPass::Fill, model.get(), fill) != RhinoStatus::EndOfFile) return fail();
        return model;
    } catch (const CRhinoException&) {
        return fail();
    }
}

}  // namespace solvane
