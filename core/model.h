// The in-memory model: an ordered list of sub-meshes, a material table and a texture table with
// decoded pixels. Every reader produces one, the viewer draws it, the mesh operations change it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace solvane {

// Contour kind of a face that is a hole of the nearest preceding outline.
constexpr int32_t kContourHole = 1002;
// Contour kind the tessellator gives its output faces.
constexpr int32_t kContourOutline = 1000;
// Largest corner count of one face (a signed 16-bit count).
constexpr int kMaxFaceCorners = 32767;

struct Material {
    std::string name;                        // at most 63 characters
    std::array<float, 3> color{0, 0, 0};     // ambient and diffuse together
    std::array<float, 3> specular{0, 0, 0};
    std::array<float, 3> diffuse{0, 0, 0};
    float transparency = 0;                  // 0 opaque, 1 fully transparent
    int32_t textureIndex = -1;               // into Model::textures, -1 untextured
};

// A texture table entry; also the decoded raster image that the image readers return.
struct Texture {
    std::string name;           // image file name as the model gives it
    int32_t width = 0;
    int32_t height = 0;
    // -1 not set, 0 explicit texCoords, 1 reflection map, 2 bump map,
    // 3 object-linear generated, 4 eye-linear generated.
    int32_t mappingMode = -1;
    std::array<float, 4> planeS{0, 0, 0, 0};
    std::array<float, 4> planeT{0, 0, 0, 0};
    std::array<float, 4> planeR{0, 0, 0, 0};
    uint32_t textureHandle = 0;  // owned by the viewer
    std::vector<uint8_t> pixels; // width * height * 3 RGB bytes; empty = none

    bool HasPixels() const { return !pixels.empty(); }
};

// Key frames 2..frameCount of an animated sub-mesh (key frame 1 is the sub-mesh itself).
struct AnimationFrame {
    std::vector<float> vertices;  // 3 * vertex count, same count as the sub-mesh
    std::string name;             // at most 15 characters
    std::array<float, 6> bounds{-1, -1, -1, -1, -1, -1};

    int32_t VertexCount() const { return static_cast<int32_t>(vertices.size() / 3); }
};

// One sub-mesh. Faces are stored flat: face f has corners
// faceIndices[faceOffsets[f] .. faceOffsets[f+1]). faceOffsets has faceCount + 1 entries
// (or is empty when there are no faces). faceTexCoordIndices, when not empty, runs parallel
// to faceIndices. faceContours and faceMaterials, when not empty, have one entry per face.
struct SubMesh {
    uint32_t solidList = 0;  // display lists, owned by the viewer
    uint32_t wireList = 0;

    std::vector<float> vertices;              // x, y, z per vertex
    std::vector<uint32_t> faceOffsets;        // faceCount + 1 prefix offsets into faceIndices
    std::vector<uint32_t> faceIndices;        // corner vertex indices of all faces
    std::vector<uint32_t> faceTexCoordIndices;// empty, or parallel to faceIndices
    std::vector<int32_t> faceContours;        // empty, or one kind per face
    std::vector<int32_t> faceMaterials;       // empty, or one material index per face (-1 none)
    std::vector<float> normals;               // empty, or 3 per vertex
    std::vector<float> texCoords;             // u, v per texture coordinate
    std::vector<AnimationFrame> frames;       // key frames 2..frameCount

    std::array<float, 3> centroid{0, 0, 0};
    std::array<float, 6> bounds{-1, -1, -1, -1, -1, -1};  // minX maxX minY maxY minZ maxZ
    std::string name;                         // at most 207 characters

    int32_t VertexCount() const { return static_cast<int32_t>(vertices.size() / 3); }
    int32_t NormalCount() const { return static_cast<int32_t>(normals.size() / 3); }
    int32_t TexCoordCount() const { return static_cast<int32_t>(texCoords.size() / 2); }
    int32_t FaceCount() const {
        return faceOffsets.empty() ? 0 : static_cast<int32_t>(faceOffsets.size() - 1);
    }
    int32_t FrameCount() const { return static_cast<int32_t>(frames.size()) + 1; }
    int32_t CornerCount() const { return static_cast<int32_t>(faceIndices.size()); }
    bool HasTexCoordIndices() const { return !faceTexCoordIndices.empty(); }

    int FaceCorners(int32_t f) const {
        return static_cast<int>(faceOffsets[f + 1] - faceOffsets[f]);
    }
    const uint32_t* FaceIndices(int32_t f) const { return faceIndices.data() + faceOffsets[f]; }
    uint32_t* FaceIndices(int32_t f) { return faceIndices.data() + faceOffsets[f]; }
    // Null when the sub-mesh has no texture-coordinate indices.
    const uint32_t* FaceTexCoordIndices(int32_t f) const {
        return faceTexCoordIndices.empty() ? nullptr : faceTexCoordIndices.data() + faceOffsets[f];
    }
    uint32_t* FaceTexCoordIndices(int32_t f) {
        return faceTexCoordIndices.empty() ? nullptr : faceTexCoordIndices.data() + faceOffsets[f];
    }
    int32_t FaceMaterial(int32_t f) const { return faceMaterials.empty() ? -1 : faceMaterials[f]; }
    int32_t FaceContour(int32_t f) const { return faceContours.empty() ? 0 : faceContours[f]; }

    // Reserves exactly faceCount faces with cornerCount corners in all (texture-coordinate
    // indices too when withTexCoords), so that AppendFace never reallocates.
    void ReserveFaces(int64_t faceCount, int64_t cornerCount, bool withTexCoords);
    // Appends one face. texCorners is used when the sub-mesh keeps texture-coordinate indices
    // (it must then be given for every face, or null to repeat the corner indices).
    void AppendFace(const uint32_t* corners, int count, const uint32_t* texCorners = nullptr);
    // Removes every face (and per-face array).
    void ClearFaces();
};

// The model: model-wide fields plus the sub-meshes. Every sub-mesh reaches the model-wide values
// (flags, material table, texture table) through its model, so the mirrored copies of the record
// layout are one shared value here.
struct Model {
    int16_t hasColor = 0;
    int16_t hasSpecular = 0;
    int16_t hasDiffuse = 0;
    int16_t hasTransparency = 0;
    int16_t hasTextures = 0;

    std::vector<SubMesh> subMeshes;    // at least one after a successful read
    std::vector<Material> materials;
    std::vector<Texture> textures;

    int32_t formatId = -1;
    float loadScale = 1.0f;

    int32_t SubMeshCount() const { return static_cast<int32_t>(subMeshes.size()); }
    int32_t MaterialCount() const { return static_cast<int32_t>(materials.size()); }
    int32_t TextureCount() const { return static_cast<int32_t>(textures.size()); }
};

// Creates a model with subMeshCount sub-meshes, materialCount materials and textureCount textures,
// all at their reset defaults.
std::unique_ptr<Model> NewModel(int32_t subMeshCount, int32_t materialCount = 0,
                                int32_t textureCount = 0);

// Gives the flags, every sub-mesh, every material and every texture their defaults. Names,
// textureIndex, planes and pixels are left as they are.
void ResetModel(Model* model);
// Releases every array the model owns; a second call releases nothing.
void FreeModelData(Model* model);
void CopyMaterial(Material& destination, const Material& source);
// Copy of the texture's name, size, handle and pixels; the caller owns it.
std::unique_ptr<Texture> CloneTexture(const Texture& source);
void FreeTexture(std::unique_ptr<Texture>& texture);

// Bounds extension while reading vertices: the first vertex sets all six values.
struct BoundsBuilder {
    std::array<float, 6> bounds{-1, -1, -1, -1, -1, -1};
    bool any = false;
    void Extend(float x, float y, float z) {
        if (!any) {
            bounds = {x, x, y, y, z, z};
            any = true;
            return;
        }
        if (x < bounds[0]) bounds[0] = x;
        if (x > bounds[1]) bounds[1] = x;
        if (y < bounds[2]) bounds[2] = y;
        if (y > bounds[3]) bounds[3] = y;
        if (z < bounds[4]) bounds[4] = z;
        if (z > bounds[5]) bounds[5] = z;
    }
};

// Recomputes bounds (all -1 when there are no vertices) and centroid (0,0,0 then) of one sub-mesh.
void ComputeBoundsAndCentroid(SubMesh& mesh);
void ComputeAllBounds(Model& model);
// Model-wide box: min/max over the sub-meshes' bounds (skipping sub-meshes without vertices).
std::array<float, 6> ModelBounds(const Model& model);
// Vertex-count-weighted mean of the sub-mesh centroids.
std::array<float, 3> ModelCentre(const Model& model);

// Totals over all sub-meshes.
int64_t TotalVertices(const Model& model);
int64_t TotalFaces(const Model& model);

}  // namespace solvane
