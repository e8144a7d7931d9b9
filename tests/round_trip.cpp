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
    std::vector<Position> normals;  // empty when the sub-mesh has none
    int32_t material = -1;
    MaterialLook look;                // what the face's material looks like
    const Texture* texture = nullptr; // the picture its material (or the skin) gives it
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

// The picture a face shows where the row keeps textures: its material's, or the skin of a model
// without materials (the Quake formats).
const Texture* FaceTexture(const Model& model, int32_t material, const RoundTripLevel& level)
{
    const auto picture = [&model](int32_t t) -> const Texture* {
        if (t < 0 || t >= model.TextureCount() || !model.textures[static_cast<size_t>(t)].HasPixels()) return nullptr;
        return &model.textures[static_cast<size_t>(t)];
    };
    if (level.textures == TextureKeep::None || level.textures == TextureKeep::List) return nullptr;
    if (material >= 0) return picture(model.materials[static_cast<size_t>(material)].textureIndex);
    return level.textures == TextureKeep::Skin && model.materials.empty() ? picture(0) : nullptr;
}

// Look, texture and normals of a face of the model as it is.
void DescribeFace(const Model& model, const SubMesh& mesh, int32_t f, const RoundTripLevel& level, FlatFace& face)
{
    const int32_t material = ValidMaterial(model, mesh.FaceMaterial(f));
    if (material >= 0) face.look = LookOf(model, model.materials[static_cast<size_t>(material)]);
    face.texture = FaceTexture(model, material, level);
    if (level.normals && mesh.NormalCount() == mesh.VertexCount() && mesh.NormalCount() > 0) {
        for (int c = 0; c < mesh.FaceCorners(f); ++c) {
            const float* n = &mesh.normals[size_t{mesh.FaceIndices(f)[c]} * 3];
            face.normals.push_back({n[0], n[1], n[2]});
        }
    }
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

// The written model shaped as a texture-carrying writer shapes it (PrepareExport).
std::vector<FlatMesh> FlattenExport(const Model& model, const RoundTripLevel& level, int32_t frame)
{
    ExportOptions options;
    options.triangles = level.faces == FaceShape::Triangles;
    options.keepHoles = level.keepsHoles;
    options.reverseWinding = ReversesWinding(model, level.windingOf);
    const ExportModel exported = PrepareExport(model, options);
    const bool needsDefault = NeedsDefaultMaterial(model, exported) ||
                              (level.windingOf == Format::LightWave && !model.materials.empty());
    const bool text = level.positions == PositionShape::Exact && !level.binaryNumbers;
    std::vector<FlatMesh> meshes;
    for (const ExportMesh& mesh : exported.meshes) {
        if (level.meshes != MeshShape::Merged || meshes.empty()) meshes.emplace_back();
        // MD3: a surface per texture, in the order the sub-mesh's faces first use them.
        std::vector<const Texture*> groups;
        std::vector<size_t> groupOf(static_cast<size_t>(mesh.FaceCount()), 0);
        for (int32_t f = 0; f < mesh.FaceCount() && level.groupsByTexture; ++f) {
            const Texture* key = FaceTexture(model, ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]), level);
            auto found = std::find(groups.begin(), groups.end(), key);
            if (found == groups.end()) found = groups.insert(groups.end(), key);
            groupOf[static_cast<size_t>(f)] = static_cast<size_t>(found - groups.begin());
        }
        const size_t first = meshes.size() - 1;
        for (size_t g = 1; g < groups.size(); ++g) meshes.emplace_back();
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            FlatFace face;
            const uint32_t* indices = mesh.FaceIndices(f);
            const uint32_t* tex = mesh.FaceTexCoordIndices(f);
            const int32_t keyFrame = std::min(frame, mesh.FrameCount() - 1);
            for (int c = 0; c < mesh.FaceCorners(f); ++c) {
                const float* p = mesh.Position(indices[c], keyFrame);
                Position corner{p[0], p[1], p[2]};
                if (text) {
                    for (float& value : corner) value = std::isfinite(value) ? value : 0.0f;
                }
                face.corners.push_back(corner);
                if (mesh.HasTexCoords()) {
                    const float* uv = tex ? &mesh.texCoords[size_t{tex[c]} * 2] : mesh.TexCoord(indices[c]);
                    face.uvs.push_back({uv[0], uv[1]});
                }
                if (level.normals && mesh.HasNormals()) {
                    const float* n = mesh.Normal(indices[c]);
                    face.normals.push_back({n[0], n[1], n[2]});
                }
            }
            const int32_t material = ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]);
            face.material = material;
            if (material >= 0) face.look = LookOf(model, model.materials[static_cast<size_t>(material)]);
            else if (needsDefault) face.look = LookOf(model, DefaultMaterial());
            face.texture = FaceTexture(model, material, level);
            meshes[first + groupOf[static_cast<size_t>(f)]].faces.push_back(std::move(face));
        }
    }
    // Sub-meshes without faces are not compared: writers leave them out or keep them empty.
    meshes.erase(std::remove_if(meshes.begin(), meshes.end(), [](const FlatMesh& m) { return m.faces.empty(); }), meshes.end());
    return meshes;
}

// The written model as the format gives it back (asWritten), or a read-back model as it is.
std::vector<FlatMesh> Flatten(const Model& model, const RoundTripLevel& level, bool asWritten, int32_t frame = 0)
{
    if (asWritten && level.exportShape) return FlattenExport(model, level, frame);
    std::vector<FlatMesh> meshes;
    const bool merge = asWritten && level.meshes == MeshShape::Merged;
    const bool text = asWritten && level.positions == PositionShape::Exact && !level.binaryNumbers;
    for (const SubMesh& mesh : model.subMeshes) {
        if (!merge || meshes.empty()) meshes.emplace_back();
        const float* positions = FramePositions(mesh, frame);
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const int corners = mesh.FaceCorners(f);
            if (asWritten && (corners == 0 || (level.dropsShortFaces && corners < 3))) continue;
            std::vector<FlatFace>& faces = meshes.back().faces;
            const size_t before = faces.size();
            ShapeFace(mesh, positions, f, asWritten ? level.faces : FaceShape::Kept, text, faces);
            if (!asWritten) {
                for (size_t i = before; i < faces.size(); ++i) DescribeFace(model, mesh, f, level, faces[i]);
            }
        }
    }
    if (level.exportShape) {
        meshes.erase(std::remove_if(meshes.begin(), meshes.end(), [](const FlatMesh& m) { return m.faces.empty(); }),
                     meshes.end());
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
    Box writtenVertices;  // every vertex of every key frame, faces or not (bytes are packed over it)
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
                const float extent = std::max(written.Extent(a), writtenVertices.Extent(a));
                const float tolerance = extent / 255.0f * 0.5f + 1e-5f * (1 + std::fabs(e));
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
            case PositionShape::Sixtyfourths:
                if (!(std::fabs(e - actual[a]) <= 0.5f / 64 + 1e-6f)) return false;
                break;
            }
        }
        return true;
    }
};

bool Near(float a, float b, float tolerance)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::fabs(a - b) <= tolerance + 1e-6f * std::max(std::fabs(a), std::fabs(b));
}

bool NearTriple(const std::array<float, 3>& a, const std::array<float, 3>& b, float tolerance)
{
    return Near(a[0], b[0], tolerance) && Near(a[1], b[1], tolerance) && Near(a[2], b[2], tolerance);
}

// Whether two pictures are the same: exactly, or (reduced to 256 colours) within 8 levels on average.
bool SamePicture(const Texture& want, const Texture& got, bool exact)
{
    if (want.width != got.width || want.height != got.height || got.pixels.size() != want.pixels.size()) return false;
    if (exact) return want.pixels == got.pixels;
    double error = 0;
    for (size_t i = 0; i < want.pixels.size(); ++i) error += std::abs(int{want.pixels[i]} - int{got.pixels[i]});
    return error <= 8.0 * static_cast<double>(want.pixels.size());
}

// The skin a Quake writer keeps: the picture of the first face that has one.
const Texture* SkinOf(const std::vector<FlatMesh>& meshes)
{
    for (const FlatMesh& mesh : meshes) {
        for (const FlatFace& face : mesh.faces) {
            if (face.texture) return face.texture;
        }
    }
    return nullptr;
}

std::string CompareFrame(const std::vector<FlatMesh>& expected, const std::vector<FlatMesh>& actual,
                         const Model& written, const Model& readBack, const RoundTripLevel& level,
                         const PositionRule& rule, bool countsOnly, bool comparePositions)
{
    if (expected.size() != actual.size()) return Counted("sub-meshes", expected.size(), actual.size());
    // The skin's size decides how finely texture coordinates come back from a Quake model.
    float uvTolerance = 1e-6f;
    float uvTolerances[2] = {1e-6f, 1e-6f};
    bool compareUvs = level.texCoords;
    if (level.positions == PositionShape::Bytes && !level.skinPixels && !readBack.textures.empty()) {
        const Texture& skin = readBack.textures.front();
        uvTolerance = 0.5f / static_cast<float>(std::max(1, std::min(skin.width, skin.height))) + 1e-6f;
        uvTolerances[0] = uvTolerances[1] = uvTolerance;
    }
    if (level.skinPixels) {
        // MD2: fractions of the skin written beside the model, or, for an MD2 read without its
        // skin, the pixels as they were; coordinates without a skin to measure them are not kept.
        if (const Texture* skin = SkinOf(expected)) {
            uvTolerances[0] = 0.5f / static_cast<float>(skin->width) + 1e-6f;
            uvTolerances[1] = 0.5f / static_cast<float>(skin->height) + 1e-6f;
        } else {
            compareUvs = compareUvs && written.formatId == Format::Md2 && written.textures.empty();
        }
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
            if (compareUvs && !e[f].uvs.empty()) {
                if (a[f].uvs.size() != e[f].uvs.size()) return Describe("texture coordinates missing", m, f, 0);
                for (size_t c = 0; c < e[f].uvs.size(); ++c) {
                    for (int k = 0; k < 2; ++k) {
                        float want = e[f].uvs[c][static_cast<size_t>(k)];
                        // A Quake 1 skin's coordinates stay on the skin.
                        if (level.positions == PositionShape::Bytes && !level.skinPixels)
                            want = std::clamp(std::isfinite(want) ? want : 0.0f, 0.0f, 1.0f);
                        const float got = a[f].uvs[c][static_cast<size_t>(k)];
                        if (!(std::fabs(want - got) <= uvTolerances[k]) && !(want == got))
                            return Describe("texture coordinate differs", m, f, c);
                    }
                }
            }
            if (level.normals && !e[f].normals.empty() && !a[f].normals.empty()) {
                for (size_t c = 0; c < e[f].normals.size() && c < a[f].normals.size(); ++c) {
                    if (!NearTriple(e[f].normals[c], a[f].normals[c], 1e-6f)) return Describe("normal differs", m, f, c);
                }
            }
            if (level.paletteColours) {
                if ((e[f].material >= 0) != (a[f].material >= 0)) return Describe("face material kept or lost", m, f, 0);
            }
            const LookFields& looks = level.looks;
            const MaterialLook& want = e[f].look;
            const MaterialLook& got = a[f].look;
            if ((looks.color && !NearTriple(want.color, got.color, looks.colorTolerance)) ||
                (looks.diffuse && !NearTriple(want.diffuse, got.diffuse, looks.colorTolerance)) ||
                (looks.specular && !NearTriple(want.specular, got.specular, looks.colorTolerance)) ||
                (looks.transparency && !Near(want.transparency, got.transparency, looks.transparencyTolerance)))
                return Describe("material looks different", m, f, 0);
            if (level.textures == TextureKeep::PerMaterial && e[f].texture) {
                if (!a[f].texture) return Describe("texture lost", m, f, 0);
                if (!SamePicture(*e[f].texture, *a[f].texture, level.texturePixelsExact))
                    return Describe("texture picture differs", m, f, 0);
            }
        }
    }
    return {};
}

// The textures kept model-wide: the Quake skin, or the Power Render texture list.
std::string CompareTextures(const Model& written, const Model& readBack, const std::vector<FlatMesh>& expected,
                            const RoundTripLevel& level)
{
    if (level.textures == TextureKeep::Skin) {
        // MD3: each surface names its own skin, our reader keeps the first surface's.
        const Texture* skin = SkinOf(expected);
        if (level.groupsByTexture) skin = expected.empty() || expected[0].faces.empty() ? nullptr : expected[0].faces[0].texture;
        if (!skin) return {};
        if (readBack.textures.empty()) return "the skin did not come back";
        if (!SamePicture(*skin, readBack.textures[0], level.texturePixelsExact)) return "the skin's picture differs";
    }
    if (level.textures == TextureKeep::List) {
        std::vector<const Texture*> pictures;
        for (const Texture& texture : written.textures) {
            if (texture.HasPixels()) pictures.push_back(&texture);
        }
        if (readBack.textures.size() != pictures.size()) return Counted("textures", pictures.size(), readBack.textures.size());
        for (size_t t = 0; t < pictures.size(); ++t) {
            if (!SamePicture(*pictures[t], readBack.textures[t], level.texturePixelsExact))
                return "the picture of texture " + std::to_string(t) + " differs";
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

// 24-bit colours come back within half a step.
constexpr float kByteColour = 0.5f / 255.0f;

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
        // The texture-carrying writers (formats/model_export.h shapes their faces).
        {.writer = "obj", .meshes = MeshShape::Merged, .dropsShortFaces = true, .texCoords = true, .exportShape = true,
         .windingOf = Format::Obj, .normals = true, .looks = {.color = true, .diffuse = true, .specular = true, .transparency = true},
         .textures = TextureKeep::PerMaterial},
        {.writer = "3ds", .faces = FaceShape::Triangles, .dropsShortFaces = true, .texCoords = true, .splitsAbove = 65535,
         .exportShape = true, .windingOf = Format::Studio3ds, .binaryNumbers = true,
         .looks = {.color = true, .diffuse = true, .specular = true, .transparency = true, .colorTolerance = kByteColour,
                   .transparencyTolerance = 0.005f},
         .textures = TextureKeep::PerMaterial},
        {.writer = "cob", .dropsShortFaces = true, .texCoords = true, .exportShape = true, .keepsHoles = true,
         .windingOf = Format::TrueSpace, .binaryNumbers = true, .looks = {.color = true, .transparency = true},
         .textures = TextureKeep::PerMaterial},
        {.writer = "lwo", .meshes = MeshShape::Merged, .dropsShortFaces = true, .exportShape = true,
         .windingOf = Format::LightWave, .binaryNumbers = true,
         .looks = {.diffuse = true, .transparency = true, .colorTolerance = kByteColour}, .textures = TextureKeep::PerMaterial},
        {.writer = "md2", .meshes = MeshShape::Merged, .faces = FaceShape::Triangles, .positions = PositionShape::Bytes,
         .dropsShortFaces = true, .texCoords = true, .frames = true, .exportShape = true, .windingOf = Format::Md2,
         .skinPixels = true, .textures = TextureKeep::Skin, .texturePixelsExact = false},
        {.writer = "md3", .faces = FaceShape::Triangles, .positions = PositionShape::Sixtyfourths, .dropsShortFaces = true,
         .texCoords = true, .frames = true, .splitsAbove = 4096, .exportShape = true, .windingOf = Format::Md3,
         .groupsByTexture = true, .textures = TextureKeep::Skin},
        {.writer = "pro", .faces = FaceShape::Triangles, .dropsShortFaces = true, .texCoords = true, .exportShape = true,
         .windingOf = Format::PowerRender, .binaryNumbers = true, .looks = {.diffuse = true, .transparency = true},
         .textures = TextureKeep::List, .texturePixelsExact = false},
        {.writer = "x", .dropsShortFaces = true, .texCoords = true, .exportShape = true, .windingOf = Format::DirectX,
         .binaryNumbers = true, .normals = true, .looks = {.diffuse = true, .specular = true, .transparency = true},
         .textures = TextureKeep::PerMaterial},
        {.writer = "x-ascii", .dropsShortFaces = true, .texCoords = true, .exportShape = true, .windingOf = Format::DirectX,
         .normals = true, .looks = {.diffuse = true, .specular = true, .transparency = true},
         .textures = TextureKeep::PerMaterial},
        {.writer = "glb", .readBack = false, .faces = FaceShape::Triangles, .dropsShortFaces = true, .exportShape = true,
         .windingOf = Format::Obj},
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

bool RefusedForLimits(const std::string& message)
{
    return message.find("exceeds the format's limit of ") != std::string::npos;
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
    for (const SubMesh& mesh : written.subMeshes) {
        for (int32_t k = 0; k < mesh.FrameCount(); ++k) {
            const std::vector<float>& vertices = k == 0 ? mesh.vertices : mesh.frames[static_cast<size_t>(k - 1)].vertices;
            for (size_t i = 0; i + 2 < vertices.size(); i += 3) rule.writtenVertices.Add({vertices[i], vertices[i + 1], vertices[i + 2]});
        }
    }
    if (level.positions == PositionShape::Hundredths) {
        const float writtenExtent = rule.written.MaxExtent();
        rule.scale = writtenExtent > 0 ? rule.read.MaxExtent() / writtenExtent : 1.0f;
    }
    for (int32_t k = 0; k < frames; ++k) {
        std::string problem = CompareFrame(expected[static_cast<size_t>(k)], actual[static_cast<size_t>(k)], written,
                                           readBack, level, rule, countsOnly, true);
        if (!problem.empty()) {
            if (frames > 1) problem += " in key frame " + std::to_string(k + 1);
            return problem;
        }
    }
    return countsOnly ? std::string() : CompareTextures(written, readBack, expected[0], level);
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
