#include "fuzz/support.h"

// The LightWave reader (LWOB and LWO2), through the dispatch by extension.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzModelBytes(data, size, "model.lwo");
    return 0;
}
