#include "viewer/model_lists.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/format_id.h"
#include "viewer/gl_objects.h"

namespace solvane {
namespace {

constexpr int64_t kProgressBlock = 4096;  // faces between progress reports

// The GL state one face sets up, decided by its material and texture: faces with equal keys draw
// with identical state and can share a primitive block.
struct FaceState {
    int32_t material = -1;
    int32_t texture = -1;
    bool operator==(const FaceState&) const = default;
};

void SetAmbientDiffuse(const float rgba[4])
{
    glColor4fv(rgba);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, rgba);
}

void ApplyTextureGeneration(const Texture& texture)
{
    switch (texture.mappingMode) {
    case 0:
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_GEN_R);
        break;
    case 3:
    case 4: {
        const GLint mode = texture.mappingMode == 3 ? GL_OBJECT_LINEAR : GL_EYE_LINEAR;
        const GLenum plane = texture.mappingMode == 3 ? GL_OBJECT_PLANE : GL_EYE_PLANE;
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, mode);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, mode);
        glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, mode);
        glTexGenfv(GL_S, plane, texture.planeS.data());
        glTexGenfv(GL_T, plane, texture.planeT.data());
        glTexGenfv(GL_R, plane, texture.planeR.data());
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glEnable(GL_TEXTURE_GEN_R);
        break;
    }
    default:
        break;  // reflection and bump maps leave generation as it is
    }
}

// The material part of a face's state (front and back faces).
void ApplyMaterial(Model& model, Material& material, const Settings& settings, DefaultedMaterials& defaulted)
{
    if (model.hasColor != 1) {
        material.color = settings.Foreground();
        defaulted.color = true;
    } else {
        float alpha = 1.0f;
        if (model.hasTransparency == 1) {
            alpha = 1.0f - material.transparency;
            if (alpha <= 0.0f) alpha = 1.0f;
        }
        const float rgba[4] = {material.color[0], material.color[1], material.color[2], alpha};
        SetAmbientDiffuse(rgba);
    }
    if (model.hasDiffuse != 1) {
        material.diffuse = material.color;
        defaulted.diffuse = true;
    } else if (material.diffuse[0] + material.diffuse[1] + material.diffuse[2] >
               material.color[0] + material.color[1] + material.color[2]) {
        const float rgba[4] = {material.diffuse[0], material.diffuse[1], material.diffuse[2], 1.0f};
        glColor4fv(rgba);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, rgba);
    }
    if (model.hasSpecular != 1) {
        material.specular = {1, 1, 1};
        defaulted.specular = true;
    } else {
        const float rgba[4] = {material.specular[0], material.specular[1], material.specular[2], 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, rgba);
    }
}

// Emits faces of the mesh in immediate mode (into the display list being compiled), grouping
// triangles and quads into shared blocks. Polygons of more corners get a block each.
class FaceEmitter {
public:
    FaceEmitter(const SubMesh& mesh, bool trianglesOnly, bool withTexCoords, bool withNormals)
        : mesh_(mesh), trianglesOnly_(trianglesOnly), withTexCoords_(withTexCoords), withNormals_(withNormals)
    {
    }

    void Face(int32_t f)
    {
        const int corners = mesh_.FaceCorners(f);
        if (corners < 3) return;  // no index list, or too few corners to draw anything
        GLenum kind;
        int count = corners;
        if (trianglesOnly_ || corners == 3) {
            kind = GL_TRIANGLES;
            count = 3;
        } else if (corners == 4) {
            kind = GL_QUADS;
        } else {
            kind = GL_POLYGON;
        }
        if (kind != open_ || kind == GL_POLYGON) {
            End();
            glBegin(kind);
            open_ = kind;
        }
        const uint32_t* indices = mesh_.FaceIndices(f);
        const uint32_t* texIndices = withTexCoords_ ? mesh_.FaceTexCoordIndices(f) : nullptr;
        const float* vertices = mesh_.vertices.data();
        for (int k = 0; k < count; ++k) {
            const uint32_t v = indices[k];
            if (texIndices) glTexCoord2fv(&mesh_.texCoords[static_cast<size_t>(texIndices[k]) * 2]);
            if (withNormals_) glNormal3fv(&mesh_.normals[static_cast<size_t>(v) * 3]);
            glVertex3fv(vertices + static_cast<size_t>(v) * 3);
        }
        if (kind == GL_POLYGON) End();
    }

    void End()
    {
        if (open_ != kNone) {
            glEnd();
            open_ = kNone;
        }
    }

    void SetTexCoords(bool on) { withTexCoords_ = on; }

private:
    static constexpr GLenum kNone = 0xFFFFFFFFu;
    const SubMesh& mesh_;
    bool trianglesOnly_;
    bool withTexCoords_;
    bool withNormals_;
    GLenum open_ = kNone;
};

void Report(int64_t& done, int64_t total, int64_t faces, const ListProgress& progress)
{
    done += faces;
    if (progress) progress(done, total);
}

// ---- Drawing from buffer objects -------------------------------------------------------------
//
// Where the context has buffer objects (OpenGL 1.5), a sub-mesh's vertices and normals (and, when
// textured faces need them, one texture coordinate per vertex) go into vertex buffers once; the
// faces are drawn by index straight from the sub-mesh's own corner indices, so the GL keeps no
// second copy of them (the drawing is rebuilt whenever the faces change). The state each run of
// faces sets up (colours, materials, texture binding and generation) is compiled into a small
// display list per run, exactly as the immediate-mode list holds it; a frame calls each run's
// list and draws the run's faces. The same GL state meets the same vertices, so the pictures are
// those of the lists; the per-frame work is one indexed draw per block of faces rather than three
// calls per corner, and the GL keeps 24 bytes per vertex instead of a copy of every corner.

// The buffer objects of one sub-mesh, shared by its shaded and its fill drawing.
struct MeshBuffers {
    GLuint vertices = 0;
    GLuint normals = 0;
    GLuint texCoords = 0;  // one coordinate per vertex; 0 when no drawn face needs them
    bool texCoordsChecked = false;  // texCoords was built or found impossible
    size_t cornerCount = 0;         // the sub-mesh's corners when it was uploaded
    ~MeshBuffers()
    {
        const GLuint names[3] = {vertices, normals, texCoords};
        for (GLuint name : names) {
            if (name) glDeleteBuffers(1, &name);
        }
    }
};

// One block of faces: consecutive triangles or quads as one indexed draw, or consecutive
// polygons as one multi-draw over the drawing's polygon lists.
struct DrawRange {
    GLenum mode = GL_TRIANGLES;
    uint32_t first = 0;  // triangles and quads: first corner; polygons: first polygon-list entry
    uint32_t count = 0;  // elements, or polygons
};

// One run of faces sharing their state.
struct DrawSegment {
    GLuint stateList = 0;
    bool texCoords = false;
    std::vector<DrawRange> ranges;
};

struct BufferDrawing {
    std::shared_ptr<MeshBuffers> buffers;
    std::vector<DrawSegment> segments;
    GLuint endList = 0;  // the state after the last run
    std::vector<GLsizei> polygonCounts;
    std::vector<uint32_t> polygonStarts;  // first corner of each polygon
    // The last corner drawn, and the last drawn with a texture coordinate (-1: none): the
    // immediate-mode list leaves their normal and coordinate current, and so does a frame here.
    int64_t lastCorner = -1;
    int64_t lastTexCoordCorner = -1;
    bool inUse = false;
};

// Handles of buffer drawings carry this bit; display-list names never reach it.
constexpr uint32_t kBufferDrawingBit = 0x80000000u;
MeshDrawingPath g_path = MeshDrawingPath::Automatic;
// Every buffer drawing of the process (GL objects live in the one shared GL namespace); a handle's
// low bits index it. Used only on the thread that owns the GL context.
std::vector<BufferDrawing>& Drawings()
{
    static std::vector<BufferDrawing> drawings;
    return drawings;
}

bool IsBufferHandle(uint32_t handle)
{
    return (handle & kBufferDrawingBit) != 0 && (handle & ~kBufferDrawingBit) < Drawings().size();
}

BufferDrawing& DrawingOf(uint32_t handle)
{
    return Drawings()[handle & ~kBufferDrawingBit];
}

uint32_t NewDrawing()
{
    auto& drawings = Drawings();
    for (size_t i = 0; i < drawings.size(); ++i) {
        if (!drawings[i].inUse) {
            drawings[i].inUse = true;
            return static_cast<uint32_t>(i) | kBufferDrawingBit;
        }
    }
    drawings.emplace_back();
    drawings.back().inUse = true;
    return static_cast<uint32_t>(drawings.size() - 1) | kBufferDrawingBit;
}

void ReleaseDrawing(uint32_t handle)
{
    if (!IsBufferHandle(handle)) {
        DeleteDisplayList(handle);
        return;
    }
    BufferDrawing& drawing = DrawingOf(handle);
    for (DrawSegment& segment : drawing.segments) DeleteDisplayList(segment.stateList);
    DeleteDisplayList(drawing.endList);
    drawing = BufferDrawing{};
}

// Whether the current context has buffer objects.
bool ContextHasBuffers()
{
    if (g_path == MeshDrawingPath::DisplayLists) return false;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
    return major > 1 || (major == 1 && minor >= 5);
}

GLuint UploadArray(GLenum target, const void* data, size_t bytes)
{
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(target, name);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    glBindBuffer(target, 0);
    return name;
}

// Whether a sub-mesh can be drawn from buffers: per-vertex normals, and faces whose corner indices
// can be drawn as they are (faces drawn by their first three corners must have three).
bool CanDrawFromBuffers(const SubMesh& mesh, bool trianglesOnly)
{
    if (mesh.vertices.empty() || mesh.FaceCount() == 0) return false;
    if (!mesh.normals.empty() && mesh.normals.size() != mesh.vertices.size()) return false;
    if (mesh.faceIndices.size() > static_cast<size_t>(INT32_MAX)) return false;
    // Every corner must name a vertex: the GL reads the arrays at the indices unchecked.
    const uint32_t vertexCount = static_cast<uint32_t>(mesh.VertexCount());
    for (uint32_t index : mesh.faceIndices) {
        if (index >= vertexCount) return false;
    }
    if (trianglesOnly) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            if (mesh.FaceCorners(f) > 3) return false;
        }
    }
    return true;
}

std::shared_ptr<MeshBuffers> UploadGeometry(const SubMesh& mesh)
{
    auto buffers = std::make_shared<MeshBuffers>();
    buffers->vertices = UploadArray(GL_ARRAY_BUFFER, mesh.vertices.data(), mesh.vertices.size() * sizeof(float));
    if (!mesh.normals.empty()) {
        buffers->normals = UploadArray(GL_ARRAY_BUFFER, mesh.normals.data(), mesh.normals.size() * sizeof(float));
    }
    buffers->cornerCount = mesh.faceIndices.size();
    return buffers;
}

// One texture coordinate per vertex, when every corner of a vertex names the same coordinate
// (as when texture coordinate i belongs to vertex i); false when they disagree.
bool UploadVertexTexCoords(const SubMesh& mesh, MeshBuffers& buffers)
{
    buffers.texCoordsChecked = true;
    const size_t vertexCount = mesh.vertices.size() / 3;
    if (!mesh.HasTexCoordIndices() || mesh.TexCoordCount() < 1) return false;
    if (mesh.texCoords.size() == vertexCount * 2 && mesh.faceTexCoordIndices == mesh.faceIndices) {
        buffers.texCoords = UploadArray(GL_ARRAY_BUFFER, mesh.texCoords.data(), mesh.texCoords.size() * sizeof(float));
        return true;
    }
    // Staging: freed once uploaded.
    std::vector<float> perVertex(vertexCount * 2, 0.0f);
    std::vector<uint32_t> named(vertexCount, UINT32_MAX);
    for (size_t c = 0; c < mesh.faceIndices.size(); ++c) {
        const uint32_t v = mesh.faceIndices[c], t = mesh.faceTexCoordIndices[c];
        if (named[v] == UINT32_MAX) {
            named[v] = t;
            perVertex[v * 2] = mesh.texCoords[static_cast<size_t>(t) * 2];
            perVertex[v * 2 + 1] = mesh.texCoords[static_cast<size_t>(t) * 2 + 1];
        } else if (named[v] != t && std::memcmp(&perVertex[v * 2], &mesh.texCoords[static_cast<size_t>(t) * 2],
                                                2 * sizeof(float)) != 0) {
            return false;
        }
    }
    buffers.texCoords = UploadArray(GL_ARRAY_BUFFER, perVertex.data(), perVertex.size() * sizeof(float));
    return true;
}

// Collects the faces of one drawing into ranges, joining neighbours of the same kind.
class RangeBuilder {
public:
    RangeBuilder(const SubMesh& mesh, bool trianglesOnly, BufferDrawing& drawing)
        : mesh_(mesh), trianglesOnly_(trianglesOnly), drawing_(drawing)
    {
    }

    void Face(std::vector<DrawRange>& ranges, int32_t f, bool texCoords)
    {
        const int corners = mesh_.FaceCorners(f);
        if (corners < 3) return;
        const GLenum mode = (trianglesOnly_ || corners == 3) ? GL_TRIANGLES : corners == 4 ? GL_QUADS : GL_POLYGON;
        const uint32_t first = mesh_.faceOffsets[static_cast<size_t>(f)];
        drawing_.lastCorner = first + (mode == GL_TRIANGLES ? 3 : corners) - 1;
        if (texCoords) drawing_.lastTexCoordCorner = drawing_.lastCorner;
        if (mode == GL_POLYGON) {
            if (ranges.empty() || ranges.back().mode != GL_POLYGON) {
                ranges.push_back({GL_POLYGON, static_cast<uint32_t>(drawing_.polygonCounts.size()), 0});
            }
            drawing_.polygonCounts.push_back(corners);
            drawing_.polygonStarts.push_back(first);
            ++ranges.back().count;
            return;
        }
        const uint32_t count = mode == GL_TRIANGLES ? 3 : 4;
        if (!ranges.empty() && ranges.back().mode == mode && ranges.back().first + ranges.back().count == first) {
            ranges.back().count += count;
        } else {
            ranges.push_back({mode, first, count});
        }
    }

private:
    const SubMesh& mesh_;
    bool trianglesOnly_;
    BufferDrawing& drawing_;
};

void DrawRanges(const BufferDrawing& drawing, const std::vector<DrawRange>& ranges, const SubMesh& mesh)
{
    const uint32_t* indices = mesh.faceIndices.data();
    const GLuint lastVertex = static_cast<GLuint>(mesh.VertexCount() - 1);
    std::vector<const void*> starts;
    for (const DrawRange& range : ranges) {
        if (range.mode == GL_POLYGON) {
            starts.resize(range.count);
            for (uint32_t i = 0; i < range.count; ++i) starts[i] = indices + drawing.polygonStarts[range.first + i];
            glMultiDrawElements(GL_POLYGON, &drawing.polygonCounts[range.first], GL_UNSIGNED_INT, starts.data(),
                                static_cast<GLsizei>(range.count));
        } else {
            glDrawRangeElements(range.mode, 0, lastVertex, static_cast<GLsizei>(range.count), GL_UNSIGNED_INT,
                                indices + range.first);
        }
    }
}

void DrawFromBuffers(const BufferDrawing& drawing, const SubMesh& mesh)
{
    const MeshBuffers& buffers = *drawing.buffers;
    // A sub-mesh whose faces changed since it was compiled is not drawn until it is compiled again.
    if (mesh.faceIndices.size() != buffers.cornerCount || mesh.vertices.empty()) return;
    glBindBuffer(GL_ARRAY_BUFFER, buffers.vertices);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (buffers.normals) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers.normals);
        glNormalPointer(GL_FLOAT, 0, nullptr);
        glEnableClientState(GL_NORMAL_ARRAY);
    }
    if (buffers.texCoords) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers.texCoords);
        glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    bool texCoordsOn = false;
    for (const DrawSegment& segment : drawing.segments) {
        glCallList(segment.stateList);
        const bool wanted = segment.texCoords && buffers.texCoords;
        if (wanted != texCoordsOn) {
            if (wanted) glEnableClientState(GL_TEXTURE_COORD_ARRAY); else glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            texCoordsOn = wanted;
        }
        DrawRanges(drawing, segment.ranges, mesh);
    }
    if (drawing.endList) glCallList(drawing.endList);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // What later drawing without arrays of its own meets, as after the list.
    if (buffers.normals && drawing.lastCorner >= 0) {
        glNormal3fv(&mesh.normals[static_cast<size_t>(mesh.faceIndices[static_cast<size_t>(drawing.lastCorner)]) * 3]);
    }
    if (drawing.lastTexCoordCorner >= 0 && mesh.HasTexCoordIndices()) {
        const uint32_t t = mesh.faceTexCoordIndices[static_cast<size_t>(drawing.lastTexCoordCorner)];
        glTexCoord2fv(&mesh.texCoords[static_cast<size_t>(t) * 2]);
    }
}

// Where the faces of the shaded drawing go: into the immediate-mode list, or into runs of ranges
// whose state goes into a list each. The state commands between RunStarts and FacesFollow are
// compiled into whichever list is open.
class ListFaces {
public:
    ListFaces(const SubMesh& mesh, bool trianglesOnly, bool withNormals, GLuint list)
        : emitter_(mesh, trianglesOnly, false, withNormals)
    {
        glNewList(list, GL_COMPILE);
    }
    void RunStarts() { emitter_.End(); }
    void FacesFollow(bool texCoords) { emitter_.SetTexCoords(texCoords); }
    void Face(int32_t f) { emitter_.Face(f); }
    void LastRunEnded() { emitter_.End(); }
    void Finish() { glEndList(); }

private:
    FaceEmitter emitter_;
};

class BufferFaces {
public:
    BufferFaces(const SubMesh& mesh, bool trianglesOnly, BufferDrawing& drawing)
        : ranges_(mesh, trianglesOnly, drawing), drawing_(drawing)
    {
    }
    void RunStarts()
    {
        drawing_.segments.push_back({NewDisplayList(), false, {}});
        glNewList(drawing_.segments.back().stateList, GL_COMPILE);
    }
    void FacesFollow(bool texCoords)
    {
        glEndList();
        drawing_.segments.back().texCoords = texCoords;
    }
    void Face(int32_t f) { ranges_.Face(drawing_.segments.back().ranges, f, drawing_.segments.back().texCoords); }
    void LastRunEnded()
    {
        drawing_.endList = NewDisplayList();
        glNewList(drawing_.endList, GL_COMPILE);
    }
    void Finish() { glEndList(); }

private:
    RangeBuilder ranges_;
    BufferDrawing& drawing_;
};

// The runs of faces that share material and texture, with the state each run sets up.
template <typename Faces>
void CompileSolidRuns(SubMesh& mesh, Model& model, const Settings& settings, bool texturingOn,
                      DefaultedMaterials& defaulted, int64_t& progressDone, int64_t progressTotal,
                      const ListProgress& progress, Faces& faces)
{
    const bool hasTextures = model.hasTextures && model.TextureCount() >= 1;
    const bool canTexCoord = mesh.TexCoordCount() >= 1 && mesh.HasTexCoordIndices();
    const std::array<float, 3> fg = settings.Foreground();
    const float foreground[4] = {fg[0], fg[1], fg[2], 1.0f};
    const float white[4] = {1, 1, 1, 1};

    int32_t texture = -1;
    int32_t lastBound = -1;
    bool bound = false;
    bool first = true;
    FaceState current;
    const int32_t faceCount = mesh.FaceCount();
    for (int32_t f = 0; f < faceCount; ++f) {
        if (f % kProgressBlock == 0) Report(progressDone, progressTotal, std::min<int64_t>(kProgressBlock, faceCount - f), progress);
        const int32_t m = mesh.FaceMaterial(f);
        if (m != -1 && hasTextures) texture = model.materials[static_cast<size_t>(m)].textureIndex;
        if (texture >= model.TextureCount()) texture = -1;
        const FaceState state{m, texture};
        if (first || !(state == current)) {
            faces.RunStarts();
            if (!first) {
                // Restore texturing after the previous run of faces.
                if (texturingOn) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
            }
            first = false;
            current = state;
            // Defaults of every face: the foreground colour, white specular highlights.
            glColor4fv(foreground);
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, foreground);
            glMaterialfv(GL_FRONT, GL_SPECULAR, white);
            glMaterialf(GL_FRONT, GL_SHININESS, 75.0f);
            if (texture >= 0 && texturingOn) {
                glEnable(GL_TEXTURE_2D);
                ApplyTextureGeneration(model.textures[static_cast<size_t>(texture)]);
            } else {
                glDisable(GL_TEXTURE_2D);
            }
            if (texture != -1 && texture != lastBound && hasTextures) {
                glBindTexture(GL_TEXTURE_2D, model.textures[static_cast<size_t>(texture)].textureHandle);
                lastBound = texture;
                bound = true;
            } else if (!bound && hasTextures) {
                glBindTexture(GL_TEXTURE_2D, model.textures[0].textureHandle);
                bound = true;
            }
            if (m >= 0 && m < model.MaterialCount()) {
                ApplyMaterial(model, model.materials[static_cast<size_t>(m)], settings, defaulted);
            }
            faces.FacesFollow(texture >= 0 && canTexCoord);
        }
        faces.Face(f);
    }
    faces.LastRunEnded();
    if (!first) {
        if (texturingOn) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
    }
    faces.Finish();
}

// Runs in which the state changes; many short runs make per-run draws slower than the list.
int64_t CountRuns(const SubMesh& mesh, const Model& model)
{
    const bool hasTextures = model.hasTextures && model.TextureCount() >= 1;
    int64_t runs = 0;
    int32_t texture = -1;
    FaceState current;
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const int32_t m = mesh.FaceMaterial(f);
        if (m != -1 && hasTextures) texture = model.materials[static_cast<size_t>(m)].textureIndex;
        if (texture >= model.TextureCount()) texture = -1;
        const FaceState state{m, texture};
        if (f == 0 || !(state == current)) ++runs;
        current = state;
    }
    return runs;
}

// Whether any run of the shaded drawing wants texture coordinates.
bool RunsWantTexCoords(const SubMesh& mesh, const Model& model)
{
    if (!(model.hasTextures && model.TextureCount() >= 1) || mesh.TexCoordCount() < 1 || !mesh.HasTexCoordIndices()) {
        return false;
    }
    int32_t texture = -1;
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const int32_t m = mesh.FaceMaterial(f);
        if (m != -1) texture = model.materials[static_cast<size_t>(m)].textureIndex;
        if (texture >= 0 && texture < model.TextureCount()) return true;
    }
    return false;
}

// The geometry buffers of the mesh's current drawings, when one of them has them.
std::shared_ptr<MeshBuffers> ExistingBuffers(const SubMesh& mesh)
{
    for (uint32_t handle : {mesh.solidList, mesh.wireList}) {
        if (IsBufferHandle(handle) && DrawingOf(handle).buffers) return DrawingOf(handle).buffers;
    }
    return nullptr;
}

// Buffers for a new drawing of the mesh: the existing ones when the geometry has them (the
// shaded drawing is rebuilt alone only when the geometry stayed as it was), else new ones; null
// when the mesh is drawn from lists.
std::shared_ptr<MeshBuffers> BuffersFor(const SubMesh& mesh, const Model& model, bool reuse)
{
    if (!ContextHasBuffers()) return nullptr;
    const bool trianglesOnly = DrawsFacesAsTriangles(model.formatId);
    if (!CanDrawFromBuffers(mesh, trianglesOnly)) return nullptr;
    // Runs of a few faces each draw faster from a list than as one draw call each.
    if (CountRuns(mesh, model) > std::max<int64_t>(64, mesh.FaceCount() / 16)) return nullptr;
    std::shared_ptr<MeshBuffers> buffers = reuse ? ExistingBuffers(mesh) : nullptr;
    if (!buffers) buffers = UploadGeometry(mesh);
    if (RunsWantTexCoords(mesh, model) && !buffers->texCoords) {
        if (buffers->texCoordsChecked || !UploadVertexTexCoords(mesh, *buffers)) return nullptr;
    }
    return buffers;
}

}  // namespace

int TextureQualitySize(int quality)
{
    switch (quality) {
    case 0: return 16;
    case 1: return 32;
    case 2: return 64;
    case 3: return 128;
    case 4: return 256;
    case 5: return 512;
    default: return 64;
    }
}

const char* TextureQualityName(int quality)
{
    static const char* const kNames[] = {"Minimal", "Very Low", "Low", "Normal", "High", "Very High"};
    return quality >= 0 && quality <= 5 ? kNames[quality] : nullptr;
}

bool DrawsFacesAsTriangles(int32_t formatId)
{
    return formatId == Format::Studio3ds || formatId == Format::Mdl || formatId == Format::Md2 ||
           formatId == Format::Md3;
}

void SetMeshDrawingPath(MeshDrawingPath path)
{
    g_path = path;
}

bool IsBufferDrawing(uint32_t handle)
{
    return IsBufferHandle(handle) && DrawingOf(handle).inUse;
}

int64_t DisplayListsOf(uint32_t handle)
{
    if ((handle & kBufferDrawingBit) == 0) return handle != 0;
    if (!IsBufferDrawing(handle)) return 0;
    const BufferDrawing& drawing = DrawingOf(handle);
    return static_cast<int64_t>(drawing.segments.size()) + (drawing.endList != 0);
}

bool MeshDrawingExists(uint32_t handle)
{
    if (handle == 0) return false;
    if (handle & kBufferDrawingBit) return IsBufferDrawing(handle);
    return glIsList(handle);
}

void BuildSolidList(SubMesh& mesh, Model& model, const Settings& settings, bool texturingOn,
                    DefaultedMaterials& defaulted, int64_t& progressDone, int64_t progressTotal,
                    const ListProgress& progress)
{
    const bool trianglesOnly = DrawsFacesAsTriangles(model.formatId);
    if (IsBufferDrawing(mesh.solidList)) {
        BufferFaces faces(mesh, trianglesOnly, DrawingOf(mesh.solidList));
        CompileSolidRuns(mesh, model, settings, texturingOn, defaulted, progressDone, progressTotal, progress, faces);
    } else {
        ListFaces faces(mesh, trianglesOnly, mesh.NormalCount() > 0, mesh.solidList);
        CompileSolidRuns(mesh, model, settings, texturingOn, defaulted, progressDone, progressTotal, progress, faces);
    }
}

void BuildFillList(SubMesh& mesh, const Model& model, const Settings& settings, int64_t& progressDone,
                   int64_t progressTotal, const ListProgress& progress)
{
    const std::array<float, 3> bg = settings.Background();
    const float background[4] = {bg[0], bg[1], bg[2], 1.0f};
    const bool trianglesOnly = DrawsFacesAsTriangles(model.formatId);
    const int32_t faceCount = mesh.FaceCount();
    if (IsBufferDrawing(mesh.wireList)) {
        BufferDrawing& drawing = DrawingOf(mesh.wireList);
        drawing.segments.push_back({NewDisplayList(), false, {}});
        glNewList(drawing.segments.back().stateList, GL_COMPILE);
        SetAmbientDiffuse(background);
        glEndList();
        RangeBuilder ranges(mesh, trianglesOnly, drawing);
        for (int32_t f = 0; f < faceCount; ++f) {
            if (f % kProgressBlock == 0) Report(progressDone, progressTotal, std::min<int64_t>(kProgressBlock, faceCount - f), progress);
            ranges.Face(drawing.segments.back().ranges, f, false);
        }
        return;
    }
    FaceEmitter emitter(mesh, trianglesOnly, false, mesh.NormalCount() > 0);
    glNewList(mesh.wireList, GL_COMPILE);
    SetAmbientDiffuse(background);
    for (int32_t f = 0; f < faceCount; ++f) {
        if (f % kProgressBlock == 0) Report(progressDone, progressTotal, std::min<int64_t>(kProgressBlock, faceCount - f), progress);
        emitter.Face(f);
    }
    emitter.End();
    glEndList();
}

namespace {

// A new drawing handle: a buffer drawing over the buffers, or a display-list name without them.
uint32_t NewHandle(const std::shared_ptr<MeshBuffers>& buffers)
{
    if (!buffers) return NewDisplayList();
    const uint32_t handle = NewDrawing();
    DrawingOf(handle).buffers = buffers;
    return handle;
}

}  // namespace

void BuildModelLists(Model& model, const Settings& settings, bool solidOnly, const ListProgress& progress)
{
    DefaultedMaterials defaulted;
    const int64_t total = TotalFaces(model) * (solidOnly ? 1 : 2);
    int64_t done = 0;
    const bool texturingOn = settings.texturing != 0;
    for (SubMesh& mesh : model.subMeshes) {
        // The shaded drawing alone is rebuilt for state changes: the geometry already uploaded serves.
        const std::shared_ptr<MeshBuffers> buffers = BuffersFor(mesh, model, solidOnly);
        const uint32_t oldSolid = mesh.solidList, oldWire = mesh.wireList;
        mesh.solidList = NewHandle(buffers);
        if (!solidOnly) mesh.wireList = NewHandle(buffers);
        BuildSolidList(mesh, model, settings, texturingOn, defaulted, done, total, progress);
        if (!solidOnly) BuildFillList(mesh, model, settings, done, total, progress);
        ReleaseDrawing(oldSolid);
        if (!solidOnly) ReleaseDrawing(oldWire);
    }
    if (defaulted.color) model.hasColor = 1;
    if (defaulted.diffuse) model.hasDiffuse = 1;
    if (defaulted.specular) model.hasSpecular = 1;
}

void CallModelLists(const Model& model, int which)
{
    for (const SubMesh& mesh : model.subMeshes) {
        const uint32_t handle = which == 0 ? mesh.solidList : mesh.wireList;
        if (IsBufferDrawing(handle)) {
            DrawFromBuffers(DrawingOf(handle), mesh);
        } else if (handle) {
            glCallList(handle);
        }
    }
}

void RebuildFillLists(Model& model, const Settings& settings)
{
    int64_t done = 0;
    for (SubMesh& mesh : model.subMeshes) {
        const uint32_t oldWire = mesh.wireList;
        mesh.wireList = NewHandle(ExistingBuffers(mesh));
        BuildFillList(mesh, model, settings, done, 0, nullptr);
        ReleaseDrawing(oldWire);
    }
}

void ReleaseModelLists(Model& model)
{
    for (SubMesh& mesh : model.subMeshes) {
        ReleaseDrawing(mesh.solidList);
        ReleaseDrawing(mesh.wireList);
        mesh.solidList = mesh.wireList = 0;
    }
    for (Texture& texture : model.textures) DeleteTexture(texture.textureHandle);
}

uint32_t UploadTexture(const Texture& texture, uint32_t handle, int quality, bool applyPixelMaps)
{
    const GLuint name = handle != 0 ? handle : NewTexture();
    const int n = TextureQualitySize(quality);
    std::vector<uint8_t> scaled(static_cast<size_t>(n) * n * 3, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (texture.HasPixels() && texture.width > 0 && texture.height > 0) {
        gluScaleImage(GL_RGB, texture.width, texture.height, GL_UNSIGNED_BYTE, texture.pixels.data(), n, n,
                      GL_UNSIGNED_BYTE, scaled.data());
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (applyPixelMaps) glPixelTransferi(GL_MAP_COLOR, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, n, n, 0, GL_RGB, GL_UNSIGNED_BYTE, scaled.data());
    if (applyPixelMaps) glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

void UploadModelTextures(Model& model, const Settings& settings, bool applyPixelMaps, const ListProgress& progress)
{
    const int64_t total = model.TextureCount();
    int64_t done = 0;
    for (Texture& texture : model.textures) {
        texture.textureHandle = UploadTexture(texture, texture.textureHandle, settings.mapping_texture_quality,
                                              applyPixelMaps);
        ++done;
        if (progress) progress(done, total);
    }
}

}  // namespace solvane
