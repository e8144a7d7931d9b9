// Display lists and textures: every one the viewer makes or deletes goes through here, so the
// process can say how many are alive and which names they have (a soak test counts them to find
// leaks). Needs a current context, like the GL calls it wraps.
#pragma once

#include <cstdint>
#include <vector>

namespace solvane {

// A new display list name (glGenLists) / texture name (glGenTextures).
uint32_t NewDisplayList();
uint32_t NewTexture();
// Deletes the list / texture (nothing for 0) and sets the name to 0.
void DeleteDisplayList(uint32_t& list);
void DeleteTexture(uint32_t& texture);

struct GlObjectCounts {
    int64_t lists = 0;
    int64_t textures = 0;
};
// Lists and textures made and not yet deleted, over every context of the process.
GlObjectCounts LiveGlObjects();
// Their names, ascending.
std::vector<uint32_t> LiveDisplayLists();
std::vector<uint32_t> LiveTextures();

}  // namespace solvane
