#include "fuzz/support.h"

// The trueSpace reader, on inputs taken as a .cob file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.cob");
    return 0;
}
