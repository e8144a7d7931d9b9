// The File menu.
#include <QFileInfo>
#include <QWidget>

#include "app/commands/handlers.h"
#include "app/choosers.h"
#include "app/dialogs.h"
#include "app/html_export_dialog.h"
#include "app/view_widget.h"
#include "viewer/html_export.h"
#include "app/print_view.h"

namespace solvane::commands {

void Open(CommandContext& context, const CommandRow&)
{
    if (context.LoadRunning()) return;
    const auto path = ChooseModelToOpen(context.Window(), QFileInfo(context.CurrentPath()).absolutePath());
    // The chooser runs its own loop: a load may have started meanwhile (a drop).
    if (path && !context.LoadRunning()) context.StartModelLoad(*path);
}

void Close(CommandContext& context, const CommandRow&)
{
    context.CloseModel();
}

void ExportToPrinter(CommandContext& context, const CommandRow&)
{
    PrintView(context.Window(), context.View());
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
