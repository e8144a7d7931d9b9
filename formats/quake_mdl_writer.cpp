#include "formats/quake_mdl_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "formats/mesh_writer_support.h"
#include "formats/quake.h"

namespace solvane {
namespace {

constexpr int32_t kVersion = 6;
constexpr int32_t kMaxSkinWidth = 640;
constexpr int32_t kMaxSkinHeight = 480;  // the engine refuses taller skins
constexpr int32_t kPlainSkinSide = 8;
// Palette entries 224 to 255 are drawn at full brightness whatever the light: not for skins.
constexpr int kSkinColours = 224;
constexpr size_t kFrameNameBytes = 16;

struct Skin {
    int32_t width = kPlainSkinSide;
    int32_t height = kPlainSkinSide;
    std::vector<uint8_t> indices;
};

// Nearest palette entry (squared RGB distance) among the colours a skin may use, remembered per
// colour.
class PaletteQuantiser {
public:
    uint8_t Index(uint8_t r, uint8_t g, uint8_t b)
    {
        const uint32_t key = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
        if (const auto found = memo_.find(key); found != memo_.end()) return found->second;
        int best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (int i = 0; i < kSkinColours; ++i) {
            const auto& entry = QuakePalette[static_cast<size_t>(i)];
            const int dr = r - entry[0], dg = g - entry[1], db = b - entry[2];
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        memo_.emplace(key, static_cast<uint8_t>(best));
        return static_cast<uint8_t>(best);
    }

private:
    std::unordered_map<uint32_t, uint8_t> memo_;
};

Skin MakeSkin(const Model& model)
{
    PaletteQuantiser quantiser;
    Skin skin;
    const Texture* texture = nullptr;
    for (const Texture& candidate : model.textures) {
        if (candidate.HasPixels() && candidate.width > 0 && candidate.height > 0 &&
            candidate.pixels.size() == static_cast<size_t>(candidate.width) * candidate.height * 3) {
            texture = &candidate;
            break;
        }
    }
    if (!texture) {
        std::array<float, 3> colour{1, 1, 1};
        if (model.hasColor && !model.materials.empty()) colour = model.materials[0].color;
        const uint8_t index = quantiser.Index(ColourByte(colour[0]), ColourByte(colour[1]), ColourByte(colour[2]));
        skin.indices.assign(static_cast<size_t>(skin.width) * skin.height, index);
        return skin;
    }
    // Nearest-neighbour resampling to the engine's size rules.
    const double factor = std::min({1.0, static_cast<double>(kMaxSkinWidth) / texture->width,
                                    static_cast<double>(kMaxSkinHeight) / texture->height});
    skin.width = std::max(4, static_cast<int32_t>(std::lround(texture->width * factor)) / 4 * 4);
    skin.height = std::max(1, static_cast<int32_t>(std::lround(texture->height * factor)));
    skin.indices.resize(static_cast<size_t>(skin.width) * skin.height);
    for (int32_t y = 0; y < skin.height; ++y) {
        const int32_t sy = static_cast<int32_t>(int64_t{y} * texture->height / skin.height);
        for (int32_t x = 0; x < skin.width; ++x) {
            const int32_t sx = static_cast<int32_t>(int64_t{x} * texture->width / skin.width);
            const uint8_t* p = &texture->pixels[(static_cast<size_t>(sy) * texture->width + sx) * 3];
            skin.indices[static_cast<size_t>(y) * skin.width + x] = quantiser.Index(p[0], p[1], p[2]);
        }
    }
    return skin;
}

// A texture coordinate in skin pixels, clamped to the skin.
int32_t SkinCoordinate(float value, int32_t size)
{
    if (!(value > 0)) return 0;
    if (value >= 1) return size;
    return std::min(size, static_cast<int32_t>(std::lround(static_cast<double>(value) * size)));
}

// One MDL vertex: a model vertex with one skin position (vertices used with several positions
// are written once per position).
struct MdlVertex {
    uint32_t mesh;
    uint32_t vertex;
    int32_t s, t;
};

// The positions of key frame k of a sub-mesh (its last one when it has fewer).
const float* FramePositions(const SubMesh& mesh, int32_t frame)
{
    if (frame == 0 || mesh.frames.empty()) return mesh.vertices.data();
    const size_t k = std::min(static_cast<size_t>(frame), mesh.frames.size());
    return mesh.frames[k - 1].vertices.data();
}

uint8_t Pack(float value, float origin, float scale)
{
    const double packed = (static_cast<double>(value) - origin) / scale;
    if (!(packed > 0)) return 0;
    return static_cast<uint8_t>(std::min<long>(std::lround(std::min(packed, 1e6)), 255));
}

std::string FrameName(const Model& model, int32_t frame)
{
    const SubMesh& first = model.subMeshes.front();
    std::string name;
    if (frame == 0) name = first.name;
    else if (static_cast<size_t>(frame) <= first.frames.size()) name = first.frames[static_cast<size_t>(frame) - 1].name;
    if (name.empty()) {
        name = "frame";
        name += std::to_string(frame + 1);
    }
    name = name.substr(0, name.find('\0'));
    if (name.size() > kFrameNameBytes - 1) name.resize(kFrameNameBytes - 1);
    return name;
}

}  // namespace

// Quake 1 MDL as written (little-endian): the header ("IDPO", version 6, scale, origin, radius,
// eye position, 1 skin, skin size, counts, sync type 0, flags 0, size), one single skin of palette
// indices, the skin position of every vertex (none on the seam), the triangles (all facing front)
// and the single frames (box, name, packed vertices with normal index 0).
bool WriteMdlFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    if (model.subMeshes.empty()) return ctx.Fail("The model has no sub-mesh to write.");
    const Skin skin = MakeSkin(model);

    // Vertices: one per (vertex, skin position) pair, in the order the triangles use them.
    std::vector<MdlVertex> vertices;
    std::vector<int32_t> triangles;
    std::unordered_map<uint64_t, int32_t> known;
    int32_t frameCount = 1;
    for (uint32_t m = 0; m < model.subMeshes.size(); ++m) {
        const SubMesh& mesh = model.subMeshes[m];
        frameCount = std::max(frameCount, mesh.FrameCount());
        known.clear();
        const bool perVertexCoordinates = !mesh.HasTexCoordIndices() && mesh.TexCoordCount() == mesh.VertexCount();
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const uint32_t* indices = mesh.FaceIndices(f);
            const uint32_t* texIndices = mesh.FaceTexCoordIndices(f);
            ForEachFanTriangle(mesh.FaceCorners(f), [&](int a, int b, int c) {
                for (int k : {a, b, c}) {
                    const uint32_t vertex = indices[k];
                    const float* uv = nullptr;
                    if (texIndices) uv = &mesh.texCoords[static_cast<size_t>(texIndices[k]) * 2];
                    else if (perVertexCoordinates) uv = &mesh.texCoords[static_cast<size_t>(vertex) * 2];
                    const int32_t s = uv ? SkinCoordinate(uv[0], skin.width) : 0;
                    const int32_t t = uv ? SkinCoordinate(uv[1], skin.height) : 0;
                    const uint64_t key = (uint64_t{vertex} << 32) | (uint64_t(uint32_t(s)) << 16) | uint32_t(t);
                    auto [found, inserted] = known.emplace(key, static_cast<int32_t>(vertices.size()));
                    if (inserted) vertices.push_back({m, vertex, s, t});
                    triangles.push_back(found->second);
                }
            });
        }
        if (vertices.size() > static_cast<size_t>(INT32_MAX / 4)) return ExceedsFormatLimit(ctx, INT32_MAX / 4, "vertices");
    }

    // The box over every frame decides the packing.
    float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    float high[3] = {-low[0], -low[1], -low[2]};
    for (int32_t frame = 0; frame < frameCount; ++frame) {
        for (const MdlVertex& v : vertices) {
            const float* p = FramePositions(model.subMeshes[v.mesh], frame) + size_t{v.vertex} * 3;
            for (int axis = 0; axis < 3; ++axis) {
                if (!std::isfinite(p[axis])) continue;
                low[axis] = std::min(low[axis], p[axis]);
                high[axis] = std::max(high[axis], p[axis]);
            }
        }
    }
    float scale[3], origin[3];
    double radius = 0;
    for (int axis = 0; axis < 3; ++axis) {
        if (low[axis] > high[axis]) low[axis] = high[axis] = 0;
        origin[axis] = low[axis];
        const float extent = high[axis] - low[axis];
        scale[axis] = extent > 0 && std::isfinite(extent) ? extent / 255.0f : 1.0f;
        radius += std::pow(std::max(std::fabs(low[axis]), std::fabs(high[axis])), 2.0);
    }

    const int32_t vertexCount = static_cast<int32_t>(vertices.size());
    const int32_t triangleCount = static_cast<int32_t>(triangles.size() / 3);
    // The header's size: the mean triangle area of the first frame.
    double area = 0;
    for (size_t t = 0; t < triangles.size(); t += 3) {
        const float* p[3];
        for (int k = 0; k < 3; ++k) {
            const MdlVertex& v = vertices[static_cast<size_t>(triangles[t + static_cast<size_t>(k)])];
            p[k] = &model.subMeshes[v.mesh].vertices[size_t{v.vertex} * 3];
        }
        const double e1[3] = {p[1][0] - double{p[0][0]}, p[1][1] - double{p[0][1]}, p[1][2] - double{p[0][2]}};
        const double e2[3] = {p[2][0] - double{p[0][0]}, p[2][1] - double{p[0][1]}, p[2][2] - double{p[0][2]}};
        const double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
        const double a = 0.5 * std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
        if (std::isfinite(a)) area += a;
    }
    const float meanArea = triangleCount > 0 ? static_cast<float>(area / triangleCount) : 0.0f;
    ctx.total.store(84 + 4 + int64_t{skin.width} * skin.height + int64_t{vertexCount} * 12 +
                    int64_t{triangleCount} * 16 + int64_t{frameCount} * (28 + int64_t{vertexCount} * 4));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    // Header.
    out.Text("IDPO");
    out.LE32(kVersion);
    for (float value : scale) out.LEFloat(value);
    for (float value : origin) out.LEFloat(value);
    out.LEFloat(static_cast<float>(std::sqrt(radius)));
    for (int i = 0; i < 3; ++i) out.LEFloat(0);  // eye position
    out.LE32(1);
    out.LE32(static_cast<uint32_t>(skin.width));
    out.LE32(static_cast<uint32_t>(skin.height));
    out.LE32(static_cast<uint32_t>(vertexCount));
    out.LE32(static_cast<uint32_t>(triangleCount));
    out.LE32(static_cast<uint32_t>(frameCount));
    out.LE32(0);  // synchronised animation
    out.LE32(0);  // flags
    out.LEFloat(meanArea);

    // Skin, skin positions, triangles.
    out.LE32(0);
    out.Bytes(skin.indices.data(), skin.indices.size());
    for (const MdlVertex& v : vertices) {
        out.LE32(0);  // not on the seam
        out.LE32(static_cast<uint32_t>(v.s));
        out.LE32(static_cast<uint32_t>(v.t));
    }
    for (size_t t = 0; t < triangles.size(); t += 3) {
        out.LE32(1);  // faces front
        for (int k = 0; k < 3; ++k) out.LE32(static_cast<uint32_t>(triangles[t + static_cast<size_t>(k)]));
    }

    // Frames.
    std::vector<uint8_t> packed(static_cast<size_t>(vertexCount) * 4);
    for (int32_t frame = 0; frame < frameCount; ++frame) {
        uint8_t minimum[3] = {255, 255, 255}, maximum[3] = {0, 0, 0};
        for (size_t i = 0; i < vertices.size(); ++i) {
            const MdlVertex& v = vertices[i];
            const float* p = FramePositions(model.subMeshes[v.mesh], frame) + size_t{v.vertex} * 3;
            for (int axis = 0; axis < 3; ++axis) {
                const uint8_t value = Pack(p[axis], origin[axis], scale[axis]);
                packed[i * 4 + static_cast<size_t>(axis)] = value;
                minimum[axis] = std::min(minimum[axis], value);
                maximum[axis] = std::max(maximum[axis], value);
            }
            packed[i * 4 + 3] = 0;  // normal index
        }
        if (vertices.empty()) std::fill(minimum, minimum + 3, 0);
        out.LE32(0);  // a single frame
        out.Bytes(minimum, 3);
        out.Byte(0);
        out.Bytes(maximum, 3);
        out.Byte(0);
        char name[kFrameNameBytes] = {};
        const std::string text = FrameName(model, frame);
        std::memcpy(name, text.data(), text.size());
        out.Bytes(name, kFrameNameBytes);
        out.Bytes(packed.data(), packed.size());
    }
    return out.Finish();
}

}  // namespace solvane
