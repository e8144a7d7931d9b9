#include "app/html_export_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "app/choosers.h"
#include "app/dialogs.h"
#include "core/saturating.h"

namespace solvane {
namespace {

QString RgbText(const std::array<int, 3>& rgb)
{
    return QString::asprintf("RGB: (%d,%d,%d)", rgb[0], rgb[1], rgb[2]);
}

std::array<int, 3> ToBytes(const std::array<float, 3>& color)
{
    // Each component x 255, truncated: the chooser's 8-bit channels come back as they were.
    std::array<int, 3> rgb{};
    for (int k = 0; k < 3; ++k) rgb[k] = std::clamp(TruncateToInt(color[k] * 255.0f), 0, 255);
    return rgb;
}

// One check box of the dialog: its text, its object name and its option.
struct FlagBox {
    const char* text;
    const char* name;
    bool HtmlExportOptions::*flag;
};
constexpr FlagBox kFlagBoxes[] = {
    {"No Image", "no_image", &HtmlExportOptions::noImage},
    {"Single Image View", "single_image", &HtmlExportOptions::singleImage},
    {"Absolute Links", "absolute_links", &HtmlExportOptions::absoluteLinks},
    {"No Geometry Info", "no_geometry", &HtmlExportOptions::noGeometry},
    {"No Material(s) Info", "no_materials", &HtmlExportOptions::noMaterials},
    {"No Texture(s) Info", "no_textures", &HtmlExportOptions::noTextures},
    {"No Animation Info", "no_animation", &HtmlExportOptions::noAnimation},
    {"Dump All Data", "dump_all", &HtmlExportOptions::dumpAll},
    {"No Solvane Message", "no_message", &HtmlExportOptions::noMessage},
    {"Zoomable Images", "zoomable", &HtmlExportOptions::zoomable},
};
constexpr int kNoImage = 0, kSingleImage = 1, kNoMaterials = 4, kNoTextures = 5, kNoAnimation = 6;

}  // namespace

uint64_t ReadDialogNumber(const QString& text, bool* complete)
{
    const QString trimmed = text.trimmed();
    uint64_t value = 0;
    qsizetype i = 0;
    // Saturate far beyond any size the dialog accepts, so that a long run of digits stays large.
    for (; i < trimmed.size() && trimmed[i].isDigit() && trimmed[i].unicode() < 128; ++i) {
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(trimmed[i].unicode() - '0'), 1ull << 40);
    }
    if (complete) *complete = i > 0 && i == trimmed.size() && value <= std::numeric_limits<uint32_t>::max();
    return value;
}

bool ModelHasTextureInfo(const Model& model)
{
    return model.hasTextures != 0;
}

bool ModelHasAnimationInfo(const Model& model)
{
    for (const SubMesh& mesh : model.subMeshes) {
        if (mesh.FrameCount() >= 2) return true;
    }
    return false;
}

bool ModelHasMaterialInfo(const Model& model)
{
    return !model.materials.empty();
}

bool RunHtmlExportDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, const Model& model,
                         HtmlExportOptions& options)
{
    const HtmlExportOptions opening = options;  // Cancel puts these back
    QDialog dialog(parent);
    dialog.setObjectName("HTML_EXPORT");
    dialog.setWindowTitle("HTML Export...");
    ApplyDialogLook(&dialog);
    auto* layout = new QVBoxLayout(&dialog);

    // Colours and picture size.
    auto* look = new QGroupBox("Page");
    auto* lookLayout = new QGridLayout(look);
    auto* pageColor = new QPushButton("Page Color");
    pageColor->setObjectName("page_color");
    auto* pageColorText = new QLabel(RgbText(options.pageColor));
    pageColorText->setObjectName("page_color_text");
    auto* textColor = new QPushButton("Text Color");
    textColor->setObjectName("text_color");
    auto* textColorText = new QLabel(RgbText(options.textColor));
    textColorText->setObjectName("text_color_text");
    lookLayout->addWidget(pageColor, 0, 0);
    lookLayout->addWidget(pageColorText, 0, 1);
    lookLayout->addWidget(textColor, 1, 0);
    lookLayout->addWidget(textColorText, 1, 1);
    auto* width = new QLineEdit(QString::asprintf("%d", options.imageWidth));
    width->setObjectName("width");
    auto* height = new QLineEdit(QString::asprintf("%d", options.imageHeight));
    height->setObjectName("height");
    lookLayout->addWidget(new QLabel("Image Width"), 2, 0);
    lookLayout->addWidget(width, 2, 1);
    lookLayout->addWidget(new QLabel("Image Height"), 3, 0);
    lookLayout->addWidget(height, 3, 1);
    layout->addWidget(look);

    // Header and footer files.
    auto* files = new QGroupBox("Header and Footer Files");
    auto* filesLayout = new QGridLayout(files);
    auto* header = new QPushButton("Header");
    header->setObjectName("header");
    auto* headerPath = new QLineEdit(QString::fromStdString(options.headerPath));
    headerPath->setObjectName("header_path");
    auto* footer = new QPushButton("Footer");
    footer->setObjectName("footer");
    auto* footerPath = new QLineEdit(QString::fromStdString(options.footerPath));
    footerPath->setObjectName("footer_path");
    for (QLineEdit* path : {headerPath, footerPath}) {
        path->setMaxLength(static_cast<int>(kMaxHtmlIncludePath));
        path->setMinimumWidth(260);
    }
    filesLayout->addWidget(header, 0, 0);
    filesLayout->addWidget(headerPath, 0, 1);
    filesLayout->addWidget(footer, 1, 0);
    filesLayout->addWidget(footerPath, 1, 1);
    layout->addWidget(files);

    // The switches.
    auto* switches = new QGroupBox("Options");
    auto* switchesLayout = new QGridLayout(switches);
    QCheckBox* boxes[std::size(kFlagBoxes)] = {};
    for (size_t i = 0; i < std::size(kFlagBoxes); ++i) {
        boxes[i] = new QCheckBox(kFlagBoxes[i].text);
        boxes[i]->setObjectName(kFlagBoxes[i].name);
        boxes[i]->setChecked(options.*kFlagBoxes[i].flag);
        switchesLayout->addWidget(boxes[i], static_cast<int>(i % 5), static_cast<int>(i / 5));
    }
    layout->addWidget(switches);
    boxes[kSingleImage]->setEnabled(!options.noImage);
    // Sections the model has nothing for are off, and stay off.
    const auto forceOff = [&](int index) {
        boxes[index]->setChecked(true);
        boxes[index]->setEnabled(false);
    };
    if (!ModelHasTextureInfo(model)) forceOff(kNoTextures);
    if (!ModelHasAnimationInfo(model)) forceOff(kNoAnimation);
    if (!ModelHasMaterialInfo(model)) forceOff(kNoMaterials);

    const auto [ok, cancel] = AddOkCancelRow(layout);

    QObject::connect(boxes[kNoImage], &QCheckBox::toggled, &dialog,
                     [&](bool on) { boxes[kSingleImage]->setEnabled(!on); });
    const auto chooseColor = [&](std::array<int, 3>& target, QLabel* shown) {
        if (const auto color = ChooseColor(&dialog)) {
            target = ToBytes(*color);
            shown->setText(RgbText(target));
        }
    };
    QObject::connect(pageColor, &QPushButton::clicked, &dialog, [&] { chooseColor(options.pageColor, pageColorText); });
    QObject::connect(textColor, &QPushButton::clicked, &dialog, [&] { chooseColor(options.textColor, textColorText); });
    QObject::connect(header, &QPushButton::clicked, &dialog, [&] {
        if (const auto path = ChooseAnyFile(&dialog)) headerPath->setText(*path);
    });
    QObject::connect(footer, &QPushButton::clicked, &dialog, [&] {
        if (const auto path = ChooseAnyFile(&dialog)) footerPath->setText(*path);
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        for (size_t i = 0; i < std::size(kFlagBoxes); ++i) options.*kFlagBoxes[i].flag = boxes[i]->isChecked();
        options.headerPath = headerPath->text().left(static_cast<int>(kMaxHtmlIncludePath)).toStdString();
        options.footerPath = footerPath->text().left(static_cast<int>(kMaxHtmlIncludePath)).toStdString();
        bool widthRead = false, heightRead = false;
        const uint64_t w = ReadDialogNumber(width->text(), &widthRead);
        const uint64_t h = ReadDialogNumber(height->text(), &heightRead);
        // The files first, then the sizes; each failure keeps the dialog open as typed.
        HtmlExportOptions checked = options;
        checked.imageWidth = static_cast<int>(std::min<uint64_t>(w, kMaxHtmlImageWidth + 1));
        checked.imageHeight = static_cast<int>(std::min<uint64_t>(h, kMaxHtmlImageHeight + 1));
        const std::string problem = HtmlOptionsProblem(checked);
        if (!problem.empty()) {
            ShowError(&dialog, QString::fromStdString(problem));
            return;
        }
        if (!widthRead || !heightRead) {
            ShowError(&dialog, "Image width and height must be valid numbers.");
            return;
        }
        options.imageWidth = checked.imageWidth;
        options.imageHeight = checked.imageHeight;
        dialog.accept();
    });

    PlaceAtBottomLeft(&dialog, mainWindow, toolBandHeight);
    if (dialog.exec() == QDialog::Accepted) return true;
    options = opening;
    return false;
}

}  // namespace solvane
