// Quake 2 MD2 and Quake 3 MD3 writers. Both keep every key frame of the model and store positions
// compressed: MD2 as bytes scaled and moved per frame (1/255 of the frame's extent), MD3 as 16-bit
// integers of 1/64 unit. Faces are triangles wound the way the Quake engines draw them; normals are
// worked out per frame from the frame's own positions. The skin is written beside the model: PCX
// for MD2 (what the Quake 2 skin search reads), TGA for MD3.
#include "formats/quake.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "formats/model_export.h"

namespace solvane {
namespace {

// Quake 2's limits (qfiles.h).
constexpr int64_t kMd2MaxVertices = 2048;
constexpr int64_t kMd2MaxTriangles = 4096;
constexpr int64_t kMd2MaxFrames = 512;
// Quake 3's limits (qfiles.h).
constexpr int64_t kMd3MaxVertices = 4096;     // per surface
constexpr int64_t kMd3MaxTriangles = 8192;    // per surface
constexpr int64_t kMd3MaxSurfaces = 32;
constexpr int64_t kMd3MaxFrames = 1024;
constexpr float kMd3Scale = 64.0f;            // positions are stored in 1/64 units
constexpr int64_t kMd3MaxUnits = 512;         // 32767 / 64 rounded up
constexpr size_t kNameField = 64;
constexpr size_t kFrameNameField = 16;

void WriteField(WriterOutput& out, const std::string& text, size_t size)
{
    char field[kNameField] = {};
    const size_t length = std::min(text.size(), size - 1);
    std::copy_n(text.data(), length, field);
    out.Bytes(field, size);
}

// The texture that serves as the skin: the first one a face's material uses, else the model's
// first (the Quake formats keep a skin without materials).
int32_t SkinTexture(const Model& model, const ExportModel& exported)
{
    for (const ExportMesh& mesh : exported.meshes) {
        for (int32_t material : mesh.faceMaterials) {
            const int32_t m = ValidMaterial(model, material);
            if (m < 0) continue;
            const int32_t texture = model.materials[static_cast<size_t>(m)].textureIndex;
            if (texture >= 0 && texture < model.TextureCount()) return texture;
        }
    }
    return model.textures.empty() ? -1 : 0;
}

// The name of key frame k: the sub-mesh's own name for the first, the animation frame's after.
std::string FrameName(const SubMesh& mesh, int32_t k)
{
    std::string name = k == 0 ? mesh.name : (k - 1 < static_cast<int32_t>(mesh.frames.size()) ? mesh.frames[static_cast<size_t>(k - 1)].name : "");
    if (name.empty() || name.size() >= kFrameNameField) {
        name = "frame";
        name += std::to_string(k + 1);
    }
    return name;
}

int32_t FrameCountOf(const ExportModel& exported)
{
    int32_t frames = 1;
    for (const ExportMesh& mesh : exported.meshes) frames = std::max(frames, mesh.FrameCount());
    return frames;
}

// A sub-mesh with fewer key frames than the model holds its last one.
int32_t FrameOf(const ExportMesh& mesh, int32_t frame)
{
    return std::min(frame, mesh.FrameCount() - 1);
}

const SubMesh& FirstSubMesh(const Model& model)
{
    static const SubMesh kEmpty;
    return model.subMeshes.empty() ? kEmpty : model.subMeshes[0];
}

// ---- MD2 --------------------------------------------------------------------------------------

uint8_t NearestMd2Normal(const std::array<float, 3>& normal)
{
    int best = 0;
    float bestDot = -2;
    for (size_t i = 0; i < kMd2Normals.size(); ++i) {
        const float dot = normal[0] * kMd2Normals[i][0] + normal[1] * kMd2Normals[i][1] + normal[2] * kMd2Normals[i][2];
        if (dot > bestDot) {
            bestDot = dot;
            best = static_cast<int>(i);
        }
    }
    return static_cast<uint8_t>(best);
}

int16_t PixelCoordinate(float value, int32_t size)
{
    const double pixels = std::round(static_cast<double>(value) * size);
    return static_cast<int16_t>(std::clamp(pixels, -32768.0, 32767.0));
}

}  // namespace

bool WriteMd2File(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.triangles = true;
    options.texCoordPerVertex = false;
    options.reverseWinding = ReversesWinding(model, Format::Md2);
    const ExportModel exported = PrepareExport(model, options);

    int64_t vertices = 0, triangles = 0;
    for (const ExportMesh& mesh : exported.meshes) {
        vertices += mesh.VertexCount();
        triangles += mesh.FaceCount();
    }
    const int32_t frames = FrameCountOf(exported);
    if (vertices > kMd2MaxVertices) return ExceedsFormatLimit(ctx, kMd2MaxVertices, "vertices");
    if (triangles > kMd2MaxTriangles) return ExceedsFormatLimit(ctx, kMd2MaxTriangles, "triangles");
    if (frames > kMd2MaxFrames) return ExceedsFormatLimit(ctx, kMd2MaxFrames, "frames");

    // The skin and the size its texture coordinates are measured in.
    TextureFiles textures(model, path, ImageFileType::Pcx, kNameField - 1);
    const int32_t skin = SkinTexture(model, exported);
    textures.Use(skin);
    int32_t skinWidth = 256, skinHeight = 256;
    if (skin >= 0 && model.textures[static_cast<size_t>(skin)].HasPixels()) {
        skinWidth = model.textures[static_cast<size_t>(skin)].width;
        skinHeight = model.textures[static_cast<size_t>(skin)].height;
    }
    // An MD2 read without its skin keeps its coordinates in skin pixels: they are written as they
    // are. Other coordinates are fractions of the skin.
    const bool inPixels = model.formatId == Format::Md2 && model.textures.empty();
    const int32_t scaleU = inPixels ? 1 : skinWidth, scaleV = inPixels ? 1 : skinHeight;

    // Texture coordinates in skin pixels, each distinct pair once; triangles of sub-meshes
    // without coordinates use (0, 0).
    std::map<std::pair<int16_t, int16_t>, uint16_t> stIndex;
    std::vector<std::pair<int16_t, int16_t>> st;
    const auto stFor = [&](int16_t s, int16_t t) {
        const auto [found, added] = stIndex.try_emplace({s, t}, static_cast<uint16_t>(st.size()));
        if (added) st.push_back({s, t});
        return found->second;
    };
    struct Triangle {
        uint16_t vertex[3];
        uint16_t st[3];
    };
    std::vector<Triangle> tris;
    uint32_t base = 0;
    for (const ExportMesh& mesh : exported.meshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            Triangle triangle{};
            const uint32_t* corners = mesh.FaceIndices(f);
            const uint32_t* tex = mesh.FaceTexCoordIndices(f);
            for (int k = 0; k < 3; ++k) {
                triangle.vertex[k] = static_cast<uint16_t>(base + corners[k]);
                const float u = tex ? mesh.texCoords[2 * size_t{tex[k]}] : 0.0f;
                const float v = tex ? mesh.texCoords[2 * size_t{tex[k]} + 1] : 0.0f;
                triangle.st[k] = stFor(PixelCoordinate(u, scaleU), PixelCoordinate(v, scaleV));
            }
            tris.push_back(triangle);
        }
        base += static_cast<uint32_t>(mesh.VertexCount());
    }
    if (st.empty()) st.push_back({0, 0});

    const int32_t frameSize = 40 + 4 * static_cast<int32_t>(vertices);
    const int32_t skinCount = skin >= 0 ? 1 : 0;
    const int32_t glCommands = static_cast<int32_t>(tris.size()) * 10 + 1;
    const int32_t skinOffset = 68;
    const int32_t stOffset = skinOffset + 64 * skinCount;
    const int32_t triangleOffset = stOffset + 4 * static_cast<int32_t>(st.size());
    const int32_t frameOffset = triangleOffset + 12 * static_cast<int32_t>(tris.size());
    const int32_t glOffset = frameOffset + frameSize * frames;
    const int32_t end = glOffset + 4 * glCommands;
    ctx.total.store(end + textures.BytesEstimate());

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    out.Text("IDP2");
    const int32_t header[16] = {8, skinWidth, skinHeight, frameSize, skinCount, static_cast<int32_t>(vertices),
                                static_cast<int32_t>(st.size()), static_cast<int32_t>(tris.size()), glCommands, frames,
                                skinOffset, stOffset, triangleOffset, frameOffset, glOffset, end};
    for (int32_t value : header) out.LE32(static_cast<uint32_t>(value));
    if (skinCount) WriteField(out, textures.Name(skin), kNameField);
    for (const auto& [s, t] : st) {
        out.LE16(static_cast<uint16_t>(s));
        out.LE16(static_cast<uint16_t>(t));
    }
    for (const Triangle& triangle : tris) {
        for (uint16_t v : triangle.vertex) out.LE16(v);
        for (uint16_t s : triangle.st) out.LE16(s);
    }

    // Frames: each scaled to its own box, a byte per coordinate.
    for (int32_t k = 0; k < frames; ++k) {
        BoundsBuilder box;
        for (const ExportMesh& mesh : exported.meshes) {
            for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
                const float* p = mesh.Position(static_cast<uint32_t>(i), FrameOf(mesh, k));
                box.Extend(p[0], p[1], p[2]);
            }
        }
        float scale[3], translate[3];
        for (int axis = 0; axis < 3; ++axis) {
            const float extent = box.bounds[2 * axis + 1] - box.bounds[2 * axis];
            scale[axis] = extent > 0 && std::isfinite(extent) ? extent / 255.0f : 1.0f;
            translate[axis] = std::isfinite(box.bounds[2 * axis]) ? box.bounds[2 * axis] : 0.0f;
        }
        for (float value : scale) out.LEFloat(value);
        for (float value : translate) out.LEFloat(value);
        WriteField(out, FrameName(FirstSubMesh(model), k), kFrameNameField);
        for (const ExportMesh& mesh : exported.meshes) {
            const int32_t frame = FrameOf(mesh, k);
            const std::vector<std::array<float, 3>> normals = FrameNormals(mesh, frame, Format::Md2);
            for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
                const float* p = mesh.Position(static_cast<uint32_t>(i), frame);
                for (int axis = 0; axis < 3; ++axis) {
                    const float packed = std::round((p[axis] - translate[axis]) / scale[axis]);
                    out.Byte(static_cast<uint8_t>(std::isfinite(packed) ? std::clamp(packed, 0.0f, 255.0f) : 0.0f));
                }
                out.Byte(NearestMd2Normal(normals[static_cast<size_t>(i)]));
            }
        }
    }

    // Drawing commands for the engine: each triangle a strip of three, skin coordinates as
    // fractions, then the closing 0.
    for (const Triangle& triangle : tris) {
        out.LE32(3);
        for (int k = 0; k < 3; ++k) {
            out.LEFloat(static_cast<float>(st[triangle.st[k]].first) / static_cast<float>(skinWidth));
            out.LEFloat(static_cast<float>(st[triangle.st[k]].second) / static_cast<float>(skinHeight));
            out.LE32(triangle.vertex[k]);
        }
    }
    out.LE32(0);

    return textures.WriteAndFinish(out, ctx);
}

// ---- MD3 ----------------------------------------------------------------------------------------

namespace {

// A normal as Quake 3 packs it: latitude (around z) in the high byte, longitude (from +z) in the
// low byte, each a 256th of a turn.
uint16_t PackMd3Normal(const std::array<float, 3>& n)
{
    constexpr double kSteps = 256.0 / (2.0 * std::numbers::pi);
    if (n[0] == 0 && n[1] == 0) return n[2] > 0 ? 0 : 128;
    const int lat = static_cast<int>(std::lround(std::atan2(n[1], n[0]) * kSteps)) & 0xFF;
    const int lng = static_cast<int>(std::lround(std::acos(std::clamp(n[2], -1.0f, 1.0f)) * kSteps)) & 0xFF;
    return static_cast<uint16_t>((lat << 8) | lng);
}

// One surface: a piece of a sub-mesh that uses one texture.
struct Surface {
    ExportMesh mesh;
    std::string name;
    int32_t texture = -1;
};

}  // namespace

bool WriteMd3File(const Model& model, const std::string& path, SaveContext& ctx)
{
    ExportOptions options;
    options.triangles = true;
    options.reverseWinding = ReversesWinding(model, Format::Md3);
    const ExportModel exported = PrepareExport(model, options);
    const int32_t frames = FrameCountOf(exported);
    if (frames > kMd3MaxFrames) return ExceedsFormatLimit(ctx, kMd3MaxFrames, "frames");

    // Surfaces: each sub-mesh's faces grouped by the texture their material uses, then split at
    // the surface limits.
    TextureFiles textures(model, path, ImageFileType::Tga, kNameField - 1);
    const int32_t skin = SkinTexture(model, exported);
    std::vector<Surface> surfaces;
    for (size_t s = 0; s < exported.meshes.size(); ++s) {
        const ExportMesh& mesh = exported.meshes[s];
        if (mesh.FaceCount() == 0) continue;
        std::vector<int32_t> order;  // textures in the order the faces first use them
        std::vector<int32_t> faceTexture;
        for (int32_t material : mesh.faceMaterials) {
            const int32_t m = ValidMaterial(model, material);
            int32_t texture = m >= 0 ? model.materials[static_cast<size_t>(m)].textureIndex : -1;
            if (texture < 0 || texture >= model.TextureCount()) texture = model.materials.empty() ? skin : -1;
            faceTexture.push_back(texture);
            if (std::find(order.begin(), order.end(), texture) == order.end()) order.push_back(texture);
        }
        for (int32_t texture : order) {
            ExportMesh part;
            part.source = mesh.source;
            part.vertexSource = mesh.vertexSource;
            part.texCoords = mesh.texCoords;
            part.faceOffsets.push_back(0);
            for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
                if (faceTexture[static_cast<size_t>(f)] != texture) continue;
                part.faceIndices.insert(part.faceIndices.end(), mesh.FaceIndices(f), mesh.FaceIndices(f) + 3);
                part.faceOffsets.push_back(static_cast<uint32_t>(part.faceIndices.size()));
                part.faceMaterials.push_back(mesh.faceMaterials[static_cast<size_t>(f)]);
                part.faceIsHole.push_back(false);
            }
            // A sub-mesh of one texture keeps its vertices as they are numbered while it fits;
            // otherwise each piece keeps only the vertices its faces use.
            const bool whole = order.size() == 1;
            std::vector<ExportMesh> pieces = SplitExportMesh(part, kMd3MaxVertices, kMd3MaxTriangles, !whole);
            for (ExportMesh& piece : pieces) {
                textures.Use(texture);
                surfaces.push_back({std::move(piece), model.subMeshes[s].name, texture});
            }
        }
    }
    if (static_cast<int64_t>(surfaces.size()) > kMd3MaxSurfaces) return ExceedsFormatLimit(ctx, kMd3MaxSurfaces, "surfaces");
    if (surfaces.empty()) {
        // A model without faces: one empty surface, so that the file still holds the frames.
        Surface empty;
        empty.mesh.source = &FirstSubMesh(model);
        empty.mesh.faceOffsets.push_back(0);
        surfaces.push_back(std::move(empty));
    }

    // Positions in 1/64 units must fit 16 bits.
    for (const Surface& surface : surfaces) {
        for (int32_t k = 0; k < frames; ++k) {
            const int32_t frame = FrameOf(surface.mesh, k);
            for (int32_t i = 0; i < surface.mesh.VertexCount(); ++i) {
                const float* p = surface.mesh.Position(static_cast<uint32_t>(i), frame);
                for (int axis = 0; axis < 3; ++axis) {
                    if (!(std::fabs(p[axis] * kMd3Scale) <= 32767.0f)) {
                        return ExceedsFormatLimit(ctx, kMd3MaxUnits, "units from the origin");
                    }
                }
            }
        }
    }

    int64_t bytes = 108 + 56 * int64_t{frames};
    for (const Surface& surface : surfaces) {
        bytes += 108 + 12 * int64_t{surface.mesh.FaceCount()} + (surface.texture >= 0 ? 68 : 0) +
                 8 * int64_t{surface.mesh.VertexCount()} * (1 + frames);
    }
    ctx.total.store(bytes + textures.BytesEstimate());

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    // Header.
    out.Text("IDP3");
    out.LE32(15);
    WriteField(out, FileNameOf(path), kNameField);
    out.LE32(0);  // flags
    out.LE32(static_cast<uint32_t>(frames));
    out.LE32(0);  // tags
    out.LE32(static_cast<uint32_t>(surfaces.size()));
    out.LE32(0);  // skins
    const int64_t frameOffset = 108;
    const int64_t surfaceOffset = frameOffset + 56 * int64_t{frames};
    out.LE32(static_cast<uint32_t>(frameOffset));
    out.LE32(static_cast<uint32_t>(surfaceOffset));  // tags: none, where the surfaces begin
    out.LE32(static_cast<uint32_t>(surfaceOffset));
    const int64_t endAt = out.Tell();
    out.LE32(0);  // end, patched

    // Frames: the box of every surface's positions, its radius and the frame's name.
    for (int32_t k = 0; k < frames; ++k) {
        BoundsBuilder box;
        float radius = 0;
        for (const Surface& surface : surfaces) {
            const int32_t frame = FrameOf(surface.mesh, k);
            for (int32_t i = 0; i < surface.mesh.VertexCount(); ++i) {
                const float* p = surface.mesh.Position(static_cast<uint32_t>(i), frame);
                box.Extend(p[0], p[1], p[2]);
                radius = std::max(radius, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
            }
        }
        const std::array<float, 6> b = box.any ? box.bounds : std::array<float, 6>{0, 0, 0, 0, 0, 0};
        for (int axis = 0; axis < 3; ++axis) out.LEFloat(b[2 * axis]);
        for (int axis = 0; axis < 3; ++axis) out.LEFloat(b[2 * axis + 1]);
        for (int axis = 0; axis < 3; ++axis) out.LEFloat(0.0f);  // local origin
        out.LEFloat(radius);
        WriteField(out, FrameName(FirstSubMesh(model), k), kFrameNameField);
    }

    for (const Surface& surface : surfaces) {
        const ExportMesh& mesh = surface.mesh;
        const int64_t start = out.Tell();
        const int32_t shaders = surface.texture >= 0 ? 1 : 0;
        const int64_t triangleOffset = 108;
        const int64_t shaderOffset = triangleOffset + 12 * int64_t{mesh.FaceCount()};
        const int64_t stOffset = shaderOffset + 68 * int64_t{shaders};
        const int64_t vertexOffset = stOffset + 8 * int64_t{mesh.VertexCount()};
        const int64_t endOffset = vertexOffset + 8 * int64_t{mesh.VertexCount()} * frames;
        out.Text("IDP3");
        WriteField(out, surface.name, kNameField);
        out.LE32(0);  // flags
        const int64_t counts[] = {frames, shaders, mesh.VertexCount(), mesh.FaceCount(), triangleOffset,
                                  shaderOffset, stOffset, vertexOffset, endOffset};
        for (int64_t value : counts) out.LE32(static_cast<uint32_t>(value));
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            for (int k = 0; k < 3; ++k) out.LE32(mesh.FaceIndices(f)[k]);
        }
        if (shaders) {
            WriteField(out, textures.Name(surface.texture), kNameField);
            out.LE32(0);  // shader index
        }
        // Texture coordinates run down the picture: t = 1 - v.
        for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
            const float* uv = mesh.HasTexCoords() ? mesh.TexCoord(static_cast<uint32_t>(i)) : nullptr;
            out.LEFloat(uv ? uv[0] : 0.0f);
            out.LEFloat(1.0f - (uv ? uv[1] : 0.0f));
        }
        for (int32_t k = 0; k < frames; ++k) {
            const int32_t frame = FrameOf(mesh, k);
            const std::vector<std::array<float, 3>> normals = FrameNormals(mesh, frame, Format::Md3);
            for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
                const float* p = mesh.Position(static_cast<uint32_t>(i), frame);
                for (int axis = 0; axis < 3; ++axis) out.LE16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(p[axis] * kMd3Scale))));
                out.LE16(PackMd3Normal(normals[static_cast<size_t>(i)]));
            }
        }
        if (out.Tell() - start != endOffset) return CannotWrite(ctx, path, "a surface came out the wrong size.");
    }
    out.PatchLE32(endAt, static_cast<uint32_t>(out.Tell()));

    return textures.WriteAndFinish(out, ctx);
}

}  // namespace solvane
