#include "fuzz/support.h"

// The ASCII PLY reader, through the dispatch, on one thread and on blocks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytesOnBlocks(data, size, "model.ply");
    return 0;
}
