// Compiling a model for drawing: per sub-mesh a shaded drawing (materials, textures, texture-
// coordinate generation, the faces) and a fill drawing in the background colour for hidden-line
// drawing; per texture a GL texture scaled to the chosen quality. Where the context has buffer
// objects (OpenGL 1.5), a sub-mesh's geometry is uploaded once into vertex and element buffers
// and each run of faces keeps its state in a small display list; on an OpenGL 1.1 driver (and for
// sub-meshes whose faces change state every few faces) each drawing is one display list. Both
// draw the same pictures. A sub-mesh's solidList and wireList hold the drawing handles.
#pragma once

#include <cstdint>
#include <functional>

#include "core/model.h"
#include "core/settings.h"

namespace solvane {

// Square size in texels of a texture quality (0..5: 16, 32, 64, 128, 256, 512; otherwise 64).
int TextureQualitySize(int quality);
// Menu names of the qualities ("Minimal" .. "Very High"); null outside 0..5.
const char* TextureQualityName(int quality);

// Called before each block of faces with the faces compiled so far and the total of the build.
using ListProgress = std::function<void(int64_t done, int64_t total)>;

// Which material values the build filled in because the model's flags marked them absent.
struct DefaultedMaterials {
    bool color = false;
    bool diffuse = false;
    bool specular = false;
};

// True for formats whose faces are always triangles (3D Studio and the Quake models): they are
// drawn from each face's first three corners.
bool DrawsFacesAsTriangles(int32_t formatId);

// How sub-meshes are drawn: from buffers where the context has them, or always from display
// lists (as an OpenGL 1.1 driver draws them; used to compare the two).
enum class MeshDrawingPath { Automatic, DisplayLists };
void SetMeshDrawingPath(MeshDrawingPath path);
// Whether a solidList or wireList handle names a drawing that exists, and whether it draws
// from buffer objects.
bool MeshDrawingExists(uint32_t handle);
bool IsBufferDrawing(uint32_t handle);
// The display lists a handle holds: itself, or a buffer drawing's state lists.
int64_t DisplayListsOf(uint32_t handle);

// Compiles the shaded drawing of one sub-mesh into the handle mesh.solidList (which must exist).
// Faces that share material and texture go into one primitive block. Writes defaulted material
// values back into the model and reports them in defaulted.
void BuildSolidList(SubMesh& mesh, Model& model, const Settings& settings, bool texturingOn,
                    DefaultedMaterials& defaulted, int64_t& progressDone, int64_t progressTotal,
                    const ListProgress& progress);
// Compiles the background-coloured fill list into mesh.wireList.
void BuildFillList(SubMesh& mesh, const Model& model, const Settings& settings, int64_t& progressDone,
                   int64_t progressTotal, const ListProgress& progress);

// Compiles every sub-mesh (new handles; superseded drawings are deleted). With solidOnly only the
// shaded lists are rebuilt. Afterwards the flags of defaulted values are set on the model.
void BuildModelLists(Model& model, const Settings& settings, bool solidOnly, const ListProgress& progress);
// Draws every shaded drawing (which = 0) or every fill drawing (which = 1) in sub-mesh order.
void CallModelLists(const Model& model, int which);
// New fill drawings for every sub-mesh (the background colour changed).
void RebuildFillLists(Model& model, const Settings& settings);
// Deletes the model's drawings, their buffers and textures (before the model is released or
// replaced).
void ReleaseModelLists(Model& model);

// Uploads the image into GL texture `handle` (created when 0) scaled to the quality's square size,
// with the current pixel maps applied when applyPixelMaps is set. Returns the handle.
uint32_t UploadTexture(const Texture& texture, uint32_t handle, int quality, bool applyPixelMaps);
// Uploads every texture of the model at the mapping quality, giving each its handle.
void UploadModelTextures(Model& model, const Settings& settings, bool applyPixelMaps, const ListProgress& progress);

}  // namespace solvane
