// Choosing and reading an image file: the image chooser, the "Image Loading Status..." box shown
// while the image is read, and the open2d report of every read. The background image, the texture
// map and the eye filter all take their images through here.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>

#include "app/choosers.h"
#include "core/format_id.h"
#include "core/model.h"

namespace solvane {

// What became of one image read, for the open2d report.
struct ImageLoadOutcome {
    bool success = false;
    FormatId format = Format::Unknown;
    std::time_t start = 0;  // when the read began
    int32_t width = 0;
    int32_t height = 0;
};
// Called after each read of a recognised image file, successful or not.
using ImageLoadedHook = std::function<void(const ImageLoadOutcome&)>;

// The image chooser: the dialog's own title, one row per image kind, "*.*" as the initial name,
// files that exist; opened in directory.
ChooserSetup ImageChooser(const QString& directory);
// Shows the image chooser: the chosen path, or nothing when cancelled.
std::optional<QString> ChooseImageFile(QWidget* parent, const QString& directory);

// LOAD2DBOX: "Image Loading Status..." with "Importing Image Data, One Moment Please...".
class ImageLoadingBox : public QDialog {
public:
    explicit ImageLoadingBox(QWidget* parent);
};

// Reads the image at path (surrounding double quotes removed; its kind from the last three
// characters of the name) behind the loading box, keeping the window painted meanwhile, and
// reports the read through report. The image is named after the path. On failure the error box
// says why and the result is null; a name of no image kind is refused without reading.
std::unique_ptr<Texture> LoadImageWithStatus(QWidget* parent, const QString& path, const ImageLoadedHook& report);

struct ChosenImage {
    QString path;
    std::unique_ptr<Texture> image;
};
// The chooser, then LoadImageWithStatus on the chosen file. Nothing when the chooser was cancelled
// or the image could not be read.
std::optional<ChosenImage> ChooseAndLoadImage(QWidget* parent, const QString& directory, const ImageLoadedHook& report);

// Texts of the error box for images that cannot be read.
QString UnknownImageKindMessage(const QString& path);
QString UnreadableImageMessage(const QString& path);

}  // namespace solvane
