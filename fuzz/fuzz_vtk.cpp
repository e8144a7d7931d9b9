#include "fuzz/support.h"

// The legacy VTK POLYDATA reader, through the dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.vtk");
    return 0;
}
