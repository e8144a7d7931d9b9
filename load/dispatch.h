// The model file dispatch: identifies a file, runs its reader, finishes the model (textures,
// names, format) and turns every failure into a result code.
#pragma once

#include <memory>
#include <string>

#include "core/format_id.h"
#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

struct LoadRequest {
    std::string path;
    std::unique_ptr<Model> model;  // the finished model, or null after a failure
};

// Runs on the load's worker thread; the caller has reset the progress (ResetProgress). Resets the context's result to 100, sets its progress total,
// and on return has set the done amount to -1 (unless the load was cancelled, when both are
// already -1). request.model holds the model or null.
void LoadModelFile(LoadRequest& request, LoadContext& ctx);
// Convenience form: resets the progress, loads, and returns the model or null.
std::unique_ptr<Model> LoadModelFile(const std::string& path, LoadContext& ctx);

// The result code a load of this format reports when it fails without a code of its own.
int32_t DefaultFailureCode(FormatId id);

}  // namespace solvane
