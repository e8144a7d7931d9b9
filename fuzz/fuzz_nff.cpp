#include "fuzz/support.h"

// The WorldToolKit NFF reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.nff");
    return 0;
}
