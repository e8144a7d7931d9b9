// The Display menu.
#include <GL/gl.h>

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

#include "app/commands/handlers.h"
#include "app/eye_filter_dialog.h"
#include "app/dialogs.h"
#include "app/image_chooser.h"
#include "app/print_view.h"
#include "app/view_widget.h"
#include "viewer/camera.h"
#include "viewer/capture.h"
#include "viewer/snapshots.h"
#include "viewer/viewer.h"

namespace solvane::commands {
namespace {

// The filter image comes through the image chooser and its loading box, opened in the folder of the
// current filter image, else the model's. Only background and texture-map images are reported.
FilterImageSource FilterImageChooser(CommandContext& context)
{
    return [&context](QWidget* parent) -> std::shared_ptr<const Texture> {
        const std::string& current = context.viewer().eyeFilter.ImagePath();
        const QString file = current.empty() ? context.CurrentPath() : QString::fromStdString(current);
        const QString folder = file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
        std::optional<ChosenImage> chosen = ChooseAndLoadImage(parent, folder, {});
        if (!chosen || !chosen->image) return nullptr;
        chosen->image->name = chosen->path.toStdString();
        return std::shared_ptr<const Texture>(std::move(chosen->image));
    };
}

}  // namespace

void CopyToClipboard(CommandContext& context, const CommandRow&)
{
    const std::unique_ptr<Texture> picture = context.CaptureViewPicture();
    if (!picture) return;
    // An image on the clipboard: other programs paste it as a picture (image/png and the like).
    QGuiApplication::clipboard()->setImage(PictureImage(*picture));
}

void ResetView(CommandContext& context, const CommandRow&)
{
    Viewer& viewer = context.viewer();
    StopSpinning(viewer.camera, context.settings(), context.View()->Tick());
    context.WithGl([&] { viewer.ResetView(false); });
}

// Solid, wireframe or hidden lines: only solid culls faces.
void DisplayMode(CommandContext& context, const CommandRow&)
{
    context.WithGl([&] { context.viewer().ApplyCullingState(); });
}

void Lighting(CommandContext& context, const CommandRow&)
{
    Viewer& viewer = context.viewer();
    if (!context.settings().light) {
        context.WithGl([] {
            glDisable(GL_LIGHTING);
            glDisable(GL_LIGHT0);
        });
        return;
    }
    const Model* model = context.CurrentModel();
    if (model && model->subMeshes[0].normals.empty()) GenerateNormalsWithStatus(context);
    context.WithGl([&] { viewer.SetLightColour(viewer.lightColor); });
}

void Texturing(CommandContext& context, const CommandRow&)
{
    context.WithGl([&] { context.viewer().TexturingChanged(); });
}

void Culling(CommandContext& context, const CommandRow&)
{
    context.WithGl([&] { context.viewer().ApplyCullingState(); });
}

void TakeSnapshot(CommandContext& context, const CommandRow&)
{
    SnapshotOutcome outcome = SnapshotOutcome::Taken;
    context.WithGl([&] { outcome = solvane::TakeSnapshot(context.viewer()); });
    context.UpdateCommandStates();
    // The capture drew into the view without its thumbnails: it is drawn whole again after the box.
    context.Repaint();
    if (outcome == SnapshotOutcome::NoBits) {
        QMessageBox::critical(context.Window(), "no bits, huh?", "COULDn'T GET NO BITS!");
    } else if (outcome == SnapshotOutcome::Full) {
        QMessageBox::critical(context.Window(), "AHHHHHHHHHH!!!!!!!!!!!!!", "TOO MANY SNAP!!!!!!");
    }
}

void ClearSnapshots(CommandContext& context, const CommandRow&)
{
    context.WithGl([&] { ClearAllSnapshots(context.viewer()); });
    context.UpdateCommandStates();
}

void EyeFilter(CommandContext& context, const CommandRow&)
{
    Viewer& viewer = context.viewer();
    RunEyeFilterDialog(context.Window(), context.settings(), viewer.eyeFilter, [&context] { context.Repaint(); },
                       FilterImageChooser(context));
}

}  // namespace solvane::commands
