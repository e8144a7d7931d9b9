// Compiling a model into display lists: per sub-mesh a shaded list (materials, textures, texture-
// coordinate generation, the faces) and a fill list in the background colour for hidden-line
// drawing; per texture a GL texture scaled to the chosen quality.
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

// Compiles the shaded list of one sub-mesh into the list name mesh.solidList (which must exist).
// Faces that share material and texture go into one primitive block. Writes defaulted material
// values back into the model and reports them in defaulted.
void BuildSolidList(SubMesh& mesh, Model& model, const Settings& settings, bool texturingOn,
                    DefaultedMaterials& defaulted, int64_t& progressDone, int64_t progressTotal,
                    const ListProgress& progress);
// Compiles the background-coloured fill list into mesh.wireList.
void BuildFillList(SubMesh& mesh, const Model& model, const Settings& settings, int64_t& progressDone,
                   int64_t progressTotal, const ListProgress& progress);

// Compiles every sub-mesh (new list names; superseded ones are deleted). With solidOnly only the
// shaded lists are rebuilt. Afterwards the flags of defaulted values are set on the model.
void BuildModelLists(Model& model, const Settings& settings, bool solidOnly, const ListProgress& progress);
// Calls every shaded list (which = 0) or every fill list (which = 1) in sub-mesh order.
void CallModelLists(const Model& model, int which);
// New fill lists for every sub-mesh (the background colour changed).
void RebuildFillLists(Model& model, const Settings& settings);
// Deletes the model's lists and textures (before the model is released or replaced).
void ReleaseModelLists(Model& model);

// Uploads the image into GL texture `handle` (created when 0) scaled to the quality's square size,
// with the current pixel maps applied when applyPixelMaps is set. Returns the handle.
uint32_t UploadTexture(const Texture& texture, uint32_t handle, int quality, bool applyPixelMaps);
// Uploads every texture of the model at the mapping quality, giving each its handle.
void UploadModelTextures(Model& model, const Settings& settings, bool applyPixelMaps, const ListProgress& progress);

}  // namespace solvane
