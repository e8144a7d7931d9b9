// The Scene menu.
#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "app/view_widget.h"
#include "viewer/viewer.h"

namespace solvane::commands {

void BackgroundColor(CommandContext& context, const CommandRow&)
{
    const auto color = ChooseColor(context.Window());
    if (!color) return;
    Settings& settings = context.settings();
    settings.bg_color_r = (*color)[0];
    settings.bg_color_g = (*color)[1];
    settings.bg_color_b = (*color)[2];
    context.WithGl([&] { context.viewer().BackgroundColorChanged(); });
}

// The depth-cueing colour lasts for the run only.
void DepthCueColor(CommandContext& context, const CommandRow&)
{
    if (const auto color = ChooseColor(context.Window())) context.settings().depthCueColor = *color;
}

void GammaCorrection(CommandContext& context, const CommandRow&)
{
    Settings& settings = context.settings();
    settings.gamma_value = RunGammaDialog(context.Window(), context.Window(), context.ToolBandHeight(),
                                          settings.gamma_value, [&](float gamma) {
                                              settings.gamma_value = gamma;
                                              context.View()->update();
                                          });
}

}  // namespace solvane::commands
