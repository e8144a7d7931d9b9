// The File menu.
#include <QFileInfo>
#include <QWidget>

#include "app/commands/handlers.h"
#include "app/choosers.h"
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

}  // namespace solvane::commands
