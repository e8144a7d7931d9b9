// Round trips of the model writers: a model written in a format and read back with our reader is
// compared, face by face and corner by corner, with what the writer meant to store: the faces in
// the shape the format holds (PrepareExport with the writer's options), positions within the
// format's precision, texture coordinates, normals, key frames, what the materials look like and
// the pictures of the textures, each only where the format carries it.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "core/writer_output.h"
#include "formats/model_export.h"
#include "tests/test_support.h"

namespace solvane::test {

using ModelWriterFunction = bool (*)(const Model& model, const std::string& path, SaveContext& ctx);

// How positions come back.
enum class Precision {
    Float,     // as written (IEEE single, or the shortest text that reads back the same)
    Md2Bytes,  // a byte per coordinate over the frame's box: half of 1/255 of its extent
    Md3Units,  // 16-bit integers of 1/64 unit: half of 1/64
};

// Which material looks come back, and how near.
struct LookFields {
    bool color = false;
    bool diffuse = false;
    bool specular = false;
    bool transparency = false;
    float colorTolerance = 1e-6f;
    float transparencyTolerance = 1e-6f;
};

// What a writer's files give back through our reader.
struct WriterExpectation {
    const char* name = nullptr;
    ModelWriterFunction write = nullptr;
    const char* extension = nullptr;
    const char* textureExtension = nullptr;  // the images written beside the model
    FormatId readsAs = Format::Unknown;  // -1: our program does not read the format back
    ExportOptions shape{};               // the faces as the writer stores them (winding filled in per model)
    FormatId windingOf = Format::Unknown;  // the format whose winding the faces follow
    bool mergesSubMeshes = false;   // the sub-meshes come back as one
    bool groupsByTexture = false;   // a sub-mesh's faces are grouped by their texture (MD3 surfaces)
    bool texCoords = false;
    bool texCoordsInSkinPixels = false;  // MD2: stored in pixels of the skin
    bool normals = false;
    bool frames = false;
    Precision precision = Precision::Float;
    LookFields looks{};
    enum class Textures { None, PerMaterial, Skin, List } textures = Textures::None;
    bool texturePixelsExact = true;  // false: PCX, reduced to 256 colours
    const char* assimpName = nullptr;  // assimp reads the format (checked when assimp is installed)
};

namespace round_trip_detail {

// One face as compared: its corners' positions per key frame, texture coordinates, normals, what
// its material looks like and its texture's picture.
struct FaceRecord {
    std::vector<std::vector<std::array<float, 3>>> positions;  // [frame][corner]
    std::vector<std::array<float, 2>> texCoords;               // empty: none
    std::vector<std::array<float, 3>> normals;                 // empty: none
    MaterialLook look;
    const Texture* texture = nullptr;
};

inline const Texture* TextureOf(const Model& model, int32_t material, const WriterExpectation& expectation)
{
    using Kind = WriterExpectation::Textures;
    if (expectation.textures == Kind::Skin) {
        if (material >= 0 && model.materials[static_cast<size_t>(material)].textureIndex >= 0) {
            const int32_t t = model.materials[static_cast<size_t>(material)].textureIndex;
            return t < model.TextureCount() && model.textures[static_cast<size_t>(t)].HasPixels() ? &model.textures[static_cast<size_t>(t)] : nullptr;
        }
        return !model.textures.empty() && model.materials.empty() && model.textures[0].HasPixels() ? &model.textures[0] : nullptr;
    }
    if (expectation.textures != Kind::PerMaterial || material < 0) return nullptr;
    const int32_t t = model.materials[static_cast<size_t>(material)].textureIndex;
    if (t < 0 || t >= model.TextureCount() || !model.textures[static_cast<size_t>(t)].HasPixels()) return nullptr;
    return &model.textures[static_cast<size_t>(t)];
}

// The faces the writer meant to store, in file order.
inline std::vector<FaceRecord> Expected(const Model& model, const WriterExpectation& expectation, int32_t frames)
{
    ExportOptions options = expectation.shape;
    options.reverseWinding = ReversesWinding(model, expectation.windingOf);
    const ExportModel exported = PrepareExport(model, options);
    const bool needsDefault = NeedsDefaultMaterial(model, exported) ||
                              (expectation.readsAs == Format::LightWave && !model.materials.empty());
    std::vector<FaceRecord> faces;
    for (const ExportMesh& mesh : exported.meshes) {
        // MD3: a surface per texture, in the order the sub-mesh's faces first use them.
        std::vector<int32_t> order(static_cast<size_t>(mesh.FaceCount()));
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) order[static_cast<size_t>(f)] = f;
        if (expectation.groupsByTexture) {
            std::vector<const Texture*> keys;
            std::vector<size_t> group(order.size());
            for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
                const Texture* key = TextureOf(model, ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]), expectation);
                auto found = std::find(keys.begin(), keys.end(), key);
                if (found == keys.end()) found = keys.insert(keys.end(), key);
                group[static_cast<size_t>(f)] = static_cast<size_t>(found - keys.begin());
            }
            std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return group[static_cast<size_t>(a)] < group[static_cast<size_t>(b)]; });
        }
        for (int32_t f : order) {
            FaceRecord face;
            const int corners = mesh.FaceCorners(f);
            const uint32_t* indices = mesh.FaceIndices(f);
            for (int32_t k = 0; k < frames; ++k) {
                std::vector<std::array<float, 3>> positions;
                for (int c = 0; c < corners; ++c) {
                    const float* p = mesh.Position(indices[c], std::min(k, mesh.FrameCount() - 1));
                    positions.push_back({p[0], p[1], p[2]});
                }
                face.positions.push_back(std::move(positions));
            }
            if (mesh.HasTexCoords()) {
                const uint32_t* tex = mesh.FaceTexCoordIndices(f);
                for (int c = 0; c < corners; ++c) {
                    const float* uv = tex ? &mesh.texCoords[2 * size_t{tex[c]}] : mesh.TexCoord(indices[c]);
                    face.texCoords.push_back({uv[0], uv[1]});
                }
            }
            if (mesh.HasNormals()) {
                for (int c = 0; c < corners; ++c) {
                    const float* n = mesh.Normal(indices[c]);
                    face.normals.push_back({n[0], n[1], n[2]});
                }
            }
            const int32_t material = ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]);
            if (material >= 0) face.look = LookOf(model, model.materials[static_cast<size_t>(material)]);
            else if (needsDefault) face.look = LookOf(model, DefaultMaterial());
            face.texture = TextureOf(model, material, expectation);
            faces.push_back(std::move(face));
        }
    }
    return faces;
}

// The faces our reader gave back, in order.
inline std::vector<FaceRecord> Actual(const Model& model, const WriterExpectation& expectation)
{
    std::vector<FaceRecord> faces;
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            FaceRecord face;
            const int corners = mesh.FaceCorners(f);
            const uint32_t* indices = mesh.FaceIndices(f);
            for (int32_t k = 0; k < mesh.FrameCount(); ++k) {
                const std::vector<float>& vertices = k == 0 ? mesh.vertices : mesh.frames[static_cast<size_t>(k - 1)].vertices;
                std::vector<std::array<float, 3>> positions;
                for (int c = 0; c < corners; ++c) {
                    const float* p = &vertices[3 * size_t{indices[c]}];
                    positions.push_back({p[0], p[1], p[2]});
                }
                face.positions.push_back(std::move(positions));
            }
            if (const uint32_t* tex = mesh.FaceTexCoordIndices(f); tex && mesh.TexCoordCount() > 0) {
                for (int c = 0; c < corners; ++c) face.texCoords.push_back({mesh.texCoords[2 * size_t{tex[c]}], mesh.texCoords[2 * size_t{tex[c]} + 1]});
            }
            if (!mesh.normals.empty()) {
                for (int c = 0; c < corners; ++c) {
                    const float* n = &mesh.normals[3 * size_t{indices[c]}];
                    face.normals.push_back({n[0], n[1], n[2]});
                }
            }
            const int32_t material = ValidMaterial(model, mesh.FaceMaterial(f));
            if (material >= 0) face.look = LookOf(model, model.materials[static_cast<size_t>(material)]);
            face.texture = TextureOf(model, material, expectation);
            faces.push_back(std::move(face));
        }
    }
    return faces;
}

inline bool Near(float a, float b, float tolerance)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::fabs(a - b) <= tolerance + 1e-6f * std::max(std::fabs(a), std::fabs(b));
}

inline bool NearColor(const std::array<float, 3>& a, const std::array<float, 3>& b, float tolerance)
{
    return Near(a[0], b[0], tolerance) && Near(a[1], b[1], tolerance) && Near(a[2], b[2], tolerance);
}

inline ::testing::AssertionResult SamePicture(const Texture& want, const Texture& got, bool exact)
{
    if (want.width != got.width || want.height != got.height || got.pixels.size() != want.pixels.size())
        return ::testing::AssertionFailure() << "texture " << got.width << "x" << got.height << ", want " << want.width << "x" << want.height;
    if (exact) {
        if (want.pixels != got.pixels) return ::testing::AssertionFailure() << "texture pixels differ";
        return ::testing::AssertionSuccess();
    }
    double error = 0;
    for (size_t i = 0; i < want.pixels.size(); ++i) error += std::abs(int{want.pixels[i]} - int{got.pixels[i]});
    error /= static_cast<double>(want.pixels.size());
    // A picture of many colours reduced to 256 by median cut.
    if (error > 8) return ::testing::AssertionFailure() << "texture pixels differ by " << error << " on average";
    return ::testing::AssertionSuccess();
}

// How far a coordinate of key frame k may move in the format's encoding. MD2 scales each frame to
// the box of all its vertices.
inline std::array<float, 3> PositionTolerance(const Model& model, int32_t k, Precision precision)
{
    if (precision == Precision::Md3Units) return {0.5f / 64, 0.5f / 64, 0.5f / 64};
    std::array<float, 3> tolerance{0, 0, 0};
    if (precision != Precision::Md2Bytes) return tolerance;
    BoundsBuilder box;
    for (const SubMesh& mesh : model.subMeshes) {
        const int32_t frame = std::min(k, mesh.FrameCount() - 1);
        const std::vector<float>& vertices = frame == 0 ? mesh.vertices : mesh.frames[static_cast<size_t>(frame - 1)].vertices;
        for (size_t i = 0; i + 2 < vertices.size(); i += 3) box.Extend(vertices[i], vertices[i + 1], vertices[i + 2]);
    }
    for (int axis = 0; axis < 3; ++axis) tolerance[axis] = (box.bounds[2 * axis + 1] - box.bounds[2 * axis]) / 255.0f * 0.5001f;
    return tolerance;
}

}  // namespace round_trip_detail

inline ::testing::AssertionResult SameAsWritten(const Model& original, const Model& back, const WriterExpectation& expectation)
{
    using namespace round_trip_detail;
    int32_t frames = 1;
    if (expectation.frames) {
        for (const SubMesh& mesh : original.subMeshes) {
            if (mesh.FaceCount() > 0) frames = std::max(frames, mesh.FrameCount());
        }
        for (const SubMesh& mesh : back.subMeshes) {
            if (mesh.FrameCount() != frames)
                return ::testing::AssertionFailure() << "sub-mesh " << mesh.name << " has " << mesh.FrameCount() << " frames, want " << frames;
        }
    }
    if (expectation.mergesSubMeshes && back.SubMeshCount() != 1)
        return ::testing::AssertionFailure() << back.SubMeshCount() << " sub-meshes, want 1";
    const std::vector<FaceRecord> want = Expected(original, expectation, frames);
    const std::vector<FaceRecord> got = Actual(back, expectation);
    // The Quake formats keep one skin: the texture of the first face that has one.
    const Texture* skin = nullptr;
    for (const FaceRecord& face : want) {
        if (expectation.textures == WriterExpectation::Textures::Skin && face.texture) {
            skin = face.texture;
            break;
        }
    }
    // Faces of fewer than three corners are not written.
    size_t g = 0;
    for (size_t w = 0; w < want.size(); ++w, ++g) {
        while (g < got.size() && got[g].positions[0].size() < 3) ++g;
        if (g >= got.size()) return ::testing::AssertionFailure() << "only " << w << " faces back of " << want.size();
        const FaceRecord& a = want[w];
        const FaceRecord& b = got[g];
        const size_t corners = a.positions[0].size();
        if (b.positions[0].size() != corners)
            return ::testing::AssertionFailure() << "face " << w << " has " << b.positions[0].size() << " corners, want " << corners;
        if (b.positions.size() < a.positions.size())
            return ::testing::AssertionFailure() << "face " << w << " has " << b.positions.size() << " key frames";
        for (size_t k = 0; k < a.positions.size(); ++k) {
            const std::array<float, 3> tolerance = PositionTolerance(original, static_cast<int32_t>(k), expectation.precision);
            for (size_t c = 0; c < corners; ++c) {
                for (int axis = 0; axis < 3; ++axis) {
                    if (!Near(a.positions[k][c][axis], b.positions[k][c][axis], tolerance[axis]))
                        return ::testing::AssertionFailure() << "face " << w << " corner " << c << " frame " << k << " axis " << axis << ": "
                                                             << b.positions[k][c][axis] << ", want " << a.positions[k][c][axis];
                }
            }
        }
        // Without a skin, MD2 coordinates stay in pixels: those of an MD2 come back as they were.
        const bool pixelsKept = expectation.texCoordsInSkinPixels && !skin && original.formatId == Format::Md2;
        if (expectation.texCoords && !a.texCoords.empty() && (!expectation.texCoordsInSkinPixels || skin || pixelsKept)) {
            if (b.texCoords.size() != corners) return ::testing::AssertionFailure() << "face " << w << " lost its texture coordinates";
            float tolerance[2] = {1e-6f, 1e-6f};
            if (expectation.texCoordsInSkinPixels && skin) {
                tolerance[0] = 0.5f / static_cast<float>(skin->width) + 1e-6f;
                tolerance[1] = 0.5f / static_cast<float>(skin->height) + 1e-6f;
            }
            for (size_t c = 0; c < corners; ++c) {
                for (int axis = 0; axis < 2; ++axis) {
                    if (!Near(a.texCoords[c][axis], b.texCoords[c][axis], tolerance[axis]))
                        return ::testing::AssertionFailure() << "face " << w << " corner " << c << " texture coordinate " << axis << ": "
                                                             << b.texCoords[c][axis] << ", want " << a.texCoords[c][axis];
                }
            }
        }
        if (expectation.normals && !a.normals.empty() && !b.normals.empty()) {
            for (size_t c = 0; c < corners; ++c) {
                if (!NearColor(a.normals[c], b.normals[c], 1e-6f))
                    return ::testing::AssertionFailure() << "face " << w << " corner " << c << " normal differs";
            }
        }
        const LookFields& fields = expectation.looks;
        if ((fields.color && !NearColor(a.look.color, b.look.color, fields.colorTolerance)) ||
            (fields.diffuse && !NearColor(a.look.diffuse, b.look.diffuse, fields.colorTolerance)) ||
            (fields.specular && !NearColor(a.look.specular, b.look.specular, fields.colorTolerance)) ||
            (fields.transparency && !Near(a.look.transparency, b.look.transparency, fields.transparencyTolerance))) {
            return ::testing::AssertionFailure() << "face " << w << " looks different: colour " << b.look.color[0] << "," << b.look.color[1] << ","
                                                 << b.look.color[2] << " diffuse " << b.look.diffuse[0] << "," << b.look.diffuse[1] << ","
                                                 << b.look.diffuse[2] << " transparency " << b.look.transparency << ", want colour "
                                                 << a.look.color[0] << "," << a.look.color[1] << "," << a.look.color[2] << " diffuse "
                                                 << a.look.diffuse[0] << "," << a.look.diffuse[1] << "," << a.look.diffuse[2]
                                                 << " transparency " << a.look.transparency;
        }
        using Kind = WriterExpectation::Textures;
        if (expectation.textures == Kind::PerMaterial && a.texture) {
            if (!b.texture) return ::testing::AssertionFailure() << "face " << w << " lost its texture";
            if (auto same = SamePicture(*a.texture, *b.texture, expectation.texturePixelsExact); !same) return same << " (face " << w << ")";
        }
    }
    while (g < got.size() && got[g].positions[0].size() < 3) ++g;
    if (g != got.size()) return ::testing::AssertionFailure() << got.size() - g << " faces more than written";

    using Kind = WriterExpectation::Textures;
    if (expectation.textures == Kind::Skin) {
        if (skin) {
            if (back.textures.empty()) return ::testing::AssertionFailure() << "the skin did not come back";
            if (auto same = SamePicture(*skin, back.textures[0], expectation.texturePixelsExact); !same) return same << " (skin)";
        }
    }
    if (expectation.textures == Kind::List) {
        std::vector<const Texture*> pictures;
        for (const Texture& texture : original.textures) {
            if (texture.HasPixels()) pictures.push_back(&texture);
        }
        if (back.textures.size() != pictures.size())
            return ::testing::AssertionFailure() << back.textures.size() << " textures back, want " << pictures.size();
        for (size_t t = 0; t < pictures.size(); ++t) {
            if (auto same = SamePicture(*pictures[t], back.textures[t], expectation.texturePixelsExact); !same) return same << " (texture " << t << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

inline bool HaveAssimp()
{
    static const bool have = std::system("assimp version >/dev/null 2>&1") == 0;
    return have;
}

inline ::testing::AssertionResult AssimpReads(const std::string& path, bool faces)
{
    std::string output;
    const int status = RunCommand("assimp info '" + path + "' 2>&1", &output);
    if (status != 0 || output.find("ERROR") != std::string::npos)
        return ::testing::AssertionFailure() << "assimp: " << output.substr(output.size() > 600 ? output.size() - 600 : 0);
    const size_t at = output.find("Faces:");
    if (faces && (at == std::string::npos || std::atoll(output.c_str() + at + 6) <= 0))
        return ::testing::AssertionFailure() << "assimp finds no faces: " << output.substr(0, 600);
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult RoundTrip(const Model& model, const WriterExpectation& expectation,
                                            const std::filesystem::path& dir, const std::string& stem)
{
    const std::string path = (dir / (stem + expectation.extension)).string();
    SaveContext ctx;
    if (!expectation.write(model, path, ctx)) {
        if (ctx.error.find("exceeds the format's limit of ") != std::string::npos) return ::testing::AssertionSuccess() << "refused";
        return ::testing::AssertionFailure() << expectation.name << " writer: " << ctx.error;
    }
    if (!ctx.error.empty()) return ::testing::AssertionFailure() << "success with a message: " << ctx.error;
    if (expectation.readsAs < 0) return ::testing::AssertionSuccess();
    LoadOutcome back = Load(path);
    if (!back.model) return ::testing::AssertionFailure() << "our reader refuses " << path << " with " << back.code;
    if (back.model->formatId != expectation.readsAs)
        return ::testing::AssertionFailure() << "read back as format " << back.model->formatId;
    return SameAsWritten(model, *back.model, expectation);
}

}  // namespace solvane::test
