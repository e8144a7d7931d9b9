#include "core/load_context.h"

namespace solvane {

LoadContext& ProcessLoadContext()
{
    static LoadContext context;
    return context;
}

void ResetProgress(LoadContext& ctx)
{
    ctx.total.store(0);
    ctx.done.store(0);
}

void FinishProgress(LoadContext& ctx)
{
    ctx.total.store(-1);
    ctx.done.store(-1);
}

int ProgressOf(LoadContext& ctx, int mode)
{
    if (mode != 0 && mode != 2) return mode;
    const int64_t done = ctx.done.load(std::memory_order_acquire);
    if (done == -1) {
        FinishProgress(ctx);
        return 500;
    }
    const int64_t total = ctx.total.load(std::memory_order_relaxed);
    if (total == 0 || done == 0) return 0;
    // Every byte read is not yet finished: the worker still has its finishing steps to run and
    // the model to publish, and only done = -1 says it has.
    if (done >= total) return 499;
    return static_cast<int>(done * 500 / total);
}

const char* ResultMessage(const LoadContext& ctx, int32_t* code)
{
    const int32_t value = ctx.result.load();
    if (code) *code = value;
    return ResultMessageFor(value);
}

}  // namespace solvane
