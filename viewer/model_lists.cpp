#include "viewer/model_lists.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
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

// Emits faces [first, last) of the mesh, grouping triangles and quads into shared blocks.
// Polygons of more corners get a block each.
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

void BuildSolidList(SubMesh& mesh, Model& model, const Settings& settings, bool texturingOn,
                    DefaultedMaterials& defaulted, int64_t& progressDone, int64_t progressTotal,
                    const ListProgress& progress)
{
    const bool hasTextures = model.hasTextures && model.TextureCount() >= 1;
    const bool withNormals = mesh.NormalCount() > 0;
    const bool canTexCoord = mesh.TexCoordCount() >= 1 && mesh.HasTexCoordIndices();
    FaceEmitter emitter(mesh, DrawsFacesAsTriangles(model.formatId), false, withNormals);

    const std::array<float, 3> fg = settings.Foreground();
    const float foreground[4] = {fg[0], fg[1], fg[2], 1.0f};
    const float white[4] = {1, 1, 1, 1};

    glNewList(mesh.solidList, GL_COMPILE);
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
            emitter.End();
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
            emitter.SetTexCoords(texture >= 0 && canTexCoord);
        }
        emitter.Face(f);
    }
    emitter.End();
    if (!first) {
        if (texturingOn) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
    }
    glEndList();
}

void BuildFillList(SubMesh& mesh, const Model& model, const Settings& settings, int64_t& progressDone,
                   int64_t progressTotal, const ListProgress& progress)
{
    const std::array<float, 3> bg = settings.Background();
    const float background[4] = {bg[0], bg[1], bg[2], 1.0f};
    FaceEmitter emitter(mesh, DrawsFacesAsTriangles(model.formatId), false, mesh.NormalCount() > 0);
    glNewList(mesh.wireList, GL_COMPILE);
    SetAmbientDiffuse(background);
    const int32_t faceCount = mesh.FaceCount();
    for (int32_t f = 0; f < faceCount; ++f) {
        if (f % kProgressBlock == 0) Report(progressDone, progressTotal, std::min<int64_t>(kProgressBlock, faceCount - f), progress);
        emitter.Face(f);
    }
    emitter.End();
    glEndList();
}

void BuildModelLists(Model& model, const Settings& settings, bool solidOnly, const ListProgress& progress)
{
    DefaultedMaterials defaulted;
    const int64_t total = TotalFaces(model) * (solidOnly ? 1 : 2);
    int64_t done = 0;
    const bool texturingOn = settings.texturing != 0;
    for (SubMesh& mesh : model.subMeshes) {
        DeleteDisplayList(mesh.solidList);
        mesh.solidList = NewDisplayList();
        if (!solidOnly) {
            DeleteDisplayList(mesh.wireList);
            mesh.wireList = NewDisplayList();
        }
        BuildSolidList(mesh, model, settings, texturingOn, defaulted, done, total, progress);
        if (!solidOnly) BuildFillList(mesh, model, settings, done, total, progress);
    }
    if (defaulted.color) model.hasColor = 1;
    if (defaulted.diffuse) model.hasDiffuse = 1;
    if (defaulted.specular) model.hasSpecular = 1;
}

void CallModelLists(const Model& model, int which)
{
    for (const SubMesh& mesh : model.subMeshes) {
        const uint32_t list = which == 0 ? mesh.solidList : mesh.wireList;
        if (list) glCallList(list);
    }
}

void RebuildFillLists(Model& model, const Settings& settings)
{
    int64_t done = 0;
    for (SubMesh& mesh : model.subMeshes) {
        DeleteDisplayList(mesh.wireList);
        mesh.wireList = NewDisplayList();
        BuildFillList(mesh, model, settings, done, 0, nullptr);
    }
}

void ReleaseModelLists(Model& model)
{
    for (SubMesh& mesh : model.subMeshes) {
        DeleteDisplayList(mesh.solidList);
        DeleteDisplayList(mesh.wireList);
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
