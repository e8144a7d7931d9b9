#include "fuzz/support.h"

// The GeomView OFF reader, through the dispatch, on one thread and on blocks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytesOnBlocks(data, size, "model.off");
    return 0;
}
