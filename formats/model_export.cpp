#include "formats/model_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "core/mesh_ops.h"
#include "core/settings.h"

namespace solvane {
namespace {

// Whether a sub-mesh has faces the target cannot hold as they are: holes the format cannot keep,
// or polygons of more than four corners where the format holds only triangles.
bool NeedsTessellation(const SubMesh& mesh, const ExportOptions& options)
{
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        if (!options.keepHoles && mesh.FaceContour(f) == kContourHole) return true;
        if (options.triangles && mesh.FaceCorners(f) > 4) return true;
    }
    return false;
}

uint64_t PairKey(uint32_t vertex, uint32_t texCoord)
{
    return (uint64_t{vertex} << 32) | texCoord;
}

// Builds the exported faces of one sub-mesh.
ExportMesh BuildExportMesh(const SubMesh& mesh, const ExportOptions& options)
{
    ExportMesh out;
    out.source = &mesh;
    const uint32_t vertexCount = static_cast<uint32_t>(mesh.VertexCount());
    const uint32_t texCoordCount = static_cast<uint32_t>(mesh.TexCoordCount());
    const bool withTexCoords = mesh.HasTexCoordIndices() && texCoordCount > 0;
    out.vertexSource.resize(vertexCount);
    for (uint32_t v = 0; v < vertexCount; ++v) out.vertexSource[v] = v;

    // Per-vertex coordinates: each vertex takes the first coordinate a face gives it; a later,
    // different one makes a new vertex after the source's own.
    std::vector<uint32_t> vertexTexCoord;
    std::unordered_map<uint64_t, uint32_t> splits;
    if (withTexCoords && options.texCoordPerVertex) {
        vertexTexCoord.assign(vertexCount, UINT32_MAX);
        // A vertex no face uses keeps its own coordinate when the sub-mesh has one per vertex.
        if (texCoordCount == vertexCount) {
            for (uint32_t v = 0; v < vertexCount; ++v) vertexTexCoord[v] = v;
        }
    } else if (withTexCoords) {
        out.texCoords = mesh.texCoords;
    }
    const auto sameCoordinate = [&mesh](uint32_t a, uint32_t b) {
        return a == b || (mesh.texCoords[2 * a] == mesh.texCoords[2 * b] &&
                          mesh.texCoords[2 * a + 1] == mesh.texCoords[2 * b + 1]);
    };
    const auto exportedVertex = [&](uint32_t vertex, uint32_t texCoord) -> uint32_t {
        if (!withTexCoords || !options.texCoordPerVertex) return vertex;
        uint32_t& own = vertexTexCoord[vertex];
        if (own == UINT32_MAX || sameCoordinate(own, texCoord)) {
            if (own == UINT32_MAX) own = texCoord;
            return vertex;
        }
        const auto [found, added] = splits.try_emplace(PairKey(vertex, texCoord), static_cast<uint32_t>(out.vertexSource.size()));
        if (added) {
            out.vertexSource.push_back(vertex);
            vertexTexCoord.push_back(texCoord);
        }
        return found->second;
    };

    out.faceOffsets.push_back(0);
    std::vector<uint32_t> corners, texCorners;
    const auto emit = [&](const uint32_t* c, const uint32_t* t, int count, int32_t material, bool hole) {
        for (int k = 0; k < count; ++k) {
            out.faceIndices.push_back(exportedVertex(c[k], t ? t[k] : 0));
            if (withTexCoords && !options.texCoordPerVertex) out.faceTexCoordIndices.push_back(t[k]);
        }
        out.faceOffsets.push_back(static_cast<uint32_t>(out.faceIndices.size()));
        out.faceMaterials.push_back(material);
        out.faceIsHole.push_back(hole);
    };
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const int count = mesh.FaceCorners(f);
        if (count < 3) continue;
        corners.assign(mesh.FaceIndices(f), mesh.FaceIndices(f) + count);
        const uint32_t* sourceTex = mesh.FaceTexCoordIndices(f);
        if (withTexCoords) texCorners.assign(sourceTex, sourceTex + count);
        if (options.reverseWinding) {
            std::reverse(corners.begin(), corners.end());
            std::reverse(texCorners.begin(), texCorners.end());
        }
        const int32_t material = mesh.FaceMaterial(f);
        const bool hole = mesh.FaceContour(f) == kContourHole;
        const uint32_t* tex = withTexCoords ? texCorners.data() : nullptr;
        if (!options.triangles) {
            emit(corners.data(), tex, count, material, hole);
            continue;
        }
        // A fan from the first corner (tessellation has left only triangles and quads).
        for (int k = 1; k + 1 < count; ++k) {
            const uint32_t c[3] = {corners[0], corners[k], corners[k + 1]};
            uint32_t t[3] = {0, 0, 0};
            if (tex) {
                t[0] = tex[0];
                t[1] = tex[k];
                t[2] = tex[k + 1];
            }
            emit(c, tex ? t : nullptr, 3, material, false);
        }
    }

    if (withTexCoords && options.texCoordPerVertex) {
        out.texCoords.assign(out.vertexSource.size() * 2, 0.0f);
        for (size_t k = 0; k < out.vertexSource.size(); ++k) {
            const uint32_t t = vertexTexCoord[k];
            if (t == UINT32_MAX) continue;
            out.texCoords[2 * k] = mesh.texCoords[2 * size_t{t}];
            out.texCoords[2 * k + 1] = mesh.texCoords[2 * size_t{t} + 1];
        }
    }
    return out;
}

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string BaseName(const std::string& name)
{
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

bool CannotWrite(SaveContext& ctx, const std::string& path, const char* reason)
{
    std::string message = "Cannot write ";
    message += path;
    message += ": ";
    message += reason;
    return ctx.Fail(std::move(message));
}

bool ExceedsFormatLimit(SaveContext& ctx, int64_t limit, const char* what)
{
    std::string message = "The model exceeds the format's limit of ";
    message += std::to_string(limit);
    message += ' ';
    message += what;
    message += '.';
    return ctx.Fail(std::move(message));
}

bool ReversesWinding(const Model& model, FormatId target)
{
    return NormalsNeedInversion(model.formatId) != NormalsNeedInversion(target);
}

const float* ExportMesh::Position(uint32_t k, int32_t frame) const
{
    const uint32_t v = vertexSource[k];
    if (frame <= 0 || frame > static_cast<int32_t>(source->frames.size())) return &source->vertices[3 * size_t{v}];
    return &source->frames[static_cast<size_t>(frame - 1)].vertices[3 * size_t{v}];
}

const float* ExportMesh::Normal(uint32_t k) const
{
    return &source->normals[3 * size_t{vertexSource[k]}];
}

ExportModel PrepareExport(const Model& model, const ExportOptions& options)
{
    ExportModel result;
    // Tessellated copies first, so the pointers into them stay put.
    std::vector<int32_t> preparedIndex(model.subMeshes.size(), -1);
    Model scratch;
    for (size_t i = 0; i < model.subMeshes.size(); ++i) {
        if (!NeedsTessellation(model.subMeshes[i], options)) continue;
        preparedIndex[i] = static_cast<int32_t>(scratch.subMeshes.size());
        scratch.subMeshes.push_back(model.subMeshes[i]);
    }
    if (!scratch.subMeshes.empty()) {
        scratch.formatId = model.formatId;
        TessellateModel(scratch, nullptr);
        result.prepared = std::move(scratch.subMeshes);
    }
    result.meshes.reserve(model.subMeshes.size());
    for (size_t i = 0; i < model.subMeshes.size(); ++i) {
        const SubMesh& mesh = preparedIndex[i] < 0 ? model.subMeshes[i] : result.prepared[static_cast<size_t>(preparedIndex[i])];
        result.meshes.push_back(BuildExportMesh(mesh, options));
    }
    return result;
}

std::vector<ExportMesh> SplitExportMesh(const ExportMesh& mesh, int64_t maxVertices, int64_t maxFaces, bool compact)
{
    if (!compact && mesh.VertexCount() <= maxVertices && mesh.FaceCount() <= maxFaces) return {mesh};
    std::vector<ExportMesh> pieces;
    // Vertices without faces (a point cloud) go in runs of maxVertices.
    if (mesh.FaceCount() == 0) {
        for (int64_t first = 0; first < mesh.VertexCount(); first += maxVertices) {
            ExportMesh run;
            run.source = mesh.source;
            run.faceOffsets.push_back(0);
            const int64_t last = std::min<int64_t>(first + maxVertices, mesh.VertexCount());
            run.vertexSource.assign(mesh.vertexSource.begin() + first, mesh.vertexSource.begin() + last);
            if (mesh.HasTexCoords() && mesh.faceTexCoordIndices.empty())
                run.texCoords.assign(mesh.texCoords.begin() + 2 * first, mesh.texCoords.begin() + 2 * last);
            pieces.push_back(std::move(run));
        }
        return pieces;
    }
    ExportMesh piece;
    std::unordered_map<uint32_t, uint32_t> local;  // vertex of the mesh -> vertex of the piece
    const auto start = [&] {
        piece = ExportMesh();
        piece.source = mesh.source;
        piece.faceOffsets.push_back(0);
        if (!mesh.HasTexCoords() || mesh.faceTexCoordIndices.empty()) piece.texCoords.clear();
        else piece.texCoords = mesh.texCoords;  // own indices: the coordinates stay shared
        local.clear();
    };
    start();
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const int count = mesh.FaceCorners(f);
        const uint32_t* corners = mesh.FaceIndices(f);
        int64_t fresh = 0;
        for (int k = 0; k < count; ++k) fresh += local.count(corners[k]) == 0 ? 1 : 0;
        if (piece.FaceCount() > 0 && (piece.VertexCount() + fresh > maxVertices || piece.FaceCount() + 1 > maxFaces)) {
            pieces.push_back(std::move(piece));
            start();
        }
        for (int k = 0; k < count; ++k) {
            const auto [found, added] = local.try_emplace(corners[k], static_cast<uint32_t>(piece.vertexSource.size()));
            if (added) {
                piece.vertexSource.push_back(mesh.vertexSource[corners[k]]);
                if (mesh.HasTexCoords() && mesh.faceTexCoordIndices.empty()) {
                    piece.texCoords.push_back(mesh.texCoords[2 * size_t{corners[k]}]);
                    piece.texCoords.push_back(mesh.texCoords[2 * size_t{corners[k]} + 1]);
                }
            }
            piece.faceIndices.push_back(found->second);
            if (const uint32_t* tex = mesh.FaceTexCoordIndices(f)) piece.faceTexCoordIndices.push_back(tex[k]);
        }
        piece.faceOffsets.push_back(static_cast<uint32_t>(piece.faceIndices.size()));
        piece.faceMaterials.push_back(mesh.faceMaterials[static_cast<size_t>(f)]);
        piece.faceIsHole.push_back(mesh.faceIsHole[static_cast<size_t>(f)]);
    }
    if (piece.FaceCount() > 0) pieces.push_back(std::move(piece));
    return pieces;
}

std::vector<std::array<float, 3>> FrameNormals(const ExportMesh& mesh, int32_t frame, FormatId target)
{
    std::vector<std::array<float, 3>> normals(static_cast<size_t>(mesh.VertexCount()), {0, 0, 0});
    // Newell's face normal: twice the area long, out of the side the corners run anticlockwise.
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const int count = mesh.FaceCorners(f);
        const uint32_t* corners = mesh.FaceIndices(f);
        double n[3] = {0, 0, 0};
        for (int k = 0; k < count; ++k) {
            const float* a = mesh.Position(corners[k], frame);
            const float* b = mesh.Position(corners[(k + 1) % count], frame);
            n[0] += (double{a[1]} - b[1]) * (double{a[2]} + b[2]);
            n[1] += (double{a[2]} - b[2]) * (double{a[0]} + b[0]);
            n[2] += (double{a[0]} - b[0]) * (double{a[1]} + b[1]);
        }
        for (int k = 0; k < count; ++k) {
            for (int axis = 0; axis < 3; ++axis) normals[corners[k]][axis] += static_cast<float>(n[axis]);
        }
    }
    // The exported faces wind as the target format wants them: its front may be the other side.
    const float sign = NormalsNeedInversion(target) ? -1.0f : 1.0f;
    for (auto& normal : normals) {
        const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        if (!(length > 0) || !std::isfinite(length)) {
            normal = {0, 0, 1};
            continue;
        }
        for (float& value : normal) value = sign * value / length;
    }
    return normals;
}

MaterialLook LookOf(const Model& model, const Material& material)
{
    MaterialLook look;
    if (model.hasColor == 1) {
        look.hasColor = true;
        look.color = material.color;
        look.diffuse = material.color;
        if (model.hasTransparency == 1) look.transparency = material.transparency;
    }
    if (model.hasDiffuse == 1 &&
        material.diffuse[0] + material.diffuse[1] + material.diffuse[2] > look.diffuse[0] + look.diffuse[1] + look.diffuse[2]) {
        look.diffuse = material.diffuse;
        look.hasColor = true;
    }
    if (model.hasSpecular == 1) look.specular = material.specular;
    return look;
}

Material DefaultMaterial()
{
    Material material;
    material.name = "Default";
    material.color = material.diffuse = DefaultSettings().Foreground();
    material.specular = {1, 1, 1};
    return material;
}

int32_t ValidMaterial(const Model& model, int32_t material)
{
    return material >= 0 && material < model.MaterialCount() ? material : -1;
}

bool NeedsDefaultMaterial(const Model& model, const ExportModel& exported)
{
    if (model.materials.empty()) return false;
    for (const ExportMesh& mesh : exported.meshes) {
        for (int32_t material : mesh.faceMaterials) {
            if (ValidMaterial(model, material) < 0) return true;
        }
    }
    return false;
}

std::vector<std::string> UniqueNames(const std::vector<std::string>& names, const char* fallback, size_t maxLength,
                                     NameRule rule)
{
    std::vector<std::string> result;
    std::unordered_set<std::string> taken;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name;
        for (char c : names[i]) {
            const unsigned char u = static_cast<unsigned char>(c);
            bool keep = c != '\0';
            if (rule == NameRule::NoBlanks) keep = keep && !std::isspace(u);
            if (rule == NameRule::Identifier) keep = std::isalnum(u) || c == '_';
            name.push_back(keep ? c : '_');
        }
        if (name.empty()) {
            name = fallback;
            name += std::to_string(i + 1);
        }
        if (rule == NameRule::Identifier && std::isdigit(static_cast<unsigned char>(name[0])))
            name = std::string(1, '_').append(name);
        if (name.size() > maxLength) name.resize(maxLength);
        std::string unique = name;
        for (int n = 2; taken.count(Lower(unique)) != 0; ++n) {
            std::string suffix(1, '_');
            suffix += std::to_string(n);
            unique = name.substr(0, maxLength > suffix.size() ? std::min(name.size(), maxLength - suffix.size()) : 0);
            unique += suffix;
        }
        taken.insert(Lower(unique));
        result.push_back(unique);
    }
    return result;
}

std::string FileNameOf(const std::string& path)
{
    return BaseName(path);
}

std::string WithoutExtension(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

TextureFiles::TextureFiles(const Model& model, const std::string& modelPath, ImageFileType type, size_t maxNameLength)
    : model_(model), type_(type), used_(model.textures.size(), false)
{
    const size_t slash = modelPath.find_last_of("/\\");
    folder_ = slash == std::string::npos ? std::string() : modelPath.substr(0, slash + 1);
    const std::string modelStem = WithoutExtension(BaseName(modelPath));
    std::string extension(1, '.');
    extension += ImageWriterRowFor(type).extension;
    std::unordered_set<std::string> taken;
    for (size_t t = 0; t < model.textures.size(); ++t) {
        const Texture& texture = model.textures[t];
        if (!texture.HasPixels()) {
            names_.push_back(BaseName(texture.name));
            continue;
        }
        std::string stem;
        for (char c : WithoutExtension(BaseName(texture.name))) {
            const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
            stem.push_back(keep ? c : '_');
        }
        if (stem.empty()) {
            stem = "texture";
            stem += std::to_string(t + 1);
        }
        std::string base = modelStem;
        base += '_';
        base += stem;
        // Room for the extension and a number that makes the name unique.
        const size_t room = maxNameLength > extension.size() + 4 ? maxNameLength - extension.size() - 4 : 1;
        if (base.size() > room) base.resize(room);
        std::string name = base + extension;
        for (int n = 2; taken.count(Lower(name)) != 0; ++n) {
            name = base;
            name += '_';
            name += std::to_string(n);
            name += extension;
        }
        taken.insert(Lower(name));
        names_.push_back(name);
    }
}

const std::string& TextureFiles::Name(int32_t t) const
{
    static const std::string kNone;
    return t >= 0 && static_cast<size_t>(t) < names_.size() ? names_[static_cast<size_t>(t)] : kNone;
}

void TextureFiles::Use(int32_t t)
{
    if (t >= 0 && static_cast<size_t>(t) < used_.size()) used_[static_cast<size_t>(t)] = true;
}

int64_t TextureFiles::BytesEstimate() const
{
    int64_t bytes = 0;
    for (size_t t = 0; t < used_.size(); ++t) {
        const Texture& texture = model_.textures[t];
        if (used_[t] && texture.HasPixels()) bytes += TextureBytesEstimate(texture.width, texture.height);
    }
    return bytes;
}

bool TextureFiles::Write(SaveContext& ctx)
{
    for (size_t t = 0; t < used_.size(); ++t) {
        const Texture& texture = model_.textures[t];
        if (!used_[t] || !texture.HasPixels()) continue;
        const std::string path = folder_ + names_[t];
        if (!WriteTextureImageFile(texture, path, type_, ctx)) {
            Remove();
            return false;
        }
        written_.push_back(path);
    }
    return true;
}

void TextureFiles::Remove()
{
    for (const std::string& path : written_) std::remove(path.c_str());
    written_.clear();
}

bool TextureFiles::WriteAndFinish(WriterOutput& out, SaveContext& ctx)
{
    if (!Write(ctx)) {
        out.Abandon();
        return false;
    }
    if (!out.Finish()) {
        Remove();
        return false;
    }
    return true;
}

}  // namespace solvane
