#include <cstdio>
#include <string>

#include "fuzz/support.h"

namespace {

// A 1 x 1 TGA beside the model (found as <model>.tga when the shader names nothing that exists),
// so that models naming a shader also run the skin step.
void WriteSkinOnce()
{
    static const bool written = [] {
        std::string tga(18, '\0');
        tga[2] = 2;    // uncompressed true colour
        tga[12] = 1;   // width
        tga[14] = 1;   // height
        tga[16] = 24;  // bits per pixel
        tga += std::string("\x10\x20\x30", 3);
        return solvane::FuzzWriteCompanion("model.tga", tga);
    }();
    (void)written;
}

}  // namespace

// The Quake 3 MD3 reader and its skin step.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WriteSkinOnce();
    solvane::FuzzModelBytes(data, size, "model.md3");
    return 0;
}
