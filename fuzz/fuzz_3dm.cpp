#include "fuzz/support.h"

// The Rhino 3DM reader (chunk stream and mesh conversion), through the dispatch by extension.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.3dm");
    return 0;
}
