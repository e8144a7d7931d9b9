// The Scene menu.
#include <QFileInfo>

#include "app/background_dialog.h"
#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "app/image_chooser.h"
#include "app/view_widget.h"
#include "viewer/viewer.h"

namespace solvane::commands {
namespace {

// The folder a background image is chosen in: the current image's, else the model's.
QString BackgroundFolder(CommandContext& context)
{
    const std::string& current = context.viewer().background.fileName;
    const QString file = current.empty() ? context.CurrentPath() : QString::fromStdString(current);
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}

}  // namespace

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

void BackgroundTexture(CommandContext& context, const CommandRow&)
{
    QWidget* window = context.Window();
    BackgroundHooks hooks;
    hooks.chooseImage = [&] {
        return ChooseAndLoadImage(window, BackgroundFolder(context),
                                  [&](const ImageLoadOutcome& outcome) { context.ImageLoaded(outcome); });
    };
    hooks.repaint = [&] { context.Repaint(); };
    RunBackgroundDialog(window, window, context.ToolBandHeight(), context.viewer(), context.settings(), hooks);
}

void LoadBackgroundAtStart(CommandContext& context)
{
    Settings& settings = context.settings();
    if (!settings.using_background_image || settings.background_image_file.empty()) return;
    const QString file = QString::fromStdString(settings.background_image_file);
    std::unique_ptr<Texture> image = LoadImageWithStatus(
        context.Window(), file, [&](const ImageLoadOutcome& outcome) { context.ImageLoaded(outcome); });
    if (!image) return;
    context.viewer().SetBackgroundImage(std::move(image), settings.background_image_file,
                                        settings.background_texture_quality, true);
    context.Repaint();
}

// The depth-cueing colour lasts for the run only.
void DepthCueColor(CommandContext& context, const CommandRow&)
{
    if (const auto color = ChooseColor(context.Window())) context.settings().depthCueColor = *color;
}

// Light 0's diffuse and specular colour; for the run only (scene files carry their own).
void LightColor(CommandContext& context, const CommandRow&)
{
    const auto color = ChooseColor(context.Window());
    if (!color) return;
    context.WithGl([&] { context.viewer().SetLightColour(*color); });
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
