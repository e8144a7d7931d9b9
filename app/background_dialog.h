// "Background Image Parameters...": the image behind the model, whether it is used, and the
// texture quality it is drawn at, with a live preview.
#pragma once

#include <functional>
#include <optional>

#include "app/image_chooser.h"
#include "core/settings.h"

class QWidget;

namespace solvane {

class Viewer;

struct BackgroundHooks {
    // The image chooser and the read of the chosen image.
    std::function<std::optional<ChosenImage>()> chooseImage;
    std::function<void()> repaint;
};

// The dialog works on its own copy of the background (image, name, quality, enabled). While
// "Preview" is ticked the view shows that copy as it changes; unticked, the view shows the
// background as it was when the dialog opened. OK makes the copy the background: when it is
// enabled and has an image, the quality and the image's file are kept in the settings and the
// image is shown. Cancel leaves (or puts back) the background as it was. Returns whether OK was
// chosen. The Preview tick is kept for the next opening within the run.
bool RunBackgroundDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, Viewer& viewer, Settings& settings,
                         const BackgroundHooks& hooks);

}  // namespace solvane
