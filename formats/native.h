// The program's own files: the native object file (.svo) holds one model almost field for field;
// the native scene file (.svs) holds the same object data followed by a scene part with the view
// state (camera, colours, background image, eye filter, depth cueing, gamma). Both start with the
// magic "Solvaneo"; versions "20", "21" and "30" are read, "30" is written.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// The view state a scene file carries, as plain values; the viewer captures and applies it.
struct SceneRecord {
    std::array<float, 3> viewOffset{0, 0, 0};
    // The accumulated trackball rotation, 16 floats as the camera holds them (column-major).
    std::array<float, 16> modelRotation{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::array<float, 3> stepAxis{0, 0, 0};
    float stepAngle = 0;
    float pitch = 0, yaw = 0, roll = 0;
    std::array<float, 3> flyOffset{0, 0, 0};
    std::array<float, 3> foreground{1, 1, 1};
    std::array<float, 3> background{0.3f, 0.3f, 0.3f};
    bool washOn = false;  // the eye filter's colour wash
    std::array<float, 3> filterColour{0, 1, 0};
    float filterAmount = 0.5f;
    std::array<float, 3> lightColour{0, 0, 0};
    // The background image; width and height 0 = none stored.
    std::string backgroundName;
    int32_t backgroundWidth = 0;
    int32_t backgroundHeight = 0;
    std::vector<uint8_t> backgroundPixels;  // width * height * 3 RGB bytes
    float depthCueFactor = 0;
    // Version "30" only: the view triple (this program keeps the depth-cue colour in it) and gamma.
    bool hasVersion30Fields = true;
    std::array<float, 3> viewTriple{0.3f, 0.3f, 0.3f};
    float gamma = 1.7f;

    bool HasBackgroundImage() const { return backgroundWidth != 0 && backgroundHeight != 0; }
};

// Reads a native object or scene file (FormatId 14). Null when the file cannot be opened; null
// with result 1500 when the magic is not "Solvaneo" or the version is not "20", "21" or "30";
// null with result 1800 when a marker is wrong or the file ends (or its counts run) beyond its
// bytes. When a scene part follows the object data, the position of its "s" marker goes to
// ctx.sceneOffset (else -1).
std::unique_ptr<Model> ReadNativeFile(const char* path, LoadContext& ctx);

// Reads the scene part of the file at the marker position the object read remembered. Clears
// sceneOffset whatever happens. False, with scene untouched, when no position is remembered or
// the scene part cannot be read (a wrong marker, the file ending early, values that are not
// numbers, an image larger than 16384 pixels a side).
bool ReadNativeScene(const char* path, int64_t& sceneOffset, SceneRecord& scene);

// Writes a version "30" object file, and the scene part after it when scene is not null.
bool WriteNativeFile(const Model& model, const SceneRecord* scene, const std::string& path, SaveContext& ctx);
// The object file (.svo).
bool WriteSvoFile(const Model& model, const std::string& path, SaveContext& ctx);
// A scene file (.svs) with the default view (what a fresh start shows); the viewer's Save As
// passes the captured view through WriteNativeFile instead.
bool WriteSvsFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
