// The model-side steps that follow a successful load, shared by the window and the command-line
// renderer: a default material when the file gave none, size normalisation (recorded in
// loadScale), normals when lighting needs them, and the tessellation of trueSpace holes.
#pragma once

#include <string>
#include <vector>

#include "core/model.h"
#include "core/settings.h"

namespace solvane {

// Name of the material given to a model without any.
inline constexpr const char* kDefaultMaterialName = "Solvane Color";

// The factor the load step resizes a model by, from the first sub-mesh's largest coordinates:
// all three below 0.2 -> 0.2 / their mean absolute value; all at most 0.5 -> 1 (no change);
// otherwise 0.25 / the largest.
float SizeNormalisationFactor(const Model& model);

// Before the model is shown: the default material (white with textures, else the foreground
// colour) with every face pointing at it, then the size normalisation with loadScale set.
void PrepareModelData(Model& model, const Settings& settings);
// After the model has become current: normals when lighting is on and the first sub-mesh has none
// (and for trueSpace models when it is off), then trueSpace tessellation. Error-box texts the
// tessellator produced are appended to errors when it is not null.
void FinishLoadedModel(Model& model, const Settings& settings, std::vector<std::string>* errors);

}  // namespace solvane
