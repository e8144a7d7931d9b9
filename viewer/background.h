// Reading a background image from a file for a viewer that has no dialog (the command-line
// renderer): the image's kind comes from the last three characters of its name, as in the
// window's image chooser.
#pragma once

#include <string>

#include "viewer/viewer.h"

namespace solvane {

// Reads path and makes it the viewer's shown background image at the given texture quality,
// turning the using_background_image setting on. False, with the reason in error, when the name
// is of no image kind or the image cannot be read; the viewer is then unchanged.
bool LoadBackgroundImageFile(Viewer& viewer, const std::string& path, int quality, std::string& error);

}  // namespace solvane
