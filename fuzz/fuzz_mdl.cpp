#include "fuzz/support.h"

// The Quake 1 MDL reader (skins are decoded from the file itself).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.mdl");
    return 0;
}
