#include <cstdio>
#include <string>

#include "fuzz/support.h"

namespace {

// A 2 x 1 PCX beside the model (found as <model>.pcx), so that every model that loads also runs
// the skin step that divides its texture coordinates by the skin's size.
void WriteSkinOnce()
{
    static const bool written = [] {
        std::string pcx(128, '\0');
        pcx[0] = 10;
        pcx[1] = 5;
        pcx[2] = 1;
        pcx[3] = 8;
        pcx[8] = 1;   // xmax
        pcx[65] = 1;  // planes
        pcx[66] = 2;  // bytes per line
        pcx += std::string("\x01\x02", 2);
        pcx += '\x0C';
        pcx += std::string(768, '\x40');
        return solvane::FuzzWriteCompanion("model.pcx", pcx);
    }();
    (void)written;
}

}  // namespace

// The Quake 2 MD2 reader and its skin step.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WriteSkinOnce();
    solvane::FuzzModelBytes(data, size, "model.md2");
    return 0;
}
