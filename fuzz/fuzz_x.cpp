#include "fuzz/support.h"

// The DirectX reader, text and binary, on inputs taken as a .x file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.x");
    return 0;
}
