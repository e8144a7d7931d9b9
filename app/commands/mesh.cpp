// The Mesh menu: each operation changes the shown model in place under a status box, then its
// display lists are rebuilt.
#include <QMessageBox>

#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "core/mesh_ops.h"

namespace solvane::commands {

void Material(CommandContext& context, const CommandRow&)
{
    const auto color = ChooseColor(context.Window());
    if (!color) return;
    Settings& settings = context.settings();
    settings.fg_color_r = (*color)[0];
    settings.fg_color_g = (*color)[1];
    settings.fg_color_b = (*color)[2];
    Model& model = *context.CurrentModel();
    RunStatusTask(context.Window(), "Updating material, please wait...", [&](StatusBox&) {
        ApplyColor(model, *color);
        context.RebuildLists(true);
        FinishApplyColor(model);
    });
}

void Triangulate(CommandContext& context, const CommandRow&)
{
    bool changed = false;
    RunStatusTask(context.Window(), "Converting all faces to triangles, please wait...", [&](StatusBox&) {
        changed = TriangulateModel(*context.CurrentModel());
        if (changed) context.RebuildLists(false);
    });
    if (!changed) QMessageBox::information(context.Window(), kAlreadyTrianglesTitle, kAlreadyTrianglesText);
    context.SyncUiWithState();  // the polygon count changed
}

void GenerateNormalsWithStatus(CommandContext& context)
{
    Model* model = context.CurrentModel();
    if (!model) return;
    RunStatusTask(context.Window(), "Generating light data, please wait...", [&](StatusBox&) {
        GenerateNormalsForFormat(*model);
        context.RebuildLists(false);
    });
}

void GenerateNormals(CommandContext& context, const CommandRow&)
{
    GenerateNormalsWithStatus(context);
}

void InvertNormals(CommandContext& context, const CommandRow&)
{
    RunStatusTask(context.Window(), "Inverting light direction, please wait...", [&](StatusBox&) {
        ScaleNormals(*context.CurrentModel(), -1.0f);
        context.RebuildLists(false);
    });
}

}  // namespace solvane::commands
