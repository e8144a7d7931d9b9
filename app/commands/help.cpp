// The Help menu.
#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "app/help_pages.h"
#include "viewer/viewer.h"

namespace solvane::commands {

void HardwareReport(CommandContext& context, const CommandRow&)
{
    QString text;
    context.WithGl([&] { text = QString::fromStdString(HardwareReportText(context.viewer().view)); });
    ShowHardwareReport(context.Window(), text);
}

// The guide and the FAQ are pages installed with the program, shown in the desktop's browser.
void UserGuide(CommandContext& context, const CommandRow&)
{
    OpenHelpPage(context.Window(), kUserGuidePage, "the Solvane Viewer User's Guide");
}

void Faq(CommandContext& context, const CommandRow&)
{
    OpenHelpPage(context.Window(), kFaqPage, "the Solvane Viewer FAQ");
}

void About(CommandContext& context, const CommandRow&)
{
    ShowAboutBox(context.Window());
}

}  // namespace solvane::commands
