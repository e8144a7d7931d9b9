// The Mesh menu: each operation changes the shown model in place under a status box, then its
// display lists are rebuilt (the box's bar follows the build) and the window shows the new counts.
#include <GL/gl.h>

#include <QFileInfo>
#include <QMessageBox>

#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "app/image_chooser.h"
#include "app/mesh_dialogs.h"
#include "core/mesh_ops.h"
#include "viewer/camera.h"
#include "viewer/model_lists.h"
#include "viewer/viewer.h"

namespace solvane::commands {
namespace {

// The decimation factor lasts for the run: each opening starts from the last one chosen.
double& DecimationFactor()
{
    static double factor = 1.0;
    return factor;
}

// Positions changed: the model-wide box and centre again, keeping the camera where it is.
void RecomputeViewBox(CommandContext& context)
{
    Viewer& viewer = context.viewer();
    ComputeViewBox(viewer.camera, viewer.box, context.CurrentModel(), true);
}

}  // namespace

void Material(CommandContext& context, const CommandRow&)
{
    const auto color = ChooseColor(context.Window());
    if (!color) return;
    Settings& settings = context.settings();
    settings.fg_color_r = (*color)[0];
    settings.fg_color_g = (*color)[1];
    settings.fg_color_b = (*color)[2];
    Model& model = *context.CurrentModel();
    RunStatusTask(context.Window(), "Updating material, please wait...", [&](StatusBox& box) {
        ApplyColor(model, *color);
        context.RebuildLists(true, box);
        FinishApplyColor(model);
    });
    context.SyncUiWithState();
}

void TextureMap(CommandContext& context, const CommandRow&)
{
    Model& model = *context.CurrentModel();
    if (!ModelHasTexCoords(model)) {
        QMessageBox::warning(context.Window(), kTextureImportFailedTitle, kTextureImportNeedsTexCoordsText);
        return;
    }
    QWidget* window = context.Window();
    Viewer& viewer = context.viewer();
    const QString folder = QFileInfo(context.CurrentPath()).absolutePath();
    TextureMapHooks hooks;
    hooks.chooseImage = [&] {
        return ChooseAndLoadImage(window, folder, [&](const ImageLoadOutcome& outcome) { context.ImageLoaded(outcome); });
    };
    hooks.texturesChanged = [&](int index) {
        context.WithGl([&] {
            if (index >= 0 && index < model.TextureCount()) {
                Texture& texture = model.textures[static_cast<size_t>(index)];
                texture.textureHandle = UploadTexture(texture, texture.textureHandle,
                                                      context.settings().mapping_texture_quality, true);
            }
            viewer.BuildLists(true, nullptr);
        });
        context.Repaint();
    };
    hooks.releaseTexture = [&](uint32_t handle) {
        context.WithGl([&] {
            const GLuint name = handle;
            glDeleteTextures(1, &name);
        });
    };
    RunTextureMapDialog(window, window, context.ToolBandHeight(), model, hooks);
    context.SyncUiWithState();
}

void Scale(CommandContext& context, const CommandRow&)
{
    const std::optional<float> factor = RunScaleDialog(context.Window(), context.Window(), context.ToolBandHeight());
    if (!factor || *factor == 1.0f) return;
    Model& model = *context.CurrentModel();
    Viewer& viewer = context.viewer();
    RunStatusTask(context.Window(), "Scaling vertices, please wait...", [&](StatusBox& box) {
        ScaleModel(model, *factor);
        // The model's scale record and the camera follow, so the picture keeps its size.
        model.loadScale *= *factor;
        viewer.camera.viewDistance *= *factor;
        RecomputeViewBox(context);
        context.RebuildLists(false, box);
    });
    context.WithGl([&] { viewer.LocatePivot(); });
    context.SyncUiWithState();
}

void Decimate(CommandContext& context, const CommandRow&)
{
    const std::optional<double> factor =
        RunDecimateDialog(context.Window(), context.Window(), context.ToolBandHeight(), DecimationFactor());
    if (!factor) return;
    DecimationFactor() = *factor;
    Model& model = *context.CurrentModel();
    Viewer& viewer = context.viewer();
    RunStatusTask(context.Window(), "Decimating vertices, please wait...", [&](StatusBox& box) {
        const ViewBox& b = viewer.box;
        const double tolerance = DecimationTolerance({b.minX, b.maxX, b.minY, b.maxY, b.minZ, b.maxZ}, *factor);
        WeldVertices(model.subMeshes[0], tolerance);
        RecomputeViewBox(context);
        context.RebuildLists(false, box);
    });
    context.WithGl([&] { viewer.LocatePivot(); });
    context.SyncUiWithState();
}

void Triangulate(CommandContext& context, const CommandRow&)
{
    bool changed = false;
    RunStatusTask(context.Window(), "Converting all faces to triangles, please wait...", [&](StatusBox& box) {
        changed = TriangulateModel(*context.CurrentModel());
        if (changed) context.RebuildLists(false, box);
    });
    if (!changed) QMessageBox::information(context.Window(), kAlreadyTrianglesTitle, kAlreadyTrianglesText);
    context.SyncUiWithState();  // the polygon count changed
}

void GenerateNormalsWithStatus(CommandContext& context)
{
    Model* model = context.CurrentModel();
    if (!model) return;
    RunStatusTask(context.Window(), "Generating light data, please wait...", [&](StatusBox& box) {
        GenerateNormalsForFormat(*model);
        context.RebuildLists(false, box);
    });
}

void GenerateNormals(CommandContext& context, const CommandRow&)
{
    GenerateNormalsWithStatus(context);
    context.SyncUiWithState();
}

void InvertNormals(CommandContext& context, const CommandRow&)
{
    RunStatusTask(context.Window(), "Inverting light direction, please wait...", [&](StatusBox& box) {
        ScaleNormals(*context.CurrentModel(), -1.0f);
        context.viewer().normalsInverted = !context.viewer().normalsInverted;
        context.RebuildLists(false, box);
    });
    context.SyncUiWithState();
}

}  // namespace solvane::commands
