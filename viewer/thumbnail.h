// Thumbnails of models for file managers: the model drawn headless as the viewer draws it (solid,
// lit, textured), turned a little so that its depth shows, cropped to what was drawn and scaled
// down with area averaging, on a transparent background.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/model.h"

namespace solvane {

// The angles the thumbnail's model is turned by (degrees about the vertical axis, then about the
// horizontal one).
constexpr float kThumbnailYaw = 30;
constexpr float kThumbnailPitch = 20;
// Thumbnail sizes accepted, in pixels of the longest side.
constexpr int kMaxThumbnailSize = 2048;

// An RGBA picture, top row first, alpha not premultiplied.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Draws model (prepared here as after a load: default material, size, normals) into a picture
// whose longest side is at most size (1..kMaxThumbnailSize). False with a reason when no headless
// context can be made or nothing of the model is visible.
bool DrawThumbnail(Model& model, int size, RgbaImage& thumbnail, std::string& error);

// Scales the part of an RGBA picture covered by alpha down so that its longest side is at most
// size, averaging the area each target pixel covers (colours weighted by their alpha). A part
// already small enough is copied. Exposed for tests.
RgbaImage CropAndShrink(const RgbaImage& picture, int size);

// Writes or reads an 8-bit RGBA PNG; false on failure.
bool WritePngRgba(const std::string& path, const RgbaImage& image);
bool ReadPngRgba(const std::string& path, RgbaImage& image);

}  // namespace solvane
