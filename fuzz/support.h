// Helpers shared by the fuzz targets: run bytes through a reader as a file of a given name, and
// stop the run when a reader returns a model that breaks an invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace solvane {

struct Texture;

// Writes the bytes to a private scratch file whose name ends in fileName (so identification by
// extension applies), loads it with LoadModelFile and aborts on a model that fails ValidateModel.
void FuzzModelBytes(const uint8_t* data, size_t size, const char* fileName);
// The same for an image reader of the given image id; aborts when the image's pixel buffer does
// not match its size or a side exceeds the limit.
void FuzzImageBytes(const uint8_t* data, size_t size, const char* fileName, int imageId);
// Aborts when a non-null image record's pixel buffer does not match its size or a side is out of
// range.
void FuzzCheckImageRecord(const Texture* image);
// A scratch path for companion files ending in fileName, in the same private folder.
std::string FuzzScratchPath(const char* fileName);
// Writes a companion file (a skin, a material library) into the scratch folder; false on failure.
bool FuzzWriteCompanion(const char* fileName, const uint8_t* data, size_t size);
inline bool FuzzWriteCompanion(const char* fileName, const std::string& bytes)
{
    return FuzzWriteCompanion(fileName, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace solvane
