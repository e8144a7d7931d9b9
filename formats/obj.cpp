#include "formats/obj.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/reader_input.h"
#include "core/text_blocks.h"
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

struct ObjCounts {
    int64_t vertices = 0;
    int64_t normals = 0;
    int64_t texCoords = 0;
    int64_t faces = 0;
    int64_t corners = 0;
    bool namesLibrary = false;  // an mtllib line was met

    bool operator==(const ObjCounts&) const = default;
    void Add(const ObjCounts& other)
    {
        vertices += other.vertices;
        normals += other.normals;
        texCoords += other.texCoords;
        faces += other.faces;
        corners += other.corners;
        namesLibrary = namesLibrary || other.namesLibrary;
    }
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

// The lines of the whole file through the input layer, for the passes read by one thread.
class InputLines {
public:
    explicit InputLines(ReaderInput& in) : in_(in) {}
    bool Next(std::string_view& line) { return in_.ReadTextLine(line) >= 0; }

private:
    ReaderInput& in_;
};

// Pass 1: counts every kind of line, and the corners of the faces.
template <typename Lines>
void CountLines(Lines& lines, ObjCounts& counts)
{
    std::string_view line;
    while (lines.Next(line)) {
        switch (Classify(line)) {
        case LineKind::Vertex: ++counts.vertices; break;
        case LineKind::Normal: ++counts.normals; break;
        case LineKind::TexCoord: ++counts.texCoords; break;
        case LineKind::Face:
            ++counts.faces;
            counts.corners += std::min(CountWords(FaceTokensStart(line), line.data() + line.size()),
                                       kMaxFaceCorners);
            break;
        case LineKind::MaterialLibrary: counts.namesLibrary = true; break;
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

// The arrays pass 2 fills, allocated exactly from the counts of pass 1, and what every part of
// the file shares while filling them.
struct ObjTargets {
    SubMesh* mesh = nullptr;
    float* normals = nullptr;
    ObjCounts totals;
    bool hasMaterials = false;
    const std::unordered_map<std::string_view, int32_t>* materialByName = nullptr;
    // A library with texture maps: the corners' own texture-coordinate numbers ("v/vt") place the
    // pictures. Without one, texture coordinate i belongs to vertex i.
    bool ownTexCoordIndices = false;
};

// The material of faces that precede any matching usemtl of a block that does not start the
// file: known only once the blocks before it are done.
constexpr int32_t kMaterialOfBlockBefore = INT32_MIN;

// Where one part of the file writes: the next slot of every array (numbered from the start of the
// file, so relative corner numbers resolve) and the end of the part's own slots.
struct ObjCursor {
    ObjCounts next;
    ObjCounts end;
    int32_t material = -1;
    int64_t facesBeforeMaterial = 0;  // leading faces written with kMaterialOfBlockBefore
    bool overflow = false;            // the part held more than pass 1 counted (the file changed)

    bool Filled() const
    {
        return !overflow && next.vertices == end.vertices && next.normals == end.normals &&
               next.texCoords == end.texCoords && next.faces == end.faces && next.corners == end.corners;
    }
};

// Pass 2 over one part of the file.
template <typename Lines>
void FillLines(Lines& lines, const ObjTargets& targets, ObjCursor& at)
{
    SubMesh& mesh = *targets.mesh;
    const ObjCounts& totals = targets.totals;
    const bool keepTexCoordIndices = totals.texCoords > 0;
    const uint32_t lastTexCoord = static_cast<uint32_t>(std::max<int64_t>(totals.texCoords - 1, 0));
    std::vector<uint32_t> corners;
    std::vector<uint32_t> texCorners;
    std::string_view line;
    while (lines.Next(line)) {
        const char* end = line.data() + line.size();
        switch (Classify(line)) {
        case LineKind::Vertex: {
            if (at.next.vertices >= at.end.vertices) {
                at.overflow = true;
                break;
            }
            const char* p = line.data() + 2;
            ScanFloats(p, end, &mesh.vertices[static_cast<size_t>(at.next.vertices++) * 3], 3);
            break;
        }
        case LineKind::Normal: {
            if (at.next.normals >= at.end.normals) {
                at.overflow = true;
                break;
            }
            const char* p = line.data() + 3;
            ScanFloats(p, end, &targets.normals[static_cast<size_t>(at.next.normals++) * 3], 3);
            break;
        }
        case LineKind::TexCoord: {
            if (at.next.texCoords >= at.end.texCoords) {
                at.overflow = true;
                break;
            }
            const char* p = line.data() + 3;
            ScanFloats(p, end, &mesh.texCoords[static_cast<size_t>(at.next.texCoords++) * 2], 2);
            break;
        }
        case LineKind::UseMaterial: {
            if (!targets.hasMaterials) break;
            const char* p = line.data() + 6;
            const auto found = targets.materialByName->find(ScanWord(p, end));
            if (found != targets.materialByName->end()) at.material = found->second;
            break;
        }
        case LineKind::Face: {
            corners.clear();
            texCorners.clear();
            const char* p = FaceTokensStart(line);
            while (static_cast<int>(corners.size()) < kMaxFaceCorners) {
                SkipScanBlanks(p, end);
                if (p >= end) break;
                int64_t number = 0;  // a token without a leading number gives vertex 1
                ScanInteger(p, end, number);
                corners.push_back(CornerIndex(number, at.next.vertices, totals.vertices));
                if (targets.ownTexCoordIndices) {
                    // "v/vt" and "v/vt/vn" name the coordinate; "v" and "v//vn" use the vertex's.
                    int64_t texNumber = 0;
                    const char* q = p + 1;
                    if (p < end && *p == '/' && q < end && (*q == '-' || *q == '+' || (*q >= '0' && *q <= '9')) &&
                        ScanInteger(q, end, texNumber)) {
                        texCorners.push_back(CornerIndex(texNumber, at.next.texCoords, totals.texCoords));
                    } else {
                        texCorners.push_back(std::min(corners.back(), lastTexCoord));
                    }
                }
                while (p < end && !IsScanBlank(*p)) ++p;
            }
            // Without any vertex no corner can be kept.
            if (totals.vertices == 0) {
                corners.clear();
                texCorners.clear();
            }
            const int64_t count = static_cast<int64_t>(corners.size());
            if (at.next.faces >= at.end.faces || at.next.corners + count > at.end.corners) {
                at.overflow = true;
                break;
            }
            const size_t first = static_cast<size_t>(at.next.corners);
            std::copy(corners.begin(), corners.end(), mesh.faceIndices.begin() + static_cast<std::ptrdiff_t>(first));
            if (targets.ownTexCoordIndices) {
                std::copy(texCorners.begin(), texCorners.end(),
                          mesh.faceTexCoordIndices.begin() + static_cast<std::ptrdiff_t>(first));
            } else if (keepTexCoordIndices) {
                // Texture coordinate i belongs to vertex i: the corner indices serve for both.
                for (size_t k = 0; k < corners.size(); ++k) {
                    mesh.faceTexCoordIndices[first + k] = std::min(corners[k], lastTexCoord);
                }
            }
            at.next.corners += count;
            const size_t face = static_cast<size_t>(at.next.faces++);
            mesh.faceOffsets[face + 1] = static_cast<uint32_t>(at.next.corners);
            if (targets.hasMaterials) {
                mesh.faceMaterials[face] = at.material;
                if (at.material == kMaterialOfBlockBefore) ++at.facesBeforeMaterial;
            }
            break;
        }
        default: break;
        }
    }
}

// Allocates exactly what pass 1 counted; per-face materials only with a material table. The arrays
// are filled with their first values on `threads` threads at once.
void AllocateArrays(SubMesh& mesh, std::vector<float>& normals, const ObjCounts& counts, bool hasMaterials,
                    int threads = 1)
{
    ForEachBlock(7, threads, [&](size_t array) {
        switch (array) {
        case 0: AssignLarge(mesh.vertices, static_cast<size_t>(counts.vertices) * 3, 0.0f); break;
        case 1: AssignLarge(normals, static_cast<size_t>(counts.normals) * 3, 0.0f); break;
        case 2: AssignLarge(mesh.texCoords, static_cast<size_t>(counts.texCoords) * 2, 0.0f); break;
        case 3: AssignLarge(mesh.faceOffsets, static_cast<size_t>(counts.faces) + 1, 0u); break;
        case 4: AssignLarge(mesh.faceIndices, static_cast<size_t>(counts.corners), 0u); break;
        case 5:
            if (counts.texCoords > 0) AssignLarge(mesh.faceTexCoordIndices, static_cast<size_t>(counts.corners), 0u);
            break;
        default:
            if (hasMaterials) AssignLarge(mesh.faceMaterials, static_cast<size_t>(counts.faces), -1);
            break;
        }
    });
}

std::unordered_map<std::string_view, int32_t> MaterialsByName(const Model& model)
{
    std::unordered_map<std::string_view, int32_t> byName;
    for (size_t i = 0; i < model.materials.size(); ++i) {
        byName[model.materials[i].name] = static_cast<int32_t>(i);  // the last one wins
    }
    return byName;
}

// After pass 2: normals kept when they pair up with the vertices, the per-face materials only
// with a material table, then bounds (extended vertex by vertex in file order) and the centre.
void FinishMesh(Model& model, std::vector<float>& normals, const ObjCounts& counts)
{
    SubMesh& mesh = model.subMeshes[0];
    if (counts.normals == counts.vertices && counts.normals > 0) mesh.normals = std::move(normals);

    BoundsBuilder bounds;
    // Centre: single-precision sums divided by the count.
    float sum[3] = {0, 0, 0};
    for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
        bounds.Extend(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]);
        sum[0] += mesh.vertices[i];
        sum[1] += mesh.vertices[i + 1];
        sum[2] += mesh.vertices[i + 2];
    }
    mesh.bounds = bounds.bounds;
    if (counts.vertices > 0) {
        const float n = static_cast<float>(counts.vertices);
        mesh.centroid = {sum[0] / n, sum[1] / n, sum[2] / n};
    }
}

// Both passes on several threads, each over whole blocks of lines; pass 2 writes every block's
// lines straight into the arrays at the offsets that the counts of the blocks before it give.
// Null when the file is not read this way (too small, not mappable, a line too long to split at,
// or the file changed between the passes): the caller then reads it with one thread.
std::unique_ptr<Model> ReadObjInBlocks(const char* path, int64_t size, LoadContext& ctx)
{
    const int threads = ParseThreads(ctx, size);
    if (threads < 2) return nullptr;
    TextFile file;
    if (!file.Open(path)) return nullptr;
    const std::vector<TextBlock> blocks = SplitAtLineEnds(file, 0, file.Size(), ctx.parallel.blockBytes);
    if (blocks.size() < 2) return nullptr;

    // Pass 1: counts per block.
    std::vector<ObjCounts> counts(blocks.size());
    std::vector<uint8_t> longLines(blocks.size(), 0);
    ForEachBlock(blocks.size(), threads, [&](size_t b) {
        const char* bytes = file.Read(blocks[b]);
        if (!bytes) {
            longLines[b] = 1;  // the file changed: one thread reads it
            return;
        }
        BlockLines lines(ctx, bytes, bytes + (blocks[b].end - blocks[b].begin), true);
        ObjCounts blockCounts;  // counted locally: neighbouring blocks' counts share cache lines
        CountLines(lines, blockCounts);
        counts[b] = blockCounts;
        longLines[b] = lines.MetLongLine();
    });
    if (std::find(longLines.begin(), longLines.end(), 1) != longLines.end()) return nullptr;

    ObjCounts totals;
    std::vector<ObjCursor> cursors(blocks.size());
    for (size_t b = 0; b < blocks.size(); ++b) {
        cursors[b].next = totals;
        totals.Add(counts[b]);
        cursors[b].end = totals;
        cursors[b].material = b == 0 ? -1 : kMaterialOfBlockBefore;
    }

    auto model = NewModel(1);
    // Every mtllib line names the same library (<model>.mtl), so one read is enough.
    if (totals.namesLibrary) ReadMaterialLibrary(path, *model, ctx);
    SubMesh& mesh = model->subMeshes[0];
    std::vector<float> normals;
    AllocateArrays(mesh, normals, totals, !model->materials.empty(), threads);
    const auto materialByName = MaterialsByName(*model);
    const ObjTargets targets{&mesh, normals.data(), totals, !model->materials.empty(), &materialByName,
                             totals.texCoords > 0 && model->hasTextures};

    // Pass 2: every block fills its own slots.
    ForEachBlock(blocks.size(), threads, [&](size_t b) {
        const char* bytes = file.Read(blocks[b]);
        if (!bytes) {
            cursors[b].overflow = true;  // the file changed: one thread reads it
            return;
        }
        BlockLines lines(ctx, bytes, bytes + (blocks[b].end - blocks[b].begin), true);
        ObjCursor cursor = cursors[b];
        FillLines(lines, targets, cursor);
        cursors[b] = cursor;
    });
    for (const ObjCursor& cursor : cursors) {
        if (!cursor.Filled()) return nullptr;
    }

    // The faces of each block before its first matching usemtl take the material in force at the
    // end of the blocks before it.
    int32_t material = -1;
    for (size_t b = 0; b < blocks.size() && targets.hasMaterials; ++b) {
        const ObjCursor& cursor = cursors[b];
        const int64_t firstFace = cursor.end.faces - counts[b].faces;
        std::fill_n(mesh.faceMaterials.begin() + static_cast<std::ptrdiff_t>(firstFace), cursor.facesBeforeMaterial,
                    material);
        if (cursor.material != kMaterialOfBlockBefore) material = cursor.material;
    }
    FinishMesh(*model, normals, totals);
    return model;
}

}  // namespace

std::unique_ptr<Model> ReadObjFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    if (auto model = ReadObjInBlocks(path, in.Size(), ctx)) return model;
    auto model = NewModel(1);

    // Pass 1: counting; the library is read when the file names one.
    ObjCounts counts;
    InputLines lines(in);
    CountLines(lines, counts);
    // Every mtllib line names the same library (<model>.mtl), so one read is enough.
    if (counts.namesLibrary) ReadMaterialLibrary(path, *model, ctx);

    SubMesh& mesh = model->subMeshes[0];
    std::vector<float> normals;
    AllocateArrays(mesh, normals, counts, !model->materials.empty());
    const auto materialByName = MaterialsByName(*model);
    const ObjTargets targets{&mesh, normals.data(), counts, !model->materials.empty(), &materialByName,
                             counts.texCoords > 0 && model->hasTextures};

    // Pass 2: filling.
    in.Rewind();
    ObjCursor at;
    at.end = counts;
    FillLines(lines, targets, at);
    // Faces counted in pass 1 that pass 2 did not see again (the file changed) stay empty.
    for (int64_t f = at.next.faces; f < counts.faces; ++f) {
        mesh.faceOffsets[static_cast<size_t>(f) + 1] = static_cast<uint32_t>(at.next.corners);
    }
    mesh.faceIndices.resize(static_cast<size_t>(at.next.corners));
    if (!mesh.faceTexCoordIndices.empty()) mesh.faceTexCoordIndices.resize(static_cast<size_t>(at.next.corners));

    FinishMesh(*model, normals, counts);
    return model;
}

}  // namespace solvane
