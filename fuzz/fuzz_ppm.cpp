#include "core/format_id.h"
#include "fuzz/support.h"

// The PPM image reader through the image dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzImageBytes(data, size, "image.ppm", solvane::Format::Ppm);
    return 0;
}
