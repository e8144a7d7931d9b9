// "Eye Filter Parameters...": the colour wash (its switch, colour and amount) and the image layer
// (its switch, image and opacity). Ticking a switch takes effect at once; the amounts are taken on
// OK. Cancel puts back the colour and both amounts as they were at opening; switches ticked in the
// dialog stay as they are, and so does a newly chosen image.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "core/model.h"
#include "core/settings.h"
#include "viewer/eye_filter.h"

class QCheckBox;
class QFrame;
class QSlider;

namespace solvane {

// Asks for a filter image and reads it; null when cancelled or unreadable (having said why). The
// image's name holds its path.
using FilterImageSource = std::function<std::shared_ptr<const Texture>(QWidget* parent)>;

class EyeFilterDialog : public QDialog {
public:
    // repaint redraws the view behind the dialog. chooseImage may be empty: the image button is
    // then disabled.
    EyeFilterDialog(QWidget* parent, Settings& settings, EyeFilter& filter, std::function<void()> repaint,
                    FilterImageSource chooseImage);

    void accept() override;
    void reject() override;

private:
    void ChooseWashColour();
    void ChooseImage();
    void ShowImageName();
    void ShowWashColour();

    Settings& settings_;
    EyeFilter& filter_;
    std::function<void()> repaint_;
    FilterImageSource chooseImage_;
    // What Cancel puts back.
    std::array<float, 3> openingColour_;
    float openingAmount_;
    float openingImageAlpha_;

    QSlider* amount_ = nullptr;      // 1051
    QSlider* imageAlpha_ = nullptr;  // 1052
    QCheckBox* washOn_ = nullptr;    // 1061
    QCheckBox* imageOn_ = nullptr;   // 1004
    QFrame* swatch_ = nullptr;
};

// Runs the dialog over window, centred on it.
void RunEyeFilterDialog(QWidget* window, Settings& settings, EyeFilter& filter, const std::function<void()>& repaint,
                        const FilterImageSource& chooseImage);

}  // namespace solvane
