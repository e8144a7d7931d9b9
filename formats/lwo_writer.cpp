// LightWave object writer, LWOB: one point list and one polygon list (the sub-meshes together, as
// LWOB has one layer), the surface names, and a SURF chunk per surface with its colour, diffuse,
// specular and transparency levels (the 16-bit levels and their exact float forms) and a planar
// image map whose image is written beside the model as TGA. Points are numbered with 16 bits, so a
// model holds at most 65536 of them; LWOB has no texture coordinates.
#include "formats/lwo.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

constexpr int64_t kMaxPoints = 65536;
constexpr int64_t kMaxSurfaces = 32767;  // signed 16-bit surface numbers
constexpr size_t kMaxSurfaceName = 63;

// Top-level chunks: ID4, U4 size, data, a pad byte after odd sizes (not counted).
class LwoChunks {
public:
    explicit LwoChunks(WriterOutput& out) : out_(out) {}
    void Begin(const char* id)
    {
        out_.Bytes(id, 4);
        sizeAt_ = out_.Tell();
        out_.BE32(0);
    }
    void End()
    {
        const int64_t size = out_.Tell() - sizeAt_ - 4;
        out_.PatchBE32(sizeAt_, static_cast<uint32_t>(size));
        if (size & 1) out_.Byte(0);
    }

private:
    WriterOutput& out_;
    int64_t sizeAt_ = 0;
};

// S0: the string, its NUL, and a pad byte to an even length.
void WriteS0(WriterOutput& out, const std::string& text)
{
    out.CString(text);
    if ((text.size() + 1) & 1) out.Byte(0);
}

// A SURF sub-chunk: ID4, U2 size, data.
template <typename Data>
void SubChunk(WriterOutput& out, const char* id, uint16_t size, Data&& data)
{
    out.Bytes(id, 4);
    out.BE16(size);
    data();
}

// A level as the 16-bit value n the reader turns into (n - 1) / 255 (256 is 100%).
uint16_t Level(float value)
{
    return static_cast<uint16_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f) + 1);
}

size_t S0Size(const std::string& text)
{
    return (text.size() + 2) / 2 * 2;
}

void WriteSurface(WriterOutput& out, LwoChunks& chunks, const Model& model, const Material& material,
                  const std::string& name, const std::string& image, const std::array<float, 6>& box)
{
    const MaterialLook look = LookOf(model, material);
    chunks.Begin("SURF");
    WriteS0(out, name);
    // LightWave draws COLR at the DIFF level: the colour is the one drawn lit.
    const bool colored = model.hasColor == 1 || model.hasDiffuse == 1;
    if (colored) {
        SubChunk(out, "COLR", 4, [&] {
            for (float channel : look.diffuse) out.Byte(static_cast<uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255.0f)));
            out.Byte(0);
        });
        SubChunk(out, "DIFF", 2, [&] { out.BE16(Level(1.0f)); });
        SubChunk(out, "VDIF", 4, [&] { out.BEFloat(1.0f); });
    }
    if (model.hasSpecular == 1) {
        const float level = (look.specular[0] + look.specular[1] + look.specular[2]) / 3.0f;
        SubChunk(out, "SPEC", 2, [&] { out.BE16(Level(level)); });
        SubChunk(out, "VSPC", 4, [&] { out.BEFloat(std::clamp(level, 0.0f, 1.0f)); });
    }
    if (model.hasColor == 1 && model.hasTransparency == 1) {
        SubChunk(out, "TRAN", 2, [&] { out.BE16(Level(material.transparency)); });
        SubChunk(out, "VTRN", 4, [&] { out.BEFloat(material.transparency); });
    }
    if (!image.empty()) {
        // A planar colour map along z over the model's box.
        const std::string kind = "Planar Image Map";
        SubChunk(out, "CTEX", static_cast<uint16_t>(S0Size(kind)), [&] { WriteS0(out, kind); });
        SubChunk(out, "TIMG", static_cast<uint16_t>(S0Size(image)), [&] { WriteS0(out, image); });
        SubChunk(out, "TFLG", 2, [&] { out.BE16(4); });  // z axis
        SubChunk(out, "TSIZ", 12, [&] {
            for (int axis = 0; axis < 3; ++axis) out.BEFloat(std::max(box[2 * axis + 1] - box[2 * axis], 1e-6f));
        });
        SubChunk(out, "TCTR", 12, [&] {
            for (int axis = 0; axis < 3; ++axis) out.BEFloat((box[2 * axis] + box[2 * axis + 1]) / 2.0f);
        });
    }
    chunks.End();
}

}  // namespace

bool WriteLwoFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.reverseWinding = ReversesWinding(model, Format::LightWave);
    const ExportModel exported = PrepareExport(model, options);
    int64_t points = 0, polygons = 0, corners = 0;
    for (const ExportMesh& mesh : exported.meshes) {
        points += mesh.VertexCount();
        polygons += mesh.FaceCount();
        corners += static_cast<int64_t>(mesh.faceIndices.size());
    }
    if (points > kMaxPoints) return ExceedsFormatLimit(ctx, kMaxPoints, "points");

    // Every polygon names a surface: faces without a material take "Default", also when the
    // model has no materials at all.
    std::vector<Material> materials = model.materials;
    bool anyWithout = false;
    for (const ExportMesh& mesh : exported.meshes) {
        for (int32_t material : mesh.faceMaterials) anyWithout = anyWithout || ValidMaterial(model, material) < 0;
    }
    const bool addDefault = anyWithout || materials.empty();
    if (addDefault) materials.push_back(DefaultMaterial());
    if (static_cast<int64_t>(materials.size()) > kMaxSurfaces) return ExceedsFormatLimit(ctx, kMaxSurfaces, "surfaces");
    const int32_t defaultIndex = addDefault ? static_cast<int32_t>(materials.size() - 1) : -1;
    std::vector<std::string> sourceNames;
    for (const Material& material : materials) sourceNames.push_back(material.name);
    const std::vector<std::string> names = UniqueNames(sourceNames, "Surface", kMaxSurfaceName, NameRule::Any);

    TextureFiles textures(model, path, ImageFileType::Tga);
    for (const Material& material : model.materials) textures.Use(material.textureIndex);
    ctx.total.store(64 + points * 12 + polygons * 4 + corners * 2 + static_cast<int64_t>(materials.size()) * 160 +
                    textures.BytesEstimate());

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    out.Text("FORM");
    out.BE32(0);  // patched at the end
    out.Text("LWOB");
    LwoChunks chunks(out);

    chunks.Begin("PNTS");
    for (const ExportMesh& mesh : exported.meshes) {
        for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
            const float* p = mesh.Position(static_cast<uint32_t>(k));
            for (int axis = 0; axis < 3; ++axis) out.BEFloat(p[axis]);
        }
    }
    chunks.End();

    chunks.Begin("SRFS");
    for (const std::string& name : names) WriteS0(out, name);
    chunks.End();

    chunks.Begin("POLS");
    uint32_t base = 0;
    for (const ExportMesh& mesh : exported.meshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            out.BE16(static_cast<uint16_t>(mesh.FaceCorners(f)));
            const uint32_t* indices = mesh.FaceIndices(f);
            for (int k = 0; k < mesh.FaceCorners(f); ++k) out.BE16(static_cast<uint16_t>(base + indices[k]));
            int32_t material = ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]);
            if (material < 0) material = defaultIndex;
            out.BE16(static_cast<uint16_t>(material + 1));  // surfaces are numbered from 1
        }
        base += static_cast<uint32_t>(mesh.VertexCount());
    }
    chunks.End();

    const std::array<float, 6> box = ModelBounds(model);
    for (size_t m = 0; m < materials.size(); ++m) {
        const bool isDefault = static_cast<int32_t>(m) == defaultIndex;
        WriteSurface(out, chunks, model, materials[m], names[m],
                     isDefault ? std::string() : textures.Name(materials[m].textureIndex), box);
    }
    out.PatchBE32(4, static_cast<uint32_t>(out.Tell() - 8));

    return textures.WriteAndFinish(out, ctx);
}

}  // namespace solvane
