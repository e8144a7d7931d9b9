#include "app/eye_filter_dialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/dialogs.h"

namespace solvane {
namespace {

constexpr const char* kNoImage = "<NONE SELECTED>";

QSlider* PercentSlider(const char* name, float fraction)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(0, 100);
    slider->setValue(static_cast<int>(fraction * 100));  // truncated, as the slider shows whole percents
    slider->setMinimumWidth(220);
    return slider;
}

// A slider with its caption above and "0%" / "100%" at its ends.
QLayout* SliderRow(const char* caption, QSlider* slider)
{
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(caption));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("0%"));
    row->addWidget(slider, 1);
    row->addWidget(new QLabel("100%"));
    column->addLayout(row);
    return column;
}

}  // namespace

EyeFilterDialog::EyeFilterDialog(QWidget* parent, Settings& settings, EyeFilter& filter, std::function<void()> repaint,
                                 FilterImageSource chooseImage)
    : QDialog(parent),
      settings_(settings),
      filter_(filter),
      repaint_(std::move(repaint)),
      chooseImage_(std::move(chooseImage)),
      openingColour_(settings.EyeFilterColor()),
      openingAmount_(settings.eye_filter_amount),
      openingImageAlpha_(filter.imageAlpha)
{
    setObjectName("UI_EYEFILTER_BOX");
    setWindowTitle("Eye Filter Parameters...");
    ApplyDialogLook(this);
    auto* layout = new QVBoxLayout(this);

    // The colour wash.
    auto* washGroup = new QGroupBox("Color Filter");
    auto* wash = new QVBoxLayout(washGroup);
    washOn_ = new QCheckBox("Enable Eye Filter");
    washOn_->setObjectName("enable_1061");
    washOn_->setChecked(filter.washOn);
    wash->addWidget(washOn_);
    auto* colourRow = new QHBoxLayout;
    auto* colourButton = new QPushButton("Choose Color...");
    colourButton->setObjectName("color_1053");
    swatch_ = new QFrame;
    swatch_->setObjectName("swatch");
    swatch_->setFixedSize(40, 20);
    swatch_->setFrameShape(QFrame::Box);
    colourRow->addWidget(colourButton);
    colourRow->addWidget(swatch_);
    colourRow->addStretch();
    wash->addLayout(colourRow);
    amount_ = PercentSlider("slider_1051", settings.eye_filter_amount);
    wash->addLayout(SliderRow("Filter Strength", amount_));
    layout->addWidget(washGroup);

    // The image layer. Its switch can only be ticked once there is an image.
    auto* imageGroup = new QGroupBox("Image Filter");
    auto* image = new QVBoxLayout(imageGroup);
    imageOn_ = new QCheckBox;
    imageOn_->setObjectName("image_1004");
    imageOn_->setChecked(filter.imageOn && filter.image);
    image->addWidget(imageOn_);
    auto* imageButton = new QPushButton("Choose Image File...");
    imageButton->setObjectName("image_1054");
    imageButton->setEnabled(static_cast<bool>(chooseImage_));
    image->addWidget(imageButton, 0, Qt::AlignLeft);
    imageAlpha_ = PercentSlider("slider_1052", filter.imageAlpha);
    image->addLayout(SliderRow("Image Opacity", imageAlpha_));
    layout->addWidget(imageGroup);

    const auto [ok, cancel] = AddOkCancelRow(layout, "cancel_1023");

    ShowImageName();
    ShowWashColour();
    // A tick by the user switches its layer at once; ticks set by the dialog itself do not.
    connect(washOn_, &QCheckBox::clicked, this, [this](bool on) {
        filter_.washOn = on;
        repaint_();
    });
    connect(imageOn_, &QCheckBox::clicked, this, [this](bool on) {
        filter_.imageOn = on;
        repaint_();
    });
    connect(colourButton, &QPushButton::clicked, this, &EyeFilterDialog::ChooseWashColour);
    connect(imageButton, &QPushButton::clicked, this, &EyeFilterDialog::ChooseImage);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void EyeFilterDialog::ShowImageName()
{
    imageOn_->setText(filter_.image ? QString::fromStdString(filter_.ImagePath()) : QString(kNoImage));
    imageOn_->setEnabled(static_cast<bool>(filter_.image));
}

void EyeFilterDialog::ShowWashColour()
{
    const QColor colour = QColor::fromRgbF(settings_.ef_color_r, settings_.ef_color_g, settings_.ef_color_b);
    swatch_->setStyleSheet(QString("QFrame#swatch { background-color: %1; border: 1px solid white; }").arg(colour.name()));
}

void EyeFilterDialog::ChooseWashColour()
{
    const auto colour = ChooseColor(this);
    if (!colour) return;
    settings_.ef_color_r = (*colour)[0];
    settings_.ef_color_g = (*colour)[1];
    settings_.ef_color_b = (*colour)[2];
    ShowWashColour();
    washOn_->setChecked(true);
    amount_->setFocus();
    repaint_();
}

void EyeFilterDialog::ChooseImage()
{
    if (!chooseImage_) return;
    std::shared_ptr<const Texture> image = chooseImage_(this);
    if (!image) return;
    filter_.SetImage(std::move(image));
    ShowImageName();
    imageOn_->setChecked(true);
    repaint_();
}

void EyeFilterDialog::accept()
{
    if (washOn_->isChecked()) {
        settings_.eye_filter_amount = amount_->value() / 100.0f;
        filter_.washOn = true;
    }
    if (imageOn_->isChecked()) {
        filter_.imageAlpha = imageAlpha_->value() / 100.0f;
        filter_.imageOn = true;
    }
    QDialog::accept();
    repaint_();
}

void EyeFilterDialog::reject()
{
    settings_.ef_color_r = openingColour_[0];
    settings_.ef_color_g = openingColour_[1];
    settings_.ef_color_b = openingColour_[2];
    settings_.eye_filter_amount = openingAmount_;
    filter_.imageAlpha = openingImageAlpha_;
    QDialog::reject();
    repaint_();
}

void RunEyeFilterDialog(QWidget* window, Settings& settings, EyeFilter& filter, const std::function<void()>& repaint,
                        const FilterImageSource& chooseImage)
{
    EyeFilterDialog dialog(window, settings, filter, repaint, chooseImage);
    CentreOverMainWindow(&dialog, window);
    dialog.exec();
}

}  // namespace solvane
