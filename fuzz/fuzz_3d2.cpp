#include "fuzz/support.h"

// The Stereo CAD-3D reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.3d2");
    return 0;
}
