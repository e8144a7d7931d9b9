#include "fuzz/support.h"

// The JPEG decoder through the image dispatch, as a texture named *.jpg is read.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzImageBytes(data, size, "image.jpg", 22);
    return 0;
}
