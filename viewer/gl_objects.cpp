#include "viewer/gl_objects.h"

#include <GL/gl.h>

#include <mutex>
#include <set>

namespace solvane {
namespace {

// Only the interface thread draws, but the registry is cheap to guard and the tests read it from
// wherever they run.
std::mutex registryMutex;  // protects liveLists and liveTextures
std::multiset<uint32_t> liveLists;
std::multiset<uint32_t> liveTextures;

void Forget(std::multiset<uint32_t>& names, uint32_t name)
{
    const auto found = names.find(name);
    if (found != names.end()) names.erase(found);
}

}  // namespace

uint32_t NewDisplayList()
{
    const GLuint list = glGenLists(1);
    if (list != 0) {
        std::lock_guard<std::mutex> lock(registryMutex);
        liveLists.insert(list);
    }
    return list;
}

uint32_t NewTexture()
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture != 0) {
        std::lock_guard<std::mutex> lock(registryMutex);
        liveTextures.insert(texture);
    }
    return texture;
}

void DeleteDisplayList(uint32_t& list)
{
    if (list == 0) return;
    glDeleteLists(list, 1);
    std::lock_guard<std::mutex> lock(registryMutex);
    Forget(liveLists, list);
    list = 0;
}

void DeleteTexture(uint32_t& texture)
{
    if (texture == 0) return;
    const GLuint name = texture;
    glDeleteTextures(1, &name);
    std::lock_guard<std::mutex> lock(registryMutex);
    Forget(liveTextures, texture);
    texture = 0;
}

GlObjectCounts LiveGlObjects()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return {static_cast<int64_t>(liveLists.size()), static_cast<int64_t>(liveTextures.size())};
}

std::vector<uint32_t> LiveDisplayLists()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return {liveLists.begin(), liveLists.end()};
}

std::vector<uint32_t> LiveTextures()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return {liveTextures.begin(), liveTextures.end()};
}

}  // namespace solvane
