#include "formats/obj.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/reader_input.h"
#include "core/text_scan.h"

namespace solvane {
namespace {

enum class LineKind { Other, Vertex, Normal, TexCoord, Face, MaterialLibrary, UseMaterial };

// Classifies a line by its keyword: the first character picks the candidates.
LineKind Classify(std::string_view line)
{
    if (line.size() < 2) return LineKind::Other;
    switch (line[0]) {
    case 'v':
    case 'V':
        if (line[1] == ' ') return LineKind::Vertex;
        if (line.size() > 2 && line[2] == ' ') {
            if (line[1] == 'n' || line[1] == 'N') return LineKind::Normal;
            if (line[1] == 't' || line[1] == 'T') return LineKind::TexCoord;
        }
        return LineKind::Other;
    case 'f':
    case 'F':
        if (line[1] == ' ' || line[1] == 'o' || line[1] == 'O') return LineKind::Face;
        return LineKind::Other;
    case 'm':
    case 'M':
        return KeywordBlank(line, "mtllib") ? LineKind::MaterialLibrary : LineKind::Other;
    case 'u':
    case 'U':
        return KeywordBlank(line, "usemtl") ? LineKind::UseMaterial : LineKind::Other;
    default:
        return LineKind::Other;
    }
}

// The corner tokens of a face line start after "f" or "fo".
const char* FaceTokensStart(std::string_view line)
{
    return line.data() + ((line[1] == 'o' || line[1] == 'O') ? 2 : 1);
}

int CountTokens(const char* p, const char* end)
{
    int count = 0;
    while (p < end) {
        while (p < end && IsScanBlank(*p)) ++p;
        if (p >= end) break;
        ++count;
        while (p < end && !IsScanBlank(*p)) ++p;
    }
    return count;
}

struct ObjCounts {
    int64_t vertices = 0;
    int64_t normals = 0;
    int64_t texCoords = 0;
    int64_t faces = 0;
    int64_t corners = 0;
    bool libraryRead = false;
};

// Reads <model>.mtl (the OBJ's own name with ".mtl") into the model's material table and flags.
void ReadMaterialLibrary(const char* objPath, Model& model, LoadContext& ctx)
{
    std::string path(objPath);
    path = (path.size() >= 4 ? path.substr(0, path.size() - 4) : path) + ".mtl";
    model.materials.clear();

    ReaderInput in(ctx);
    if (!in.Open(path)) return;
    std::string_view line;
    int64_t count = 0;
    while (in.ReadTextLine(line) >= 0) {
        if (KeywordBlank(line, "newmtl")) ++count;
    }
    if (count == 0) return;
    model.materials.resize(static_cast<size_t>(count));
    for (Material& material : model.materials) material.textureIndex = -1;

    in.Rewind();
    int64_t current = -1;
    while (in.ReadTextLine(line) >= 0) {
        const char* end = line.data() + line.size();
        if (KeywordBlank(line, "newmtl")) {
            if (++current >= count) break;
            Material& material = model.materials[static_cast<size_t>(current)];
            const char* p = line.data() + 6;
            material.name = std::string(ScanWord(p, end));
            material.color = material.diffuse = material.specular = {0, 0, 0};
            material.transparency = 0;
            model.hasColor = model.hasSpecular = model.hasDiffuse = 0;
            continue;
        }
        if (current < 0 || line.size() < 3 || line[2] != ' ') continue;
        Material& material = model.materials[static_cast<size_t>(current)];
        const char* p = line.data() + 2;
        if (StartsWithNoCase(line, "Ka")) {
            ScanFloats(p, end, material.color.data(), 3);
            model.hasColor = 1;
        } else if (StartsWithNoCase(line, "Kd")) {
            ScanFloats(p, end, material.diffuse.data(), 3);
            model.hasColor = model.hasDiffuse = 1;
        } else if (StartsWithNoCase(line, "Ks")) {
            ScanFloats(p, end, material.specular.data(), 3);
            model.hasColor = model.hasSpecular = 1;
        } else if (StartsWithNoCase(line, "Tf")) {
            ScanFloat(p, end, material.transparency);
            model.hasColor = model.hasTransparency = 1;
        }
    }
}

// Pass 1: counts every kind of line, and the corners of the faces; reads the library.
void CountPass(ReaderInput& in, const char* path, Model& model, ObjCounts& counts, LoadContext& ctx)
{
    std::string_view line;
    while (in.ReadTextLine(line) >= 0) {
        switch (Classify(line)) {
        case LineKind::Vertex: ++counts.vertices; break;
        case LineKind::Normal: ++counts.normals; break;
        case LineKind::TexCoord: ++counts.texCoords; break;
        case LineKind::Face:
            ++counts.faces;
            counts.corners += std::min(CountTokens(FaceTokensStart(line), line.data() + line.size()),
                                       kMaxFaceCorners);
            break;
        case LineKind::MaterialLibrary:
            // Every mtllib line names the same library (<model>.mtl), so one read is enough.
            if (!counts.libraryRead) {
                ReadMaterialLibrary(path, model, ctx);
                counts.libraryRead = true;
            }
            break;
        default: break;
        }
    }
}

// Brings a corner number into the vertex range: negative numbers count back from the vertices
// read so far, zero and numbers beyond the end are clamped.
uint32_t CornerIndex(int64_t number, int64_t verticesSoFar, int64_t vertexCount)
{
    if (vertexCount == 0) return 0;
    int64_t index = number > 0 ? number - 1 : (number < 0 ? verticesSoFar + number : 0);
    if (index < 0) index = 0;
    if (index >= vertexCount) index = vertexCount - 1;
    return static_cast<uint32_t>(index);
}

}  // namespace

std::unique_ptr<Model> ReadObjFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    auto model = NewModel(1);

    ObjCounts counts;
    CountPass(in, path, *model, counts, ctx);

    // Allocate exactly what pass 1 counted.
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices.assign(static_cast<size_t>(counts.vertices) * 3, 0.0f);
    std::vector<float> normals(static_cast<size_t>(counts.normals) * 3, 0.0f);
    mesh.texCoords.assign(static_cast<size_t>(counts.texCoords) * 2, 0.0f);
    const bool keepTexCoordIndices = counts.texCoords > 0;
    mesh.ReserveFaces(counts.faces, counts.corners, false);
    mesh.faceMaterials.reserve(static_cast<size_t>(counts.faces));

    std::unordered_map<std::string_view, int32_t> materialByName;
    for (size_t i = 0; i < model->materials.size(); ++i) {
        materialByName[model->materials[i].name] = static_cast<int32_t>(i);  // the last one wins
    }

    // Pass 2: fill.
    in.Rewind();
    BoundsBuilder bounds;
    int64_t vertex = 0, normal = 0, texCoord = 0;
    int32_t currentMaterial = -1;
    std::vector<uint32_t> corners;
    std::string_view line;
    while (in.ReadTextLine(line) >= 0) {
        const char* end = line.data() + line.size();
        switch (Classify(line)) {
        case LineKind::Vertex: {
            if (vertex >= counts.vertices) break;
            float* v = &mesh.vertices[static_cast<size_t>(vertex) * 3];
            const char* p = line.data() + 2;
            ScanFloats(p, end, v, 3);
            bounds.Extend(v[0], v[1], v[2]);
            ++vertex;
            break;
        }
        case LineKind::Normal: {
            if (normal >= counts.normals) break;
            const char* p = line.data() + 3;
            ScanFloats(p, end, &normals[static_cast<size_t>(normal) * 3], 3);
            ++normal;
            break;
        }
        case LineKind::TexCoord: {
            if (texCoord >= counts.texCoords) break;
            const char* p = line.data() + 3;
            ScanFloats(p, end, &mesh.texCoords[static_cast<size_t>(texCoord) * 2], 2);
            ++texCoord;
            break;
        }
        case LineKind::UseMaterial: {
            if (model->materials.empty()) break;
            const char* p = line.data() + 6;
            const auto found = materialByName.find(ScanWord(p, end));
            if (found != materialByName.end()) currentMaterial = found->second;
            break;
        }
        case LineKind::Face: {
            if (mesh.FaceCount() >= counts.faces) break;
            corners.clear();
            const char* p = FaceTokensStart(line);
            while (static_cast<int>(corners.size()) < kMaxFaceCorners) {
                SkipScanBlanks(p, end);
                if (p >= end) break;
                int64_t number = 0;  // a token without a leading number gives vertex 1
                ScanInteger(p, end, number);
                while (p < end && !IsScanBlank(*p)) ++p;
                corners.push_back(CornerIndex(number, vertex, counts.vertices));
            }
            // Without any vertex no corner can be kept.
            if (counts.vertices == 0) corners.clear();
            mesh.AppendFace(corners.data(), static_cast<int>(corners.size()));
            mesh.faceMaterials.push_back(currentMaterial);
            break;
        }
        default: break;
        }
    }

    // Faces counted in pass 1 that pass 2 did not see again (the file changed) stay empty.
    while (mesh.FaceCount() < counts.faces) {
        mesh.AppendFace(nullptr, 0);
        mesh.faceMaterials.push_back(-1);
    }

    // Texture coordinate i belongs to vertex i: the corner indices serve for both.
    if (keepTexCoordIndices) {
        mesh.faceTexCoordIndices = mesh.faceIndices;
        const uint32_t last = static_cast<uint32_t>(counts.texCoords - 1);
        for (uint32_t& index : mesh.faceTexCoordIndices) index = std::min(index, last);
    }
    // Normal i belongs to vertex i; a file whose normals do not pair up with its vertices keeps none.
    if (counts.normals == counts.vertices && counts.normals > 0) mesh.normals = std::move(normals);
    if (model->materials.empty()) mesh.faceMaterials.clear();

    mesh.bounds = bounds.bounds;
    // Centre: single-precision sums divided by the count.
    if (counts.vertices > 0) {
        float sum[3] = {0, 0, 0};
        for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
            sum[0] += mesh.vertices[i];
            sum[1] += mesh.vertices[i + 1];
            sum[2] += mesh.vertices[i + 2];
        }
        const float n = static_cast<float>(counts.vertices);
        mesh.centroid = {sum[0] / n, sum[1] / n, sum[2] / n};
    }
    return model;
}

}  // namespace solvane
