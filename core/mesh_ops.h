// Operations that change a loaded model in place: smooth normals, inversion, fan triangulation,
// tessellation of polygons with holes, vertex welding (decimation), uniform scaling, one colour for
// all materials, and the model side of importing a texture map. None of them touches GL or the
// viewer; the caller rebuilds display lists and, where positions changed, the model-wide box.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "core/model.h"

namespace solvane {

// ---- Normals ---------------------------------------------------------------------------------

// Smooth per-vertex normals for every sub-mesh, every face weighted equally. The face normal of a
// face with corners a, b, c, ... is (V[c] - V[b]) x (V[a] - V[b]), normalised. A face with fewer
// than 3 corners or a zero-length (or non-finite) cross product contributes nothing; a vertex that
// no face reaches gets (0, 0, 1). A corner index not below the vertex count is clamped in place to
// the last vertex. Bounds and centroid of every sub-mesh are recomputed.
void GenerateNormals(Model& model);
// True for the formats whose faces wind the other way: trueSpace, MD2, MDL, MD3 and PLY.
bool NormalsNeedInversion(FormatId id);
// GenerateNormals, then ScaleNormals(model, -1) when NormalsNeedInversion(model.formatId).
// This is the form loaders and commands call.
void GenerateNormalsForFormat(Model& model);
// Multiplies every normal component of every sub-mesh by factor (-1 inverts); sub-meshes without
// normals are skipped. The caller toggles its own normals-inverted state.
void ScaleNormals(Model& model, float factor);

// ---- Triangulation and tessellation ----------------------------------------------------------

// Fan triangulation: a face c0..c(n-1) becomes (c0,c1,c2), (c0,c2,c3), ..., (c0,c(n-2),c(n-1)) in
// place, each triangle keeping the face's material, contour kind and texture-coordinate indices;
// faces with fewer than 3 corners disappear. Returns false (and leaves the sub-mesh untouched)
// when no face has 4 or more corners.
bool TriangulateSubMesh(SubMesh& mesh);
// TriangulateSubMesh over every sub-mesh; false when none needed it (the caller then reports
// kAlreadyTrianglesTitle / kAlreadyTrianglesText and rebuilds nothing).
bool TriangulateModel(Model& model);

inline constexpr const char* kAlreadyTrianglesTitle = "Already 100% Triangles";
inline constexpr const char* kAlreadyTrianglesText = "This file is triangulated already.";

// Text of the error box for a tessellator primitive other than triangles, strips and fans.
inline constexpr const char* kTessellatorPrimitiveError =
    "Tesselator failed due to an unsuported primitive type in this file.  Attempting to load anyway...";

// Tessellates every sub-mesh through the GLU tessellator (no GL context needed): a face with more
// than 4 corners, or followed by hole faces (contour kind kContourHole), becomes the triangles of
// its outline minus those holes; 4-corner faces are kept; other faces keep their first 3 corners.
// Output faces keep their source face's material, get contour kind kContourOutline and texture-
// coordinate indices looked up per vertex. Never fails; each error-box text the caller should show
// is appended to errors when it is not null.
void TessellateModel(Model& model, std::vector<std::string>* errors);

// ---- Welding (decimation) ----------------------------------------------------------------------

// Merges vertices of one sub-mesh: vertex i maps to the most recently retained vertex that matches
// it (tolerance 0: x, y, z compare equal as floats, so -0 equals +0 and NaN matches nothing;
// otherwise |dx| + |dy| + |dz| <= tolerance computed in double, which NaN never passes; a negative
// or NaN tolerance matches nothing), or else is retained. Vertices,
// normals and every key frame are compacted to the retained vertices in order of first appearance,
// face indices are rewritten, and bounds and centroid recomputed. Texture coordinates and their
// indices are untouched. Returns the number of vertices removed. Expected linear time.
int32_t WeldVertices(SubMesh& mesh, double tolerance);
// Tolerance the decimation command uses for a factor (0..1) and the model-wide box
// (minX, maxX, minY, maxY, minZ, maxZ): factor * (sum of the six absolute values) / 3.
double DecimationTolerance(const std::array<float, 6>& modelBox, double factor);

// ---- Scaling and colour -----------------------------------------------------------------------

// Multiplies every vertex coordinate of every sub-mesh (key frame 1 only) by factor and recomputes
// bounds and centroid. Returns false and changes nothing when factor is exactly 1. The caller
// multiplies its camera distance by the same factor and rebuilds when this returns true.
bool ScaleModel(Model& model, float factor);

// Name of the material ApplyColor creates when the model has none.
inline constexpr const char* kApplyColorMaterialName = "Solvane Color";

// Model side of the "Material..." command, before the shaded lists are rebuilt: clears hasColor,
// hasSpecular and hasDiffuse; creates one material kApplyColorMaterialName (and all-zero face
// materials) when there is none; sets colour, diffuse and specular of every material to rgb.
// The renderer then fills the absent values while the flags are 0 (diffuse = colour, specular
// white); after the rebuild the caller calls FinishApplyColor.
void ApplyColor(Model& model, std::array<float, 3> rgb);
// Sets hasColor, hasDiffuse and hasSpecular to 1.
void FinishApplyColor(Model& model);

// ---- Texture-map import -----------------------------------------------------------------------

// Reads an image file with the reader of the given image id; null when it cannot. Pass
// LoadImageFile (image/image.h); core does not link the image readers itself.
using ImageLoader = std::function<std::unique_ptr<Texture>(const char* path, FormatId id)>;

enum class TextureImportStatus {
    Imported,              // the image is in the texture table; the viewer uploads it
    NoTexCoords,           // no sub-mesh has texture coordinates: show the warning, nothing changed
    UnsupportedExtension,  // not BMP, IFF, JPG, PCX, TGA, PPM or PNG: nothing changed
    ImageUnreadable,       // the image reader refused the file: nothing changed
};

inline constexpr const char* kTextureImportFailedTitle = "Texture Map Image Import Failed";
inline constexpr const char* kTextureImportNeedsTexCoordsText =
    "Importing texture maps requires the current model to have texture coordinates.";

struct TextureImportResult {
    TextureImportStatus status = TextureImportStatus::Imported;
    bool createdTextureTable = false;  // this call created the one-entry texture table
    std::string warningTitle;          // non-empty: the warning box to show
    std::string warningText;
};

// Taken when the import dialog opens; CancelTextureImport puts the model back with it.
struct TextureImportUndo {
    struct MaterialColors {
        std::array<float, 3> color;
        std::array<float, 3> diffuse;
        std::array<float, 3> specular;
    };
    std::vector<MaterialColors> materials;
    bool hadTextures = false;  // the texture table existed when the dialog opened
};

// True when at least one sub-mesh has texture coordinates.
bool ModelHasTexCoords(const Model& model);
// Image id of a texture-map path by its extension (either case): BMP, IFF, JPG, PCX, TGA, PPM, PNG;
// -1 otherwise. Surrounding double quotes are ignored.
FormatId TextureMapImageFormat(const std::string& path);
TextureImportUndo BeginTextureImport(const Model& model);
// Reads the image at imagePath (surrounding double quotes removed) into texture textureIndex
// (0 for the table this creates). When the model has no texture yet, a one-entry table is created,
// hasTextures set, and every material gets textureIndex 0 and white colour, diffuse and specular.
TextureImportResult ImportTextureMap(Model& model, const std::string& imagePath,
                                     const ImageLoader& loadImage, int32_t textureIndex = 0);
// Dialog cancelled: when the texture table was created since BeginTextureImport, releases it,
// clears hasTextures, and restores every material's colours with textureIndex -1. Returns whether
// anything changed (the caller then rebuilds the shaded lists).
bool CancelTextureImport(Model& model, const TextureImportUndo& undo);

}  // namespace solvane
