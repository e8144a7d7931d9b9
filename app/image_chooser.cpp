#include "app/image_chooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QVBoxLayout>

#include <chrono>
#include <future>

#include "app/dialogs.h"
#include "image/image.h"

namespace solvane {
namespace {

QString Unquoted(const QString& path)
{
    if (path.size() >= 2 && path.startsWith('"') && path.endsWith('"')) return path.mid(1, path.size() - 2);
    return path;
}

}  // namespace

ChooserSetup ImageChooser(const QString& directory)
{
    ChooserSetup setup;
    setup.rows = {
        {"(.bmp) Windows Bitmap (24 bit)", "*.bmp"},
        {"(.iff) IFF (ILBM) Image", "*.iff"},
        {"(.jpg) JPEG", "*.jpg"},
        {"(.pcx) PC Paintbrush (8-bit)", "*.pcx"},
        {"(.ppm) Portable RGB (24 bit)", "*.ppm"},
        {"(.tga) TGA", "*.tga"},
        {"(.png) Portable Network Graphics", "*.png"},
    };
    setup.directory = directory;
    setup.initialName = "*.*";
    setup.mustExist = true;
    return setup;
}

std::optional<QString> ChooseImageFile(QWidget* parent, const QString& directory)
{
    const auto dialog = MakeChooserDialog(parent, ImageChooser(directory));
    dialog->setObjectName("image_chooser");
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
    return dialog->selectedFiles().front();
}

ImageLoadingBox::ImageLoadingBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("LOAD2DBOX");
    setWindowTitle("Image Loading Status...");
    ApplyDialogLook(this);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel("Importing Image Data, One Moment Please...");
    text->setObjectName("text");
    layout->addWidget(text);
    setModal(false);
    CentreOverMainWindow(this, parent);
}

QString UnknownImageKindMessage(const QString& path)
{
    return QString("Only images whose names end in bmp, iff, jpg, pcx, png, ppm or tga can be read:\n%1").arg(path);
}

QString UnreadableImageMessage(const QString& path)
{
    return QString("The image could not be read. The file may be missing or damaged, or use a variant of its "
                   "format that is not supported:\n%1")
        .arg(path);
}

std::unique_ptr<Texture> LoadImageWithStatus(QWidget* parent, const QString& chosen, const ImageLoadedHook& report)
{
    const QString path = Unquoted(chosen);
    const FormatId format = ImageFormatForChosenFile(path.toStdString());
    if (format == Format::Unknown) {
        ShowError(parent, UnknownImageKindMessage(path));
        return nullptr;
    }

    ImageLoadOutcome outcome;
    outcome.format = format;
    outcome.start = std::time(nullptr);
    ImageLoadingBox box(parent);
    box.show();
    box.repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The read runs beside the interface thread so the box and the window stay painted; input
    // waits until it is done.
    const std::string file = path.toStdString();
    auto reading = std::async(std::launch::async, [file, format] { return LoadImageFile(file.c_str(), format); });
    while (reading.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        reading.wait_for(std::chrono::milliseconds(5));
    }
    std::unique_ptr<Texture> image = reading.get();
    box.close();

    outcome.success = image && image->HasPixels();
    if (outcome.success) {
        image->name = file;
        outcome.width = image->width;
        outcome.height = image->height;
    }
    if (report) report(outcome);
    if (!outcome.success) {
        ShowError(parent, UnreadableImageMessage(path));
        return nullptr;
    }
    return image;
}

std::optional<ChosenImage> ChooseAndLoadImage(QWidget* parent, const QString& directory, const ImageLoadedHook& report)
{
    const std::optional<QString> path = ChooseImageFile(parent, directory);
    if (!path) return std::nullopt;
    ChosenImage chosen{Unquoted(*path), LoadImageWithStatus(parent, *path, report)};
    if (!chosen.image) return std::nullopt;
    return chosen;
}

}  // namespace solvane
