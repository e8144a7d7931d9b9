#include "core/format_id.h"
#include "fuzz/support.h"
#include "image/readers.h"

// The PNG reader through the image dispatch, and once more in memory with its checksums ignored:
// the fuzzer cannot forge CRCs, so without that it would rarely get past the first chunk.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    solvane::FuzzImageBytes(data, size, "image.png", solvane::Format::Png);
    solvane::FuzzCheckImageRecord(solvane::DecodePng({data, size}, false).get());
    return 0;
}
