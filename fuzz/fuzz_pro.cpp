#include "fuzz/support.h"

// The Power Render reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.pro");
    return 0;
}
