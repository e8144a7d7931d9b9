#include "app/mesh_dialogs.h"

#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

#include "app/dialogs.h"
#include "core/mesh_ops.h"
#include "core/text_scan.h"

namespace solvane {
namespace {

constexpr int kScaleTextLimit = 35;
constexpr const char* kNoneSelected = "<NONE SELECTED>";

QPushButton* Button(const QString& text, const char* name)
{
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

// OK and Cancel at the dialog's bottom right.
QHBoxLayout* OkCancelRow(QPushButton* ok, QPushButton* cancel)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    ok->setDefault(true);
    return row;
}

// Labels spread under a slider, the first at its left end and the last at its right end.
QHBoxLayout* SliderLabels(const QStringList& texts)
{
    auto* row = new QHBoxLayout;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0) row->addStretch();
        row->addWidget(new QLabel(texts[i]));
    }
    return row;
}

}  // namespace

ScaleInput ParseScaleText(const QString& input)
{
    const QString text = input.left(kScaleTextLimit);
    // Every character is looked at, and the end of the text counts as one more: after two decimal
    // points nothing may follow, not even the end.
    int separators = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (separators >= 2) return {std::nullopt, kEnterValidNumber};
        if (i == text.size()) break;
        const QChar c = text[i];
        if (c.isLetter()) return {std::nullopt, kEnterValidNumber};
        if (c == '.' || c == ',') ++separators;
    }
    std::string number = text.toStdString();
    for (char& c : number) {
        if (c == ',') c = '.';
    }
    float value = 0;
    const char* p = number.data();
    ScanFloat(p, p + number.size(), value);
    if (!(value > 0)) return {std::nullopt, kEnterPositiveNumber};
    return {value, {}};
}

std::optional<float> RunScaleDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight)
{
    QDialog dialog(parent);
    dialog.setObjectName("UI_DIALOG_SCALE");
    dialog.setWindowTitle("Adjust Model Scale...");
    ApplyDialogLook(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    auto* group = new QGroupBox("Enter Scale Factor");
    auto* groupLayout = new QVBoxLayout(group);
    auto* edit = new QLineEdit("1.0");
    edit->setObjectName("edit_1002");
    edit->setMaxLength(kScaleTextLimit);
    edit->selectAll();
    groupLayout->addWidget(edit);
    groupLayout->addWidget(new QLabel("Scale must be greater than 0.0"));
    layout->addWidget(group);
    auto* ok = Button("OK", "ok_1");
    auto* cancel = Button("Cancel", "cancel_1023");
    layout->addLayout(OkCancelRow(ok, cancel));

    std::optional<float> factor;
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        const ScaleInput input = ParseScaleText(edit->text());
        if (!input.factor) {
            ShowError(&dialog, input.message);
            edit->setFocus();
            return;
        }
        factor = input.factor;
        dialog.accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    PlaceAtBottomLeft(&dialog, mainWindow, toolBandHeight);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return factor;
}

std::optional<double> RunDecimateDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, double factor)
{
    QDialog dialog(parent);
    dialog.setObjectName("UI_DIALOG_DECIMATE");
    dialog.setWindowTitle("Decimate Model...");
    ApplyDialogLook(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    auto* group = new QGroupBox("Enter Decimation Factor");
    auto* groupLayout = new QVBoxLayout(group);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName("slider_1097");
    slider->setRange(0, 100);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(10);
    slider->setMinimumWidth(260);
    slider->setValue(static_cast<int>(factor * 100));
    groupLayout->addWidget(slider);
    groupLayout->addLayout(SliderLabels({"0%", "50%", "100%"}));
    layout->addWidget(group);
    auto* ok = Button("OK", "ok_1");
    auto* cancel = Button("Cancel", "cancel_1023");
    layout->addLayout(OkCancelRow(ok, cancel));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    PlaceAtBottomLeft(&dialog, mainWindow, toolBandHeight);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return slider->value() / 100.0;
}

bool RunTextureMapDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, Model& model,
                         const TextureMapHooks& hooks)
{
    QDialog dialog(parent);
    dialog.setObjectName("UI_DIALOG_TEXTUREMAP");
    dialog.setWindowTitle("Texture Map Parameters...");
    ApplyDialogLook(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    auto* fileGroup = new QGroupBox("Image File");
    auto* fileLayout = new QHBoxLayout(fileGroup);
    auto* path = new QLineEdit;
    path->setObjectName("path_1086");
    path->setReadOnly(true);
    path->setMinimumWidth(280);
    auto* browse = Button("Choose Image File...", "browse_1085");
    fileLayout->addWidget(path);
    fileLayout->addWidget(browse);
    layout->addWidget(fileGroup);
    auto* listGroup = new QGroupBox("Current Texture To Replace");
    listGroup->setObjectName("group_1097");
    auto* listLayout = new QVBoxLayout(listGroup);
    auto* list = new QListWidget;
    list->setObjectName("list_1024");
    list->setMaximumHeight(140);
    listLayout->addWidget(list);
    layout->addWidget(listGroup);
    auto* ok = Button("OK", "ok_1");
    auto* cancel = Button("Cancel", "cancel_2");
    layout->addLayout(OkCancelRow(ok, cancel));

    // What Cancel puts back: the colours of every material and whether a texture table existed;
    // the original of the one texture replaced at a time.
    const TextureImportUndo undo = BeginTextureImport(model);
    bool createdTable = false;
    int selected = model.textures.empty() ? -1 : 0;
    std::optional<Texture> original;  // of texture `selected`, while it is replaced

    auto fillList = [&] {
        list->clear();
        for (const Texture& texture : model.textures) list->addItem(QString::fromStdString(texture.name));
        if (selected >= 0) list->setCurrentRow(selected);
        // A model that had no textures has nothing to choose between.
        listGroup->setEnabled(undo.hadTextures);
    };
    auto restoreSelected = [&] {
        if (!original || selected < 0) return;
        const uint32_t handle = model.textures[static_cast<size_t>(selected)].textureHandle;
        model.textures[static_cast<size_t>(selected)] = std::move(*original);
        model.textures[static_cast<size_t>(selected)].textureHandle = handle;
        original.reset();
        list->item(selected)->setText(QString::fromStdString(model.textures[static_cast<size_t>(selected)].name));
        hooks.texturesChanged(selected);
    };
    auto showPath = [&] {
        if (selected < 0) path->setText(kNoneSelected);
        else path->setText(QString::fromStdString(model.textures[static_cast<size_t>(selected)].name));
    };
    fillList();
    showPath();

    QObject::connect(list, &QListWidget::currentRowChanged, &dialog, [&](int row) {
        if (row < 0 || row == selected || !undo.hadTextures) return;
        restoreSelected();
        selected = row;
        showPath();
    });
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
        std::optional<ChosenImage> chosen = hooks.chooseImage();
        if (!chosen) return;
        const int target = selected < 0 ? 0 : selected;
        std::shared_ptr<Texture> image(std::move(chosen->image));
        auto loader = [image](const char*, FormatId) {
            return std::make_unique<Texture>(std::move(*image));
        };
        // The first replacement of a texture the model had keeps its original for Cancel.
        const bool keepOriginal = selected >= 0 && !original && !createdTable;
        if (keepOriginal) original = model.textures[static_cast<size_t>(selected)];
        const TextureImportResult result = ImportTextureMap(model, chosen->path.toStdString(), loader, target);
        if (result.status != TextureImportStatus::Imported) {
            if (keepOriginal) original.reset();  // nothing was replaced
            ShowError(&dialog, UnknownImageKindMessage(chosen->path));
            return;
        }
        if (result.createdTextureTable) {
            createdTable = true;
            selected = 0;
        }
        fillList();
        path->setText(chosen->path);
        hooks.texturesChanged(target);
    });
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    PlaceAtBottomLeft(&dialog, mainWindow, toolBandHeight);
    if (dialog.exec() == QDialog::Accepted) return true;

    // Cancel: the textures as they were when the dialog opened.
    if (createdTable) {
        for (const Texture& texture : model.textures) {
            if (texture.textureHandle) hooks.releaseTexture(texture.textureHandle);
        }
        CancelTextureImport(model, undo);
        hooks.texturesChanged(-1);
    } else {
        restoreSelected();
    }
    return false;
}

}  // namespace solvane
