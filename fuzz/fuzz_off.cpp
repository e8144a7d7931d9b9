#include "fuzz/support.h"

// The GeomView OFF reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.off");
    return 0;
}
