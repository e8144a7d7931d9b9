// The Display menu.
#include <GL/gl.h>

#include "app/commands/handlers.h"
#include "app/view_widget.h"
#include "viewer/camera.h"
#include "viewer/viewer.h"

namespace solvane::commands {

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

}  // namespace solvane::commands
