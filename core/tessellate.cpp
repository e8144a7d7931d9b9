// Tessellation of polygons with holes through the GLU tessellator (odd winding rule, default
// properties). An outline face followed by its hole faces, or any face of more than 4 corners,
// becomes triangles; quads and triangles are copied. The tessellator needs no GL context.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core/mesh_ops.h"

namespace solvane {
namespace {

// Polygons up to this many corners look texture coordinates up by a scan instead of a map.
constexpr size_t kLinearLookupCorners = 32;

// One corner as fed to the tessellator: its vertex and texture-coordinate index.
struct FedCorner {
    uint32_t vertex;
    uint32_t texCoord;
};

// Exact-position key (-0 folded into +0, as == treats them alike).
struct PositionKey {
    uint32_t bits[3];
    bool operator==(const PositionKey& other) const
    {
        return bits[0] == other.bits[0] && bits[1] == other.bits[1] && bits[2] == other.bits[2];
    }
};

struct PositionKeyHash {
    size_t operator()(const PositionKey& key) const
    {
        uint64_t h = (static_cast<uint64_t>(key.bits[0]) << 32 | key.bits[1]) * 0x9e3779b97f4a7c15ULL;
        h ^= (h >> 29) + key.bits[2] * 0xc2b2ae3d27d4eb4fULL;
        return static_cast<size_t>(h ^ (h >> 32));
    }
};

PositionKey KeyOf(const float* v)
{
    PositionKey key;
    for (int axis = 0; axis < 3; ++axis) {
        const float value = v[axis] + 0.0f;
        std::memcpy(&key.bits[axis], &value, sizeof(uint32_t));
    }
    return key;
}

// The output being built for one sub-mesh, plus the state of the tessellator callbacks.
struct TessellationRun {
    const SubMesh* mesh = nullptr;
    bool keepTexCoords = false;
    bool keepMaterials = false;

    std::vector<uint32_t> offsets;
    std::vector<uint32_t> indices;
    std::vector<uint32_t> texIndices;
    std::vector<int32_t> materials;

    // First vertex of each distinct position, built on the first tessellated polygon.
    std::unordered_map<PositionKey, uint32_t, PositionKeyHash> firstAt;
    bool firstAtBuilt = false;

    // Polygon being tessellated; for a long one, the first texture coordinate of each vertex.
    const std::vector<FedCorner>* fed = nullptr;
    std::unordered_map<uint32_t, uint32_t> texCoordOf;
    size_t outlineCorners = 0;
    int32_t material = -1;
    GLenum primitive = 0;
    bool supported = true;
    uint32_t primitiveVertices = 0;
    FedCorner first{}, previous1{}, previous2{};  // fan centre / last two corners
    size_t polygonFaces = 0;
    bool unsupportedSeen = false;

    void BuildFirstAt()
    {
        if (firstAtBuilt) return;
        firstAtBuilt = true;
        const int32_t n = mesh->VertexCount();
        firstAt.reserve(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) {
            const float* v = &mesh->vertices[3 * static_cast<size_t>(i)];
            firstAt.try_emplace(KeyOf(v), static_cast<uint32_t>(i));
        }
    }

    void AddFace(const uint32_t* corners, const uint32_t* tex, int count, int32_t faceMaterial)
    {
        if (offsets.empty()) offsets.push_back(0);
        indices.insert(indices.end(), corners, corners + count);
        if (keepTexCoords) texIndices.insert(texIndices.end(), tex, tex + count);
        if (keepMaterials) materials.push_back(faceMaterial);
        offsets.push_back(static_cast<uint32_t>(indices.size()));
    }

    void AddTriangle(const FedCorner& a, const FedCorner& b, const FedCorner& c)
    {
        const uint32_t corners[3] = {a.vertex, b.vertex, c.vertex};
        const uint32_t tex[3] = {a.texCoord, b.texCoord, c.texCoord};
        AddFace(corners, tex, 3, material);
        ++polygonFaces;
    }

    // Maps a corner the tessellator returns back to the first vertex at its position; its
    // texture coordinate is the one the outline, or else the first hole, gives that vertex.
    FedCorner Resolve(const FedCorner& returned) const
    {
        FedCorner result = returned;
        const auto found = firstAt.find(KeyOf(&mesh->vertices[3 * static_cast<size_t>(returned.vertex)]));
        if (found == firstAt.end()) return result;
        result.vertex = found->second;
        if (!keepTexCoords) return result;
        if (!texCoordOf.empty()) {
            const auto recorded = texCoordOf.find(result.vertex);
            if (recorded != texCoordOf.end()) result.texCoord = recorded->second;
            return result;
        }
        for (const FedCorner& corner : *fed) {
            if (corner.vertex == result.vertex) {
                result.texCoord = corner.texCoord;
                break;
            }
        }
        return result;
    }

    void Vertex(const FedCorner& returned)
    {
        if (!supported) return;
        const FedCorner corner = Resolve(returned);
        ++primitiveVertices;
        if (primitiveVertices == 1) {
            first = corner;
        } else if (primitiveVertices == 2) {
            previous1 = corner;
        } else if (primitive == GL_TRIANGLES) {
            if (primitiveVertices % 3 == 1) {
                first = corner;
            } else if (primitiveVertices % 3 == 2) {
                previous1 = corner;
            } else {
                AddTriangle(first, previous1, corner);
            }
        } else if (primitiveVertices == 3) {
            AddTriangle(first, previous1, corner);
            previous2 = corner;
        } else if (primitive == GL_TRIANGLE_STRIP) {
            // Previous triangle's second and third corners, then the new one.
            AddTriangle(previous1, previous2, corner);
            previous1 = previous2;
            previous2 = corner;
        } else {
            // GL_TRIANGLE_FAN: centre, previous triangle's third corner, the new one.
            AddTriangle(first, previous2, corner);
            previous2 = corner;
        }
    }
};

void GLAPIENTRY OnBegin(GLenum type, void* data)
{
    auto* run = static_cast<TessellationRun*>(data);
    run->primitive = type;
    run->primitiveVertices = 0;
    run->supported = type == GL_TRIANGLES || type == GL_TRIANGLE_STRIP || type == GL_TRIANGLE_FAN;
    if (!run->supported) run->unsupportedSeen = true;
}

void GLAPIENTRY OnVertex(void* vertexData, void* data)
{
    static_cast<TessellationRun*>(data)->Vertex(*static_cast<const FedCorner*>(vertexData));
}

void GLAPIENTRY OnEnd(void* data)
{
    static_cast<TessellationRun*>(data)->primitiveVertices = 0;
}

// RAII owner of one GLU tessellator object.
struct Tessellator {
    GLUtesselator* object = gluNewTess();
    ~Tessellator()
    {
        if (object) gluDeleteTess(object);
    }
};

bool CornersUsable(const SubMesh& mesh, int32_t f)
{
    const uint32_t vertexCount = static_cast<uint32_t>(mesh.VertexCount());
    const uint32_t* face = mesh.FaceIndices(f);
    for (int k = 0, n = mesh.FaceCorners(f); k < n; ++k) {
        if (face[k] >= vertexCount) return false;
        const float* v = &mesh.vertices[3 * static_cast<size_t>(face[k])];
        // The tessellator's sweep cannot order NaN or infinite positions.
        if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) return false;
    }
    return true;
}

void AppendCorners(const SubMesh& mesh, int32_t f, std::vector<FedCorner>& fed)
{
    const uint32_t* face = mesh.FaceIndices(f);
    const uint32_t* tex = mesh.FaceTexCoordIndices(f);
    for (int k = 0, n = mesh.FaceCorners(f); k < n; ++k) fed.push_back({face[k], tex ? tex[k] : face[k]});
}

// Fan of the outline alone: used where the tessellator cannot run on a polygon or gives nothing
// for it (non-finite positions, a self-intersecting outline, which needs a combine callback).
void FanOutline(TessellationRun& run)
{
    const std::vector<FedCorner>& fed = *run.fed;
    for (size_t k = 1; k + 1 < run.outlineCorners; ++k) run.AddTriangle(fed[0], fed[k], fed[k + 1]);
}

void TessellatePolygon(TessellationRun& run, GLUtesselator* tess, const std::vector<double>& positions,
                       const std::vector<size_t>& contourEnds, bool usable)
{
    run.polygonFaces = 0;
    if (usable && tess) {
        run.BuildFirstAt();
        const SubMesh& mesh = *run.mesh;
        const std::vector<FedCorner>& fed = *run.fed;
        run.texCoordOf.clear();
        if (run.keepTexCoords && fed.size() > kLinearLookupCorners) {
            for (const FedCorner& corner : fed) run.texCoordOf.try_emplace(corner.vertex, corner.texCoord);
        }
        gluTessNormal(tess, 0, 0, 0);
        gluTessBeginPolygon(tess, &run);
        size_t begin = 0;
        for (size_t end : contourEnds) {
            gluTessBeginContour(tess);
            for (size_t k = begin; k < end; ++k) {
                const size_t v = fed[k].vertex;
                // Each vertex comes with its own normal as the projection normal; the
                // tessellator keeps the last one given. Without normals it computes one.
                if (!mesh.normals.empty()) {
                    const float* n = &mesh.normals[3 * v];
                    const bool finite = std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]);
                    gluTessNormal(tess, finite ? n[0] : 0.0, finite ? n[1] : 0.0, finite ? n[2] : 0.0);
                }
                gluTessVertex(tess, const_cast<double*>(&positions[3 * v]),
                              const_cast<FedCorner*>(&fed[k]));
            }
            gluTessEndContour(tess);
            begin = end;
        }
        gluTessEndPolygon(tess);
    }
    if (run.polygonFaces == 0) FanOutline(run);
}

void TessellateSubMesh(SubMesh& mesh, GLUtesselator* tess, bool& unsupportedSeen)
{
    const int32_t faceCount = mesh.FaceCount();
    TessellationRun run;
    run.mesh = &mesh;
    run.keepTexCoords = mesh.HasTexCoordIndices();
    run.keepMaterials = !mesh.faceMaterials.empty();
    run.offsets.reserve(static_cast<size_t>(faceCount) + 1);
    run.indices.reserve(mesh.faceIndices.size());
    if (run.keepTexCoords) run.texIndices.reserve(mesh.faceIndices.size());
    if (run.keepMaterials) run.materials.reserve(static_cast<size_t>(faceCount));

    // 1. Positions in double precision, as the tessellator takes them.
    std::vector<double> positions(mesh.vertices.begin(), mesh.vertices.end());

    std::vector<FedCorner> fed;
    std::vector<size_t> contourEnds;
    // 2. Each face in order: a polygon with its holes, a quad, or a triangle.
    for (int32_t f = 0; f < faceCount; ++f) {
        const int corners = mesh.FaceCorners(f);
        const bool holeFollows = f + 1 < faceCount && mesh.FaceContour(f + 1) == kContourHole;
        if (corners > 4 || holeFollows) {
            fed.clear();
            contourEnds.clear();
            AppendCorners(mesh, f, fed);
            contourEnds.push_back(fed.size());
            bool usable = CornersUsable(mesh, f);
            int32_t last = f;
            while (last + 1 < faceCount && mesh.FaceContour(last + 1) == kContourHole) {
                ++last;
                AppendCorners(mesh, last, fed);
                contourEnds.push_back(fed.size());
                usable = usable && CornersUsable(mesh, last);
            }
            run.fed = &fed;
            run.outlineCorners = static_cast<size_t>(corners);
            run.material = mesh.FaceMaterial(f);
            TessellatePolygon(run, tess, positions, contourEnds, usable);
            f = last;  // the holes are consumed
        } else if (corners >= 3) {
            run.AddFace(mesh.FaceIndices(f), mesh.FaceTexCoordIndices(f), corners, mesh.FaceMaterial(f));
        }
        // Faces of 0 to 2 corners have no triangle to give and are dropped.
    }
    unsupportedSeen = unsupportedSeen || run.unsupportedSeen;

    // 5. The output replaces the per-face arrays; every face is an outline now.
    const size_t outputFaces = run.offsets.empty() ? 0 : run.offsets.size() - 1;
    mesh.faceOffsets = std::move(run.offsets);
    mesh.faceIndices = std::move(run.indices);
    mesh.faceTexCoordIndices = std::move(run.texIndices);
    mesh.faceMaterials = std::move(run.materials);
    mesh.faceContours.assign(outputFaces, kContourOutline);
}

}  // namespace

void TessellateModel(Model& model, std::vector<std::string>* errors)
{
    Tessellator tessellator;
    if (tessellator.object) {
        gluTessCallback(tessellator.object, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(OnBegin));
        gluTessCallback(tessellator.object, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(OnVertex));
        gluTessCallback(tessellator.object, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(OnEnd));
    }
    bool unsupportedSeen = false;
    for (SubMesh& mesh : model.subMeshes) TessellateSubMesh(mesh, tessellator.object, unsupportedSeen);
    // One error box for the run, however many primitives it skipped.
    if (unsupportedSeen && errors) errors->push_back(kTessellatorPrimitiveError);
}

}  // namespace solvane
