#include "app/background_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "app/dialogs.h"
#include "viewer/model_lists.h"
#include "viewer/viewer.h"

namespace solvane {
namespace {

constexpr const char* kNoneSelected = "<NONE SELECTED>";

struct BackgroundState {
    std::shared_ptr<const Texture> image;
    std::string name;
    int quality = 3;
    bool enabled = false;
};

}  // namespace

bool RunBackgroundDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, Viewer& viewer, Settings& settings,
                         const BackgroundHooks& hooks)
{
    static bool previewTicked = false;  // kept for the next opening within the run

    const BackgroundState opening{viewer.background.image, viewer.background.fileName, viewer.background.quality,
                                  settings.using_background_image != 0};
    const bool openingShown = viewer.background.shown;
    BackgroundState working = opening;
    working.quality = std::clamp(settings.background_texture_quality, 0, 5);

    QDialog dialog(parent);
    dialog.setObjectName("UI_BACKGROUND_BOX");
    dialog.setWindowTitle("Background Image Parameters...");
    ApplyDialogLook(&dialog);
    auto* layout = new QVBoxLayout(&dialog);

    auto* fileGroup = new QGroupBox("Image File");
    auto* fileLayout = new QHBoxLayout(fileGroup);
    auto* path = new QLineEdit(opening.image ? QString::fromStdString(opening.name) : QString(kNoneSelected));
    path->setObjectName("path_1086");
    path->setReadOnly(true);
    path->setMinimumWidth(280);
    auto* browse = new QPushButton("Choose Image File...");
    browse->setObjectName("browse_1085");
    fileLayout->addWidget(path);
    fileLayout->addWidget(browse);
    layout->addWidget(fileGroup);

    auto* enable = new QCheckBox("Enable Background Image");
    enable->setObjectName("enable_1088");
    enable->setChecked(working.enabled);
    layout->addWidget(enable);

    auto* qualityGroup = new QGroupBox("Texture Quality");
    auto* qualityLayout = new QVBoxLayout(qualityGroup);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName("slider_1092");
    slider->setRange(0, 5);
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    slider->setValue(working.quality);
    qualityLayout->addWidget(slider);
    auto* labelRow = new QHBoxLayout;
    QList<QLabel*> qualityLabels;
    for (int quality = 0; quality <= 5; ++quality) {
        if (quality > 0) labelRow->addStretch();
        qualityLabels << new QLabel(TextureQualityName(quality));
        labelRow->addWidget(qualityLabels.back());
    }
    qualityLayout->addLayout(labelRow);
    layout->addWidget(qualityGroup);

    auto* preview = new QCheckBox("Preview");
    preview->setObjectName("preview_1069");
    preview->setChecked(previewTicked);
    layout->addWidget(preview);

    const auto [ok, cancel] = AddOkCancelRow(layout);

    auto show = [&](const BackgroundState& state, bool shown) {
        viewer.SetBackgroundImage(state.image, state.name, state.quality, shown);
        settings.using_background_image = state.enabled ? 1 : 0;
        if (hooks.repaint) hooks.repaint();
    };
    auto showWorking = [&] { show(working, working.enabled && working.image); };
    auto changed = [&] {
        if (preview->isChecked()) showWorking();
    };
    // Without the background image, its file, its preview and the labels are greyed.
    auto greyOut = [&] {
        const bool on = enable->isChecked();
        fileGroup->setEnabled(on);
        preview->setEnabled(on);
        for (QLabel* label : qualityLabels) label->setEnabled(on);
    };
    greyOut();

    QObject::connect(enable, &QCheckBox::toggled, &dialog, [&](bool on) {
        working.enabled = on;
        greyOut();
        changed();
    });
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
        std::optional<ChosenImage> chosen = hooks.chooseImage();
        if (!chosen) return;
        working.image = std::shared_ptr<const Texture>(std::move(chosen->image));
        working.name = chosen->path.toStdString();
        path->setText(chosen->path);
        changed();
    });
    QObject::connect(slider, &QSlider::valueChanged, &dialog, [&](int quality) {
        working.quality = quality;
        changed();
    });
    QObject::connect(preview, &QCheckBox::toggled, &dialog, [&](bool on) {
        previewTicked = on;
        if (on) showWorking();
        else show(opening, openingShown);
    });
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (preview->isChecked()) showWorking();
    PlaceAtBottomLeft(&dialog, mainWindow, toolBandHeight);

    if (dialog.exec() != QDialog::Accepted) {
        show(opening, openingShown);
        return false;
    }
    showWorking();
    if (working.enabled && working.image) {
        settings.background_texture_quality = working.quality;
        settings.background_image_file = working.name;
    }
    return true;
}

}  // namespace solvane
