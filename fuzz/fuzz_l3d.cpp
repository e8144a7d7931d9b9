#include "fuzz/support.h"

// The L3D reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.l3d");
    return 0;
}
