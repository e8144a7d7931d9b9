// The view state of a native scene file: captured from the viewer when a scene is saved, applied
// to it when a scene file has been loaded (after the model is current, before its lists are built).
#pragma once

#include "core/settings.h"
#include "formats/native.h"
#include "viewer/viewer.h"

namespace solvane {

// The current camera, colours, eye-filter wash, light colour, background image, depth cue and
// gamma as a scene record.
SceneRecord CaptureSceneRecord(const Viewer& viewer, const Settings& settings);

// Restores the record into the camera, the settings and the viewer's scene state, and brings the
// GL state in line (clear colour, bounding-box colour, fill lists, light, background image). Needs
// the viewer's context current. A record read from a version "20" or "21" file leaves the depth-cue
// colour and gamma as they are.
void ApplySceneRecord(Viewer& viewer, Settings& settings, const SceneRecord& scene);

}  // namespace solvane
