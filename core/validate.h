// Checks the invariants every reader establishes: indices in range, one normal per vertex,
// material and texture indices in range, bounds computed, consistent per-face arrays.
#pragma once

#include <string>

#include "core/model.h"

namespace solvane {

// Empty when the model holds every invariant; otherwise a description of the first violation.
std::string ValidateModel(const Model& model);

}  // namespace solvane
