#include "tests/round_trip.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "load/dispatch.h"

namespace solvane::test {
namespace {

using Position = std::array<float, 3>;
using Uv = std::array<float, 2>;

struct FlatFace {
    std::vector<Position> corners;
    std::vector<Uv> uvs;  // empty when the face has no texture coordinates
    int32_t material = -1;
};

struct FlatMesh {
    std::vector<FlatFace> faces;
};

// The corner positions of key frame `frame` (the last one when the sub-mesh has fewer).
const float* FramePositions(const SubMesh& mesh, int32_t frame)
{
    if (frame == 0 || mesh.frames.empty()) return mesh.vertices.data();
    const size_t k = std::min(static_cast<size_t>(frame), mesh.frames.size());
    return mesh.frames[k - 1].vertices.data();
}

// Corner c of face f with its texture coordinate (when the sub-mesh has coordinates for it).
void AddCorner(const SubMesh& mesh, const float* positions, int32_t f, int c, FlatFace& face)
{
    const uint32_t vertex = mesh.FaceIndices(f)[c];
    const float* p = positions + size_t{vertex} * 3;
    face.corners.push_back({p[0], p[1], p[2]});
    const uint32_t* texIndices = mesh.FaceTexCoordIndices(f);
    if (mesh.texCoords.empty()) return;
    uint32_t t = 0;
    if (texIndices) t = texIndices[c];
    else if (mesh.TexCoordCount() == mesh.VertexCount()) t = vertex;
    else return;
    face.uvs.push_back({mesh.texCoords[size_t{t} * 2], mesh.texCoords[size_t{t} * 2 + 1]});
}

// A face through the format's shape: the list of faces it comes back as.
void ShapeFace(const SubMesh& mesh, const float* positions, int32_t f, FaceShape shape, bool textPositions,
               std::vector<FlatFace>& out)
{
    const int corners = mesh.FaceCorners(f);
    auto piece = [&](const std::vector<int>& picks) {
        FlatFace face;
        face.material = mesh.FaceMaterial(f);
        for (int c : picks) AddCorner(mesh, positions, f, c, face);
        if (textPositions) {
            for (Position& p : face.corners) {
                for (float& value : p) value = std::isfinite(value) ? value : 0.0f;
            }
        }
        if (face.uvs.size() != face.corners.size()) face.uvs.clear();
        out.push_back(std::move(face));
    };
    switch (shape) {
    case FaceShape::Kept: {
        std::vector<int> all(static_cast<size_t>(corners));
        for (int c = 0; c < corners; ++c) all[static_cast<size_t>(c)] = c;
        piece(all);
        break;
    }
    case FaceShape::Triangles:
        for (int k = 1; k + 1 < corners; ++k) piece({0, k, k + 1});
        break;
    case FaceShape::UpToQuads: {
        const size_t first = out.size();
        if (corners == 3) piece({0, 1, 2});
        else if (corners == 4) piece({0, 1, 2, 3});
        else if (corners > 4) {
            int k = 1;
            for (; k + 2 < corners; k += 2) piece({0, k, k + 1, k + 2});
            if (k + 1 < corners) piece({0, k, k + 1});
        }
        // A fourth corner equal to the third marks a triangle.
        for (size_t i = first; i < out.size(); ++i) {
            FlatFace& face = out[i];
            if (face.corners.size() == 4 && face.corners[3] == face.corners[2]) {
                face.corners.pop_back();
                if (!face.uvs.empty()) face.uvs.pop_back();
            }
        }
        break;
    }
    }
}

// The written model as the format gives it back (asWritten), or a read-back model as it is.
std::vector<FlatMesh> Flatten(const Model& model, const RoundTripLevel& level, bool asWritten, int32_t frame = 0)
{
    std::vector<FlatMesh> meshes;
    const bool merge = asWritten && level.meshes == MeshShape::Merged;
    const bool text = asWritten && level.positions == PositionShape::Exact;
    for (const SubMesh& mesh : model.subMeshes) {
        if (!merge || meshes.empty()) meshes.emplace_back();
        const float* positions = FramePositions(mesh, frame);
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const int corners = mesh.FaceCorners(f);
            if (asWritten && (corners == 0 || (level.dropsShortFaces && corners < 3))) continue;
            ShapeFace(mesh, positions, f, asWritten ? level.faces : FaceShape::Kept, text, meshes.back().faces);
        }
    }
    return meshes;
}

int32_t FrameCount(const Model& model)
{
    int32_t frames = 1;
    for (const SubMesh& mesh : model.subMeshes) frames = std::max(frames, mesh.FrameCount());
    return frames;
}

struct Box {
    Position low{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                 std::numeric_limits<float>::max()};
    Position high{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                  -std::numeric_limits<float>::max()};
    void Add(const Position& p)
    {
        for (int a = 0; a < 3; ++a) {
            if (!std::isfinite(p[a])) continue;
            low[a] = std::min(low[a], p[a]);
            high[a] = std::max(high[a], p[a]);
        }
    }
    float Extent(int a) const { return high[a] >= low[a] ? high[a] - low[a] : 0.0f; }
    float MaxExtent() const { return std::max({Extent(0), Extent(1), Extent(2)}); }
};

Box BoxOf(const std::vector<std::vector<FlatMesh>>& frames)
{
    Box box;
    for (const auto& meshes : frames) {
        for (const FlatMesh& mesh : meshes) {
            for (const FlatFace& face : mesh.faces) {
                for (const Position& p : face.corners) box.Add(p);
            }
        }
    }
    return box;
}

std::string Describe(const char* what, size_t mesh, size_t face, size_t corner)
{
    std::string text = what;
    text += " (sub-mesh ";
    text += std::to_string(mesh);
    text += ", face ";
    text += std::to_string(face);
    text += ", corner ";
    text += std::to_string(corner);
    text += ")";
    return text;
}

std::string Counted(const char* what, size_t expected, size_t actual)
{
    std::string text = what;
    text += ": expected ";
    text += std::to_string(expected);
    text += ", read back ";
    text += std::to_string(actual);
    return text;
}

// Maps a written position to where the format should put it, and how far off it may be.
struct PositionRule {
    PositionShape shape = PositionShape::Exact;
    Box written, read;
    float scale = 1;

    bool Close(const Position& expected, const Position& actual) const
    {
        for (int a = 0; a < 3; ++a) {
            const float e = expected[a];
            switch (shape) {
            case PositionShape::Exact:
                if (!(e == actual[a]) && !(std::isnan(e) && std::isnan(actual[a]))) return false;
                break;
            case PositionShape::Bytes: {
                if (!std::isfinite(e)) break;
                const float tolerance = written.Extent(a) / 255.0f * 0.5f + 1e-5f * (1 + std::fabs(e));
                if (!(std::fabs(e - actual[a]) <= tolerance)) return false;
                break;
            }
            case PositionShape::Hundredths: {
                if (!std::isfinite(e)) break;
                const float mapped = read.low[a] + (e - written.low[a]) * scale;
                const float tolerance = 0.02f + 1e-5f * std::fabs(mapped);
                if (!(std::fabs(mapped - actual[a]) <= tolerance)) return false;
                break;
            }
            }
        }
        return true;
    }
};

std::string CompareFrame(const std::vector<FlatMesh>& expected, const std::vector<FlatMesh>& actual,
                         const Model& readBack, const RoundTripLevel& level, const PositionRule& rule, bool countsOnly,
                         bool comparePositions)
{
    if (expected.size() != actual.size()) return Counted("sub-meshes", expected.size(), actual.size());
    // The skin's size decides how finely texture coordinates come back from a Quake model.
    float uvTolerance = 1e-6f;
    if (level.positions == PositionShape::Bytes && !readBack.textures.empty()) {
        const Texture& skin = readBack.textures.front();
        uvTolerance = 0.5f / static_cast<float>(std::max(1, std::min(skin.width, skin.height))) + 1e-6f;
    }
    for (size_t m = 0; m < expected.size(); ++m) {
        const auto& e = expected[m].faces;
        const auto& a = actual[m].faces;
        if (e.size() != a.size()) return Counted("faces", e.size(), a.size()) + " in sub-mesh " + std::to_string(m);
        for (size_t f = 0; f < e.size(); ++f) {
            if (e[f].corners.size() != a[f].corners.size())
                return Describe("corner count differs", m, f, 0);
            if (countsOnly) continue;
            for (size_t c = 0; c < e[f].corners.size(); ++c) {
                if (comparePositions && !rule.Close(e[f].corners[c], a[f].corners[c])) {
                    const Position& p = e[f].corners[c];
                    const Position& q = a[f].corners[c];
                    return Describe("position differs", m, f, c) + ": " + std::to_string(p[0]) + " " +
                           std::to_string(p[1]) + " " + std::to_string(p[2]) + " read back as " +
                           std::to_string(q[0]) + " " + std::to_string(q[1]) + " " + std::to_string(q[2]);
                }
            }
            if (level.texCoords && !e[f].uvs.empty()) {
                if (a[f].uvs.size() != e[f].uvs.size()) return Describe("texture coordinates missing", m, f, 0);
                for (size_t c = 0; c < e[f].uvs.size(); ++c) {
                    for (int k = 0; k < 2; ++k) {
                        float want = e[f].uvs[c][static_cast<size_t>(k)];
                        // A skin's coordinates stay on the skin.
                        if (level.positions == PositionShape::Bytes) want = std::clamp(std::isfinite(want) ? want : 0.0f, 0.0f, 1.0f);
                        const float got = a[f].uvs[c][static_cast<size_t>(k)];
                        if (!(std::fabs(want - got) <= uvTolerance) && !(want == got))
                            return Describe("texture coordinate differs", m, f, c);
                    }
                }
            }
            if (level.paletteColours) {
                if ((e[f].material >= 0) != (a[f].material >= 0)) return Describe("face material kept or lost", m, f, 0);
            }
        }
    }
    return {};
}

bool SameBits(const void* a, const void* b, size_t bytes)
{
    return bytes == 0 || std::memcmp(a, b, bytes) == 0;
}

template <typename T>
bool SameVector(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && SameBits(a.data(), b.data(), a.size() * sizeof(T));
}

}  // namespace

const std::vector<RoundTripLevel>& RoundTripLevels()
{
    // clang-format off
    static const std::vector<RoundTripLevel> levels = {
        //  writer  readBack exact  meshes             faces                   positions                 short  uv     palette frames needsFaces
        {"svs",     true,    true,  MeshShape::Kept,   FaceShape::Kept,        PositionShape::Exact,      false, true,  false,  false, false},
        {"svo",     true,    true,  MeshShape::Kept,   FaceShape::Kept,        PositionShape::Exact,      false, true,  false,  false, false},
        {"3d2",     true,    false, MeshShape::Kept,   FaceShape::Triangles,   PositionShape::Hundredths, true,  false, false,  false, false, 32767},
        {"dxf",     true,    false, MeshShape::Merged, FaceShape::UpToQuads,   PositionShape::Exact,      true,  false, true,   false, true},
        {"mdl",     true,    false, MeshShape::Merged, FaceShape::Triangles,   PositionShape::Bytes,      true,  true,  false,  true,  false},
        {"nff",     true,    false, MeshShape::Kept,   FaceShape::Kept,        PositionShape::Exact,      false, false, false,  false, false},
        {"off",     true,    false, MeshShape::Merged, FaceShape::Kept,        PositionShape::Exact,      false, false, false,  false, false},
        {"ply",     true,    false, MeshShape::Merged, FaceShape::Kept,        PositionShape::Exact,      false, false, false,  false, false},
        {"vtk",     true,    false, MeshShape::Merged, FaceShape::Kept,        PositionShape::Exact,      false, false, false,  false, false},
        {"stl",     false,   false, MeshShape::Merged, FaceShape::Triangles,   PositionShape::Exact,      true,  false, false,  false, false},
    };
    // clang-format on
    return levels;
}

const RoundTripLevel* RoundTripLevelFor(std::string_view writer)
{
    for (const RoundTripLevel& level : RoundTripLevels()) {
        if (writer == level.writer) return &level;
    }
    return nullptr;
}

bool RoundTripRefuses(const Model& model, const RoundTripLevel& level)
{
    if (!level.needsFaces) return false;
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            if (mesh.FaceCorners(f) >= 3) return false;
        }
    }
    return true;
}

std::string CompareRoundTrip(const Model& written, const Model& readBack, const RoundTripLevel& level, bool countsOnly)
{
    if (level.exact) {
        if (countsOnly) {
            if (written.SubMeshCount() != readBack.SubMeshCount())
                return Counted("sub-meshes", written.subMeshes.size(), readBack.subMeshes.size());
            for (size_t m = 0; m < written.subMeshes.size(); ++m) {
                if (written.subMeshes[m].FaceCount() != readBack.subMeshes[m].FaceCount())
                    return Counted("faces", static_cast<size_t>(written.subMeshes[m].FaceCount()),
                                   static_cast<size_t>(readBack.subMeshes[m].FaceCount()));
            }
            return {};
        }
        return CompareNativeExactly(written, readBack);
    }
    if (level.splitsAbove > 0) {
        bool split = false;
        for (const SubMesh& mesh : written.subMeshes) {
            int64_t triangles = 0;
            for (int32_t f = 0; f < mesh.FaceCount(); ++f) triangles += std::max(mesh.FaceCorners(f) - 2, 0);
            split = split || mesh.VertexCount() > level.splitsAbove || triangles > level.splitsAbove;
        }
        if (split) {
            size_t expected = 0, actual = 0;
            for (const FlatMesh& mesh : Flatten(written, level, true)) expected += mesh.faces.size();
            for (const FlatMesh& mesh : Flatten(readBack, level, false)) actual += mesh.faces.size();
            return expected == actual ? std::string() : Counted("faces in all", expected, actual);
        }
    }
    const int32_t frames = level.frames ? FrameCount(written) : 1;
    if (level.frames && FrameCount(readBack) != frames)
        return Counted("key frames", static_cast<size_t>(frames), static_cast<size_t>(FrameCount(readBack)));
    std::vector<std::vector<FlatMesh>> expected, actual;
    for (int32_t k = 0; k < frames; ++k) {
        expected.push_back(Flatten(written, level, true, k));
        actual.push_back(Flatten(readBack, level, false, k));
    }
    PositionRule rule;
    rule.shape = level.positions;
    rule.written = BoxOf(expected);
    rule.read = BoxOf(actual);
    if (level.positions == PositionShape::Hundredths) {
        const float writtenExtent = rule.written.MaxExtent();
        rule.scale = writtenExtent > 0 ? rule.read.MaxExtent() / writtenExtent : 1.0f;
    }
    for (int32_t k = 0; k < frames; ++k) {
        std::string problem = CompareFrame(expected[static_cast<size_t>(k)], actual[static_cast<size_t>(k)], readBack,
                                           level, rule, countsOnly, true);
        if (!problem.empty()) {
            if (frames > 1) problem += " in key frame " + std::to_string(k + 1);
            return problem;
        }
    }
    return {};
}

std::string CompareNativeExactly(const Model& written, const Model& readBack)
{
    if (written.SubMeshCount() != readBack.SubMeshCount())
        return Counted("sub-meshes", written.subMeshes.size(), readBack.subMeshes.size());
    const bool textured = written.TextureCount() > 0;
    for (size_t m = 0; m < written.subMeshes.size(); ++m) {
        const SubMesh& a = written.subMeshes[m];
        const SubMesh& b = readBack.subMeshes[m];
        const std::string where = " of sub-mesh " + std::to_string(m);
        if (!SameVector(a.vertices, b.vertices)) return "vertices" + where;
        // A sub-mesh without faces may hold no offsets or the one 0.
        if (a.FaceCount() != b.FaceCount() || (a.FaceCount() > 0 && !SameVector(a.faceOffsets, b.faceOffsets)))
            return "face corner counts" + where;
        if (!SameVector(a.faceIndices, b.faceIndices)) return "face corners" + where;
        std::vector<int32_t> materials(static_cast<size_t>(a.FaceCount()), -1);
        if (!a.faceMaterials.empty()) materials = a.faceMaterials;
        if (!SameVector(materials, b.faceMaterials)) return "face materials" + where;
        if (!SameVector(a.normals, b.normals)) return "normals" + where;
        // Texture coordinates are stored only for a model with textures; a sub-mesh without indices
        // of its own uses its vertex indices.
        const std::vector<float> texCoords = textured ? a.texCoords : std::vector<float>();
        if (!SameVector(texCoords, b.texCoords)) return "texture coordinates" + where;
        std::vector<uint32_t> texIndices;
        if (!texCoords.empty()) texIndices = a.HasTexCoordIndices() ? a.faceTexCoordIndices : a.faceIndices;
        if (!SameVector(texIndices, b.faceTexCoordIndices)) return "texture-coordinate indices" + where;
        if (!SameBits(a.centroid.data(), b.centroid.data(), sizeof a.centroid)) return "centroid" + where;
        if (!SameBits(a.bounds.data(), b.bounds.data(), sizeof a.bounds)) return "bounds" + where;
    }
    if (written.MaterialCount() != readBack.MaterialCount())
        return Counted("materials", written.materials.size(), readBack.materials.size());
    for (size_t i = 0; i < written.materials.size(); ++i) {
        const Material& a = written.materials[i];
        const Material& b = readBack.materials[i];
        const std::string where = " of material " + std::to_string(i);
        if (a.name.substr(0, 63) != b.name) return "name" + where;
        if (!SameBits(a.color.data(), b.color.data(), sizeof a.color)) return "colour" + where;
        if (!SameBits(a.diffuse.data(), b.diffuse.data(), sizeof a.diffuse)) return "diffuse" + where;
        if (!SameBits(a.specular.data(), b.specular.data(), sizeof a.specular)) return "specular" + where;
        if (!SameBits(&a.transparency, &b.transparency, sizeof a.transparency)) return "transparency" + where;
        if (a.textureIndex != b.textureIndex) return "texture index" + where;
    }
    const int16_t materialFlag = written.materials.empty() ? 0 : 1;
    if (readBack.hasColor != materialFlag || readBack.hasDiffuse != materialFlag || readBack.hasSpecular != materialFlag ||
        readBack.hasTransparency != materialFlag)
        return "material flags";
    if (written.TextureCount() != readBack.TextureCount())
        return Counted("textures", written.textures.size(), readBack.textures.size());
    for (size_t i = 0; i < written.textures.size(); ++i) {
        const Texture& a = written.textures[i];
        const Texture& b = readBack.textures[i];
        const std::string where = " of texture " + std::to_string(i);
        if (a.name.substr(0, 259) != b.name) return "name" + where;
        const bool pixels = a.HasPixels();
        if ((pixels ? a.width : 0) != b.width || (pixels ? a.height : 0) != b.height) return "size" + where;
        if (!SameVector(a.pixels, b.pixels)) return "pixels" + where;
    }
    if (readBack.hasTextures != (written.textures.empty() ? 0 : 1)) return "texture flag";
    return {};
}

std::string WriteAndReadBack(const Model& model, const WriterEntry& entry, const std::string& folder,
                             std::unique_ptr<Model>& readBack, std::string* writtenPath)
{
    const std::string path = folder + "/model" + entry.extension;
    if (writtenPath) *writtenPath = path;
    SaveContext save;
    if (!SaveModelFile(model, path, entry, save)) return "write failed: " + save.error;
    LoadContext ctx;
    readBack = LoadModelFile(path, ctx);
    if (!readBack) {
        int32_t code = 0;
        const std::string message = ResultMessage(ctx, &code);
        return "read back failed with " + std::to_string(code) + ": " + message;
    }
    return {};
}

}  // namespace solvane::test
