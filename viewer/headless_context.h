// A GL context without any window system: EGL on Mesa's surfaceless platform with a pbuffer
// surface, compatibility profile. Used by the command-line renderer and the GL tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace solvane {

class HeadlessContext {
public:
    HeadlessContext() = default;
    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    // Creates the context with a width x height surface and makes it current; false (with a
    // reason in Error()) when EGL or the surfaceless platform is not available.
    bool Create(int width, int height);
    void Destroy();
    const std::string& Error() const { return error_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // The surface's pixels as RGB, bottom row first (as GL reads them, and as the image writers
    // take a picture).
    std::vector<uint8_t> ReadPixels() const;
    // The surface's pixels as RGB, top row first.
    std::vector<uint8_t> ReadPixelsTopDown() const;

private:
    void* display_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::string error_;
};

// Writes RGB pixels (top row first) as an 8-bit PNG; false on failure.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
// Reads a PNG as RGB (top row first); false when it cannot.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb);

}  // namespace solvane
