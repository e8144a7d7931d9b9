#include "fuzz/support.h"

// The 3D Studio reader, through the dispatch (texture resolution included).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.3ds");
    return 0;
}
