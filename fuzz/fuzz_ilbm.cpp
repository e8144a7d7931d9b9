#include "core/format_id.h"
#include "fuzz/support.h"

// The ILBM image reader through the image dispatch.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzImageBytes(data, size, "image.iff", solvane::Format::Iff);
    return 0;
}
