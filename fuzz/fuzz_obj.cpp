#include <cstdio>

#include "fuzz/support.h"

// The OBJ reader, with a material library beside the model: inputs holding a 0xFF byte split there
// into model and library text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t split = 0;
    while (split < size && data[split] != 0xFF) ++split;
    {
        const std::string library = solvane::FuzzScratchPath("model.mtl");
        FILE* file = std::fopen(library.c_str(), "wb");
        if (file) {
            if (split + 1 < size) std::fwrite(data + split + 1, 1, size - split - 1, file);
            std::fclose(file);
        }
    }
    solvane::FuzzModelBytes(data, split, "model.obj");
    return 0;
}
