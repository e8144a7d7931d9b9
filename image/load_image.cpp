#include "image/image.h"

namespace solvane {

std::unique_ptr<Texture> LoadImageFile(const char* path, FormatId id)
{
    (void)path;
    switch (id) {
    // Each image reader is called here by its id.
    default:
        return nullptr;
    }
}

}  // namespace solvane
