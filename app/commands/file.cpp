// The File menu.
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <algorithm>
#include <optional>

#include "app/commands/handlers.h"
#include "app/choosers.h"
#include "app/dialogs.h"
#include "app/print_view.h"
#include "app/saving.h"
#include "load/save.h"
#include "viewer/scene_record.h"

namespace solvane::commands {

void Open(CommandContext& context, const CommandRow&)
{
    if (context.LoadRunning()) return;
    const auto path = ChooseModelToOpen(context.Window(), QFileInfo(context.CurrentPath()).absolutePath());
    // The chooser runs its own loop: a load may have started meanwhile (a drop).
    if (path && !context.LoadRunning()) context.StartModelLoad(*path);
}

void SaveAs(CommandContext& context, const CommandRow&)
{
    if (context.LoadRunning()) return;
    const Model* model = context.CurrentModel();
    if (!model) return;
    const auto chosen = ChooseModelToSave(context.Window(), context.CurrentPath(), model->formatId);
    // The chooser runs its own loop: a load may have started meanwhile (a drop).
    if (!chosen || context.LoadRunning() || context.CurrentModel() != model) return;
    const auto rows = SaveChooserRows();
    const WriterEntry& entry = rows[std::min<size_t>(static_cast<size_t>(chosen->row), rows.size() - 1)];

    // A scene file keeps the view as it is now.
    std::optional<SceneRecord> scene;
    if (entry.withScene) scene = CaptureSceneRecord(context.viewer(), context.settings());
    const std::string path = QFile::encodeName(chosen->path).toStdString();
    SaveOutcome outcome;
    outcome.kind = SaveOutcome::Kind::Model;
    outcome.formatName = entry.reportName;
    outcome.start = std::time(nullptr);
    outcome.model = model;
    SaveContext save;
    outcome.success = RunWriter(context.Window(), save, [&](SaveContext& ctx) {
        return SaveModelFile(*model, path, entry, ctx, scene ? &*scene : nullptr);
    });
    if (outcome.success) {
        context.AddRecentWrite(chosen->path);
    } else {
        ShowError(context.Window(), save.error.empty() ? QString("The file could not be written: %1").arg(chosen->path)
                                                       : QString::fromStdString(save.error));
    }
    context.Saved(outcome);
}

void Close(CommandContext& context, const CommandRow&)
{
    context.CloseModel();
}

void ExportToPrinter(CommandContext& context, const CommandRow&)
{
    PrintView(context.Window(), context.View());
}

void ClearRecentReads(CommandContext& context, const CommandRow&)
{
    context.ClearRecent(RecentList::Reads);
}

void ClearRecentWrites(CommandContext& context, const CommandRow&)
{
    context.ClearRecent(RecentList::Writes);
}

void Quit(CommandContext& context, const CommandRow&)
{
    context.Window()->close();
}

}  // namespace solvane::commands
