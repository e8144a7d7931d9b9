#include "fuzz/support.h"

// The ASCII PLY reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.ply");
    return 0;
}
