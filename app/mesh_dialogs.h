// The parameter dialogs of the Mesh menu: scale, decimate and texture map. Each is modal, opens
// at the main window's bottom-left corner and leaves the model work to its command.
#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "app/image_chooser.h"
#include "core/model.h"

class QWidget;

namespace solvane {

inline constexpr const char* kEnterValidNumber = "Please enter a valid number.";
inline constexpr const char* kEnterPositiveNumber = "Please enter a positive number.";

// The scale text's verdict: a factor greater than 0, or the message that refuses the text. A
// letter, or any character after two decimal points ("." or ","), makes the text invalid; a ","
// counts as the decimal point; the number is the longest numeric prefix (none reads as 0).
struct ScaleInput {
    std::optional<float> factor;
    QString message;
};
ScaleInput ParseScaleText(const QString& text);

// "Adjust Model Scale...": the factor, or nothing when cancelled. A refused text shows its message
// in the error box and the dialog stays open with the text.
std::optional<float> RunScaleDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight);

// "Decimate Model...": a 0..100 % slider at factor x 100 (truncated); the chosen factor (position
// / 100), or nothing when cancelled.
std::optional<double> RunDecimateDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, double factor);

// What the texture-map dialog asks of its command.
struct TextureMapHooks {
    // The image chooser and the read of the chosen image.
    std::function<std::optional<ChosenImage>()> chooseImage;
    // Texture `index` of the model has new pixels (-1: the texture table went): upload it and
    // rebuild the shaded lists.
    std::function<void(int index)> texturesChanged;
    // The GL texture of a texture that leaves the table.
    std::function<void(uint32_t handle)> releaseTexture;
};

// "Texture Map Parameters..." over a model with texture coordinates. Choosing an image replaces
// the selected texture at once (or becomes the model's texture when it has none); choosing
// another entry first puts the previously selected texture back. OK keeps the change, Cancel
// restores the textures the model had. Returns whether OK was chosen.
bool RunTextureMapDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, Model& model,
                         const TextureMapHooks& hooks);

}  // namespace solvane
