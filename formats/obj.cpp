#include "formats/obj.h"

#include <algorithm>
#include <cstdint>
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

// Whether the whole word is a number (an option's argument rather than the file name).
bool IsNumberWord(std::string_view word)
{
    const char* p = word.data();
    const char* end = p + word.size();
    float value = 0;
    return !word.empty() && ScanFloat(p, end, value) && p == end;
}

// The options a texture map statement may give before its file name, with their argument
// counts: the first `least` words are taken whatever they are, further ones up to `most` only
// while they are numbers. An unknown option takes the numbers that follow it.
struct MapOption {
    std::string_view name;
    int least;
    int most;
};
constexpr MapOption kMapOptions[] = {
    {"-blendu", 1, 1}, {"-blendv", 1, 1}, {"-bm", 1, 1},     {"-boost", 1, 1}, {"-cc", 1, 1},
    {"-clamp", 1, 1},  {"-imfchan", 1, 1}, {"-texres", 1, 1}, {"-type", 1, 1},  {"-mm", 2, 2},
    {"-o", 1, 3},      {"-s", 1, 3},      {"-t", 1, 3},
};

// The file name of a "map_Kd [options] name" statement (text after the keyword): the options
// with their arguments are skipped and the rest of the line, blanks inside kept, is the name.
std::string_view MapFileName(const char* p, const char* end)
{
    while (true) {
        SkipScanBlanks(p, end);
        if (p >= end || *p != '-') break;
        const std::string_view option = ScanWord(p, end);
        MapOption arguments{option, 0, INT32_MAX};
        for (const MapOption& known : kMapOptions) {
            if (known.name == option) arguments = known;
        }
        for (int taken = 0; taken < arguments.most; ++taken) {
            const char* next = p;
            const std::string_view word = ScanWord(next, end);
            if (word.empty() || (taken >= arguments.least && !IsNumberWord(word))) break;
            p = next;
        }
    }
    while (end > p && IsScanBlank(end[-1])) --end;
    return std::string_view(p, static_cast<size_t>(end - p));
}

bool IsMapKd(std::string_view line)
{
    return line.size() > 6 && StartsWithNoCase(line, "map_Kd") && (line[6] == ' ' || line[6] == '\t');
}

// One texture per distinct file name that the materials give, in the order of first use.
void AttachMaterialTextures(Model& model, const std::vector<std::string>& mapNames)
{
    for (size_t m = 0; m < mapNames.size(); ++m) {
        if (mapNames[m].empty()) continue;
        int32_t index = -1;
        for (size_t t = 0; t < model.textures.size(); ++t) {
            if (model.textures[t].name == mapNames[m]) index = static_cast<int32_t>(t);
        }
        if (index < 0) {
            Texture texture;
            texture.name = mapNames[m];
            texture.mappingMode = 0;  // the file's own texture coordinates
            index = static_cast<int32_t>(model.textures.size());
            model.textures.push_back(std::move(texture));
        }
        model.materials[m].textureIndex = index;
    }
    model.hasTextures = model.textures.empty() ? 0 : 1;
}

// Reads <model>.mtl (the OBJ's own name with ".mtl") into the model's material table and flags.
void ReadMaterialLibrary(const char* objPath, Model& model, LoadContext& ctx)
{
    std::string path(objPath);
    path = (path.size() >= 4 ? path.substr(0, path.size() - 4) : path) + ".mtl";
    model.materials.clear();
    model.textures.clear();
    model.hasTextures = 0;

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
    std::vector<std::string> mapNames(static_cast<size_t>(count));

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
        if (current >= 0 && IsMapKd(line)) {
            mapNames[static_cast<size_t>(current)] = std::string(MapFileName(line.data() + 7, end));
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
    AttachMaterialTextures(model, mapNames);
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
    // A library with texture maps: the corners' own texture-coordinate numbers ("v/vt") place
    // the pictures. Without one, texture coordinate i belongs to vertex i.
    const bool ownTexCoordIndices = keepTexCoordIndices && model->hasTextures;
    mesh.ReserveFaces(counts.faces, counts.corners, ownTexCoordIndices);
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
    std::vector<uint32_t> texCorners;
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
            texCorners.clear();
            const char* p = FaceTokensStart(line);
            while (static_cast<int>(corners.size()) < kMaxFaceCorners) {
                SkipScanBlanks(p, end);
                if (p >= end) break;
                int64_t number = 0;  // a token without a leading number gives vertex 1
                ScanInteger(p, end, number);
                corners.push_back(CornerIndex(number, vertex, counts.vertices));
                if (ownTexCoordIndices) {
                    // "v/vt" and "v/vt/vn" name the coordinate; "v" and "v//vn" use the vertex's.
                    int64_t texNumber = 0;
                    const char* q = p + 1;
                    if (p < end && *p == '/' && q < end && (*q == '-' || *q == '+' || (*q >= '0' && *q <= '9')) &&
                        ScanInteger(q, end, texNumber)) {
                        texCorners.push_back(CornerIndex(texNumber, texCoord, counts.texCoords));
                    } else {
                        texCorners.push_back(std::min(corners.back(), static_cast<uint32_t>(counts.texCoords - 1)));
                    }
                }
                while (p < end && !IsScanBlank(*p)) ++p;
            }
            // Without any vertex no corner can be kept.
            if (counts.vertices == 0) {
                corners.clear();
                texCorners.clear();
            }
            mesh.AppendFace(corners.data(), static_cast<int>(corners.size()),
                            texCorners.empty() ? nullptr : texCorners.data());
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
    if (keepTexCoordIndices && !ownTexCoordIndices) {
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
