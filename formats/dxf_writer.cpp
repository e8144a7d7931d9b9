#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/dxf.h"
#include "formats/mesh_writer_support.h"

namespace solvane {
namespace {

// The DXF reader keeps its face list below 1 GiB with this many faces.
constexpr int64_t kMaxFaces = int64_t{1} << 24;
constexpr size_t kMaxLayerNameChars = 31;

// A layer name as DXF release 12 allows it: letters, digits, "$", "-" and "_", at most 31.
std::string LayerName(const std::string& name)
{
    std::string layer;
    for (char c : name) {
        if (layer.size() == kMaxLayerNameChars) break;
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '$' ||
                             c == '-' || c == '_';
        layer.push_back(allowed ? c : '_');
    }
    return layer.empty() ? std::string("0") : layer;
}

// The colour number of a material: the number a DXF material was read from ("DXF Palette N"),
// else the palette entry nearest to its colour. Numbers whose entry differs between AutoCAD
// versions (0, 7 to 9, 255) are not chosen.
int ColourNumber(const Material& material)
{
    constexpr std::string_view kPrefix = "DXF Palette ";
    if (material.name.size() > kPrefix.size() && material.name.compare(0, kPrefix.size(), kPrefix) == 0) {
        int number = 0;
        bool digits = true;
        for (size_t i = kPrefix.size(); i < material.name.size() && digits; ++i) {
            const char c = material.name[i];
            digits = c >= '0' && c <= '9' && number < 1000;
            number = number * 10 + (c - '0');
        }
        if (digits && number >= 1 && number <= 255) return number;
    }
    int best = 1;
    float bestDistance = 1e30f;
    for (int n = 1; n <= 254; ++n) {
        if (n >= 7 && n <= 9) continue;
        float distance = 0;
        for (int k = 0; k < 3; ++k) {
            const float channel = material.color[static_cast<size_t>(k)];
            const float d = (channel == channel ? channel : 0.0f) - DxfPalette[static_cast<size_t>(n)][static_cast<size_t>(k)];
            distance += d * d;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = n;
        }
    }
    return best;
}

void Group(WriterOutput& out, const char* code)
{
    out.Text(code);
    out.Byte('\n');
}

// One 3DFACE of three or four corners (a triangle repeats its third corner as the fourth).
void WriteFace(WriterOutput& out, const std::string& layer, int colour, const SubMesh& mesh, const uint32_t* indices,
               const int* picks, int count)
{
    static const char* const kCodes[4][3] = {
        {" 10", " 20", " 30"}, {" 11", " 21", " 31"}, {" 12", " 22", " 32"}, {" 13", " 23", " 33"}};
    Group(out, "  0");
    Group(out, "3DFACE");
    Group(out, "  8");
    Group(out, layer.c_str());
    if (colour > 0) {
        Group(out, " 62");
        out.Int(colour);
        out.Byte('\n');
    }
    for (int c = 0; c < 4; ++c) {
        const float* v = &mesh.vertices[static_cast<size_t>(indices[picks[std::min(c, count - 1)]]) * 3];
        for (int axis = 0; axis < 3; ++axis) {
            Group(out, kCodes[c][axis]);
            out.Float(v[axis]);
            out.Byte('\n');
        }
    }
}

// Calls emit(picks, count) for the pieces of a face: itself when it has three or four corners,
// else the quadrilaterals (0, k, k+1, k+2) of a fan and a last triangle when one corner is left.
template <typename Emit>
void SplitFace(int corners, Emit&& emit)
{
    if (corners < 3) return;
    if (corners <= 4) {
        const int picks[4] = {0, 1, 2, 3};
        emit(picks, corners);
        return;
    }
    int k = 1;
    for (; k + 2 < corners; k += 2) {
        const int picks[4] = {0, k, k + 1, k + 2};
        emit(picks, 4);
    }
    if (k + 1 < corners) {
        const int picks[3] = {0, k, k + 1};
        emit(picks, 3);
    }
}

int64_t PieceCount(int corners)
{
    if (corners < 3) return 0;
    if (corners <= 4) return 1;
    return (corners - 1) / 2;
}

}  // namespace

// DXF as written: an ENTITIES section of 3DFACE entities (layer 8, colour 62 when the face has a
// material, corners 10-13 / 20-23 / 30-33), then EOF. Faces of fewer than three corners are left
// out; longer ones are split.
bool WriteDxfFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    int64_t pieces = 0;
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) pieces += PieceCount(mesh.FaceCorners(f));
    }
    if (pieces > kMaxFaces) return ExceedsFormatLimit(ctx, kMaxFaces, "faces");
    // A drawing without faces is one that readers of 3DFACE drawings refuse.
    if (pieces == 0) return ctx.Fail("The model has no faces of three or more corners to write as 3DFACE entities.");
    std::vector<int> colours(model.materials.size());
    for (size_t m = 0; m < model.materials.size(); ++m) colours[m] = ColourNumber(model.materials[m]);
    ctx.total.store(TextBytesEstimate(pieces * 12, pieces * 16));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.Text("  0\nSECTION\n  2\nENTITIES\n");
    for (const SubMesh& mesh : model.subMeshes) {
        const std::string layer = LayerName(mesh.name);
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const int32_t material = mesh.FaceMaterial(f);
            const int colour = material >= 0 && material < static_cast<int32_t>(colours.size())
                                   ? colours[static_cast<size_t>(material)]
                                   : 0;
            const uint32_t* indices = mesh.FaceIndices(f);
            SplitFace(mesh.FaceCorners(f), [&](const int* picks, int count) {
                WriteFace(out, layer, colour, mesh, indices, picks, count);
            });
        }
    }
    out.Text("  0\nENDSEC\n  0\nEOF\n");
    return out.Finish();
}

}  // namespace solvane
