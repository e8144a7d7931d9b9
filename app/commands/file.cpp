// The File menu.
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <algorithm>
#include <optional>

#include "app/commands/handlers.h"
#include "app/choosers.h"
#include "app/dialogs.h"
#include "app/html_export_dialog.h"
#include "app/view_widget.h"
#include "viewer/html_export.h"
#include "app/print_view.h"
#include "app/saving.h"
#include "image/image_writer.h"
#include "load/save.h"
#include "viewer/capture.h"
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

// The view's picture at the window's size, in the chosen row's format, behind the saving box.
void ExportImage(CommandContext& context, const CommandRow&)
{
    const auto chosen = ChooseImageToExport(context.Window(), context.CurrentPath());
    if (!chosen) return;
    const std::unique_ptr<Texture> picture = context.CaptureViewPicture();
    if (!picture) return;
    const ImageWriterRow& row = kImageWriterRows[std::clamp<size_t>(static_cast<size_t>(std::max(chosen->row, 0)), 0,
                                                                    kImageWriterRows.size() - 1)];
    const std::string path = QFile::encodeName(chosen->path).toStdString();
    SaveOutcome outcome;
    outcome.kind = SaveOutcome::Kind::Image;
    outcome.formatName = row.formatName;
    outcome.start = std::time(nullptr);
    const ImageRows rows{picture->pixels.data(), picture->width, picture->height, true};
    SaveContext save;
    outcome.success = RunWriter(context.Window(), save, [&](SaveContext& ctx) {
        return WriteImageRows(rows, path, row.type, ImageWriteOptions(), ctx);
    });
    if (outcome.success) {
        outcome.width = picture->width;
        outcome.height = picture->height;
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

// The page's place, then its options, then the page with its pictures under the saving box.
void ExportHtml(CommandContext& context, const CommandRow&)
{
    if (context.LoadRunning()) return;
    const auto chosen = ChooseWebPageToSave(context.Window(), context.CurrentPath());
    // The chooser runs its own loop: the model may have gone or a load begun meanwhile.
    const Model* model = context.CurrentModel();
    if (!chosen || !model || context.LoadRunning()) return;
    HtmlExportOptions& options = context.HtmlOptions();
    if (!RunHtmlExportDialog(context.Window(), context.Window(), context.ToolBandHeight(), *model, options)) return;
    std::string error;
    bool written = false;
    RunSavingTask(context.Window(), [&](SavingBox& box) {
        const auto capture = [&](const HtmlPictureRequest& request) { return context.View()->CapturePagePicture(request); };
        const auto progress = [&](int done, int total) { box.SetProgress(total > 0 ? done * 500 / total : 500); };
        written = WriteHtmlPage(*model, context.CurrentPath().toStdString(), options, chosen->path.toStdString(), capture,
                                &error, progress);
    });
    if (!written) ShowError(context.Window(), QString::fromStdString(error));
}

// The toggles have set their flag: the panel follows it.
void FileBrowser(CommandContext& context, const CommandRow&)
{
    context.SetPanelOpen(PanelId::FileBrowser, context.settings().file_browser != 0);
}

void FileInfo(CommandContext& context, const CommandRow&)
{
    context.SetPanelOpen(PanelId::ModelInfo, context.settings().model_info != 0);
}

}  // namespace solvane::commands
