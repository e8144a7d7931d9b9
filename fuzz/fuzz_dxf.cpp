#include "fuzz/support.h"

// The DXF reader, through the dispatch (the weld included).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.dxf");
    return 0;
}
