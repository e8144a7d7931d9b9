// Progress counters and result code of one load. The process has one such context for the
// interface's load job; the command-line tool and the tests make one per parallel load.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/load_result.h"

namespace solvane {

struct LoadContext {
    // Amount of work of the load (bytes times passes); -1 = cancelled or finished.
    std::atomic<int64_t> total{0};
    // Amount done so far; -1 = the dispatch has returned (the model slot may be read).
    std::atomic<int64_t> done{0};
    // Code of the last failure (LoadResult).
    std::atomic<int32_t> result{LoadResult::NoError};
    // Where the scene part of a native scene file starts (its "s" marker), found by the native
    // reader for the load job's scene step; -1 when there is none.
    std::atomic<int64_t> sceneOffset{-1};

    bool Cancelled() const { return total.load(std::memory_order_relaxed) == -1; }
};

// The one context of the process-wide load job.
LoadContext& ProcessLoadContext();

// Sets total and done to 0.
void ResetProgress(LoadContext& ctx);
// Sets total and done to -1 (this is also how a load is cancelled).
void FinishProgress(LoadContext& ctx);
// 0..500 progress; 500 = finished (and both counters become -1). Modes other than 0 and 2 are
// returned as they are.
int ProgressOf(LoadContext& ctx, int mode = 0);
// Message of the context's current code; the code through the out argument when given.
const char* ResultMessage(const LoadContext& ctx, int32_t* code = nullptr);

// Thrown by the reader input layer when the load has been cancelled; caught by the dispatch.
struct LoadCancelled {};

}  // namespace solvane
