// The Help menu.
#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "viewer/viewer.h"

namespace solvane::commands {

void HardwareReport(CommandContext& context, const CommandRow&)
{
    QString text;
    context.WithGl([&] { text = QString::fromStdString(HardwareReportText(context.viewer().view)); });
    ShowHardwareReport(context.Window(), text);
}

void About(CommandContext& context, const CommandRow&)
{
    ShowAboutBox(context.Window());
}

}  // namespace solvane::commands
