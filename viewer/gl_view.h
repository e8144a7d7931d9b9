// The drawing surface: its size, the projection constants, the render state every pass assumes,
// and the "3D hardware report".
#pragma once

#include <array>
#include <string>

#include "core/settings.h"

namespace solvane {

constexpr float kFieldOfView = 60.0f;
constexpr double kNearPlane = 0.01;
constexpr double kFarPlane = 500.0;

struct GlView {
    int viewWidth = 1;
    int viewHeight = 1;
    float fieldOfView = kFieldOfView;
    void* quadric = nullptr;       // GLUquadric used for the pivot sphere
    std::string hardwareReport;    // empty before BuildHardwareReport
    bool reportConverted = false;  // HardwareReportText has turned the separators into line breaks
};

// Per channel c of the background colour: c - 0.5 when c >= 0.5, else c + 0.5.
std::array<float, 3> BoundingBoxColor(const std::array<float, 3>& background);

// Establishes the initial render state (needs a current context): quadric, clear colour from the
// background, blending, decal texture environment, culling off with clockwise front faces, depth
// test less-or-equal. The caller resets the accumulated model rotation.
void InitGlState(GlView& view, const Settings& settings);
void FreeGlState(GlView& view);

// Stores the size (a height of 0 is taken as 1), sets the viewport and the perspective projection
// and an identity model-view. The caller runs the pivot feedback pass first (it uses the viewport
// still in force).
void StoreViewSize(GlView& view, int width, int height);
void ApplyViewport(const GlView& view);
// Projection := perspective of the view (matrix mode is left at model-view).
void ApplyProjection(const GlView& view);

// The pixel-format line of the report for a renderer name: software rasterisers (llvmpipe,
// softpipe, swrast) are a generic format, anything else an accelerated one.
const char* PixelFormatLine(const std::string& rendererName);
// Builds the report text from the current context's strings ("&$" marks line breaks).
const std::string& BuildHardwareReport(GlView& view);
// The report with "&" turned into carriage returns and "$" into line feeds (converted in place on
// the first call); "No 3D hardware report available." before one was built.
std::string HardwareReportText(GlView& view);

}  // namespace solvane
