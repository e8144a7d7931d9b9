// The Options menu.
#include <QWidget>
#include <QWindow>

#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "app/settings_store.h"
#include "app/view_widget.h"
#include "app/wizard.h"
#include "viewer/camera.h"
#include "viewer/snapshots.h"
#include "viewer/viewer.h"

namespace solvane::commands {

// The quality is set; the shown model's textures are scaled again to it.
void TextureQuality(CommandContext& context, const CommandRow&)
{
    if (!context.CurrentModel()) return;
    Viewer& viewer = context.viewer();
    RunStatusTask(context.Window(), "Adjusting texture quality, please wait...", [&](StatusBox& box) {
        context.WithGl([&] {
            viewer.ReuploadModelTextures([&](int64_t done, int64_t total) {
                if (total > 0) box.SetProgress(static_cast<int>(done * 500 / total));
            });
        });
    });
}

// The thumbnails keep their places; their corner buttons follow the size.
void SnapshotSize(CommandContext& context, const CommandRow&)
{
    Settings& settings = context.settings();
    settings.snapshotMargin = SnapshotButtonForEdge(settings.current_snapshot_size);
}

// Rotation turns about the pivot: find where it is on screen now.
void RotateMode(CommandContext& context, const CommandRow&)
{
    context.WithGl([&] { context.viewer().LocatePivot(); });
}

void Spin(CommandContext& context, const CommandRow&)
{
    if (!context.settings().inertial_rotation) {
        StopSpinning(context.viewer().camera, context.settings(), context.View()->Tick());
    }
}

// Topmost or not, without moving, sizing or activating the window.
void AlwaysOnTop(CommandContext& context, const CommandRow&)
{
    QWidget* window = context.Window();
    const bool onTop = context.settings().always_on_top;
    if (QWindow* handle = window->windowHandle()) {
        handle->setFlag(Qt::WindowStaysOnTopHint, onTop);
    } else {
        window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
}

// Off: both panels come loose from the main window. On: each docks where it is, if it can.
void DockableWindows(CommandContext& context, const CommandRow&)
{
    Settings& settings = context.settings();
    if (!settings.dock) {
        settings.fb_docked = -1;
        settings.mi_docked = -1;
        return;
    }
    context.ReevaluatePanelDocking();
}

void SaveAllSettings(CommandContext& context, const CommandRow&)
{
    context.RecordBandPlacement();
    WriteAll(context.settings());
}

// The wizard from the menu starts at its associations page; what it changes is stored with the
// next write of all settings.
void RunWizard(CommandContext& context, const CommandRow&)
{
    RunConfigurationWizard(context.Window(), false, context.settings());
}

}  // namespace solvane::commands
