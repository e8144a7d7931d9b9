#include "fuzz/support.h"

// The OBJ reader, with a material library beside the model (inputs holding a 0xFF byte split there
// into model and library text), on one thread and on blocks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t split = 0;
    while (split < size && data[split] != 0xFF) ++split;
    solvane::FuzzWriteCompanion("model.mtl", data + split + (split < size ? 1 : 0),
                                split + 1 < size ? size - split - 1 : 0);
    solvane::FuzzModelBytesOnBlocks(data, split, "model.obj");
    return 0;
}
