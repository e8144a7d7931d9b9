// solvane-cli render: loads a model, prepares it as the window does after a load, draws one frame
// in a headless GL context with the settings' defaults (or the options given) and writes the
// picture in the image format its output name's extension gives.
#include <GL/gl.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/format_id.h"
#include "core/prepare.h"
#include "core/writer_output.h"
#include "image/image_writer.h"
#include "image/image.h"
#include "load/dispatch.h"
#include "tools/cli.h"
#include "tools/cli_options.h"
#include "viewer/background.h"
#include "viewer/headless_context.h"
#include "viewer/viewer.h"

namespace solvane::cli {
namespace {

struct RenderOptions {
    std::string modelPath, outPath;
    Settings settings = DefaultSettings();
    int width = 1024, height = 768;
    float yaw = 0, pitch = 0;
    bool times = false;
    bool ppmAscii = false;
    ImageWriteOptions image;
    bool washOn = false;
    std::string filterImagePath;  // empty: no image layer
    float filterImageAlpha = 0.5f;
    std::string backgroundImage;  // empty: none
};

constexpr int kMaxSide = 8192;

// "WxH", each side a whole number from 1 to kMaxSide.
bool ParseSize(std::string_view text, int& width, int& height)
{
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    int parsed[2] = {0, 0};
    const std::string_view parts[2] = {text.substr(0, x), text.substr(x + 1)};
    for (int k = 0; k < 2; ++k) {
        const char* end = parts[k].data() + parts[k].size();
        const auto [ptr, error] = std::from_chars(parts[k].data(), end, parsed[k]);
        if (parts[k].empty() || error != std::errc() || ptr != end || parsed[k] < 1 || parsed[k] > kMaxSide) return false;
    }
    width = parsed[0];
    height = parsed[1];
    return true;
}

// "R,G,B", three numbers.
bool ParseColour(std::string_view text, std::array<float, 3>& colour)
{
    std::array<float, 3> parsed{};
    for (int k = 0; k < 3; ++k) {
        const size_t comma = k < 2 ? text.find(',') : text.size();
        if (comma == std::string_view::npos || !ParseNumber(text.substr(0, comma), parsed[k])) return false;
        text.remove_prefix(k < 2 ? comma + 1 : comma);
    }
    colour = parsed;
    return true;
}

// "R,G,B,AMOUNT": the wash colour and amount, four numbers from 0 to 1.
bool ParseWash(std::string_view text, std::array<float, 3>& colour, float& amount)
{
    const size_t comma = text.rfind(',');
    float parsedAmount = 0;
    std::array<float, 3> parsedColour{};
    if (comma == std::string_view::npos || !ParseColour(text.substr(0, comma), parsedColour) ||
        !ParseNumber(text.substr(comma + 1), parsedAmount)) {
        return false;
    }
    for (const float value : {parsedColour[0], parsedColour[1], parsedColour[2], parsedAmount}) {
        if (value < 0 || value > 1) return false;
    }
    colour = parsedColour;
    amount = parsedAmount;
    return true;
}

// "FILE[,ALPHA]": the filter image and its opacity from 0 to 1 (0.5 when not given). A file of the
// whole name wins; otherwise a number after the last comma is the opacity.
bool ParseFilterImage(std::string_view text, std::string& path, float& alpha)
{
    if (text.empty()) return false;
    const size_t comma = text.rfind(',');
    float parsedAlpha = 0.5f;
    if (comma != std::string_view::npos && !std::filesystem::exists(std::string(text)) &&
        ParseNumber(text.substr(comma + 1), parsedAlpha)) {
        if (parsedAlpha < 0 || parsedAlpha > 1 || comma == 0) return false;
        text = text.substr(0, comma);
    } else {
        parsedAlpha = 0.5f;
    }
    path = std::string(text);
    alpha = parsedAlpha;
    return true;
}

// A default value for the help, written without the locale.
std::string DefaultText(float value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int RunRender(const RenderOptions& options)
{
    const std::optional<ImageFileType> imageType = ImageFileTypeFromPath(options.outPath, options.ppmAscii);
    Settings settings = options.settings;
    const int width = options.width, height = options.height;
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Model> model = LoadModelOrSayWhy(options.modelPath);
    if (!model) return 1;
    const double loadSeconds = Seconds(start);

    std::shared_ptr<Texture> filterImage;
    if (!options.filterImagePath.empty()) {
        // Named as in the viewer's image chooser: the kind is the name's last three characters.
        if (ImageFormatForChosenFile(options.filterImagePath) == Format::Unknown) {
            std::fprintf(stderr, "solvane-cli render: %s: not an image file this program reads (bmp, iff, jpg, pcx, "
                         "png, ppm, tga)\n", options.filterImagePath.c_str());
            return 1;
        }
        filterImage = LoadChosenImage(options.filterImagePath);
        if (!filterImage) {
            std::fprintf(stderr, "solvane-cli render: %s: cannot read the filter image\n", options.filterImagePath.c_str());
            return 1;
        }
        filterImage->name = options.filterImagePath;
    }

    HeadlessContext context;
    if (!context.Create(width, height)) {
        std::fprintf(stderr, "solvane-cli render: no headless GL context: %s\n", context.Error().c_str());
        return 3;
    }
    Viewer viewer(settings);
    if (!options.backgroundImage.empty()) {
        std::string error;
        if (!LoadBackgroundImageFile(viewer, options.backgroundImage, settings.background_texture_quality, error)) {
            std::fprintf(stderr, "solvane-cli render: %s\n", error.c_str());
            return 1;
        }
    }
    viewer.InitGl();
    viewer.ResizeView(width, height);
    if (settings.texturing) glEnable(GL_TEXTURE_2D);
    // The eye filter: the image layer, then the wash over it.
    viewer.eyeFilter.washOn = options.washOn;
    if (filterImage) {
        viewer.eyeFilter.SetImage(std::move(filterImage));
        viewer.eyeFilter.imageOn = true;
        viewer.eyeFilter.imageAlpha = options.filterImageAlpha;
    }

    // The steps of a finished load: defaults and size, then normals and tessellation, then lists.
    auto prepareStart = std::chrono::steady_clock::now();
    PrepareModelData(*model, settings);
    std::vector<std::string> errors;
    FinishLoadedModel(*model, settings, &errors);
    for (const std::string& error : errors) std::fprintf(stderr, "%s\n", error.c_str());
    const double prepareSeconds = Seconds(prepareStart);

    const auto compileStart = std::chrono::steady_clock::now();
    viewer.SetModel(model.get());
    viewer.PrepareModelGl(nullptr);
    glFinish();
    const double compileSeconds = Seconds(compileStart);
    viewer.ResetView(false);
    viewer.ApplyCullingState();
    if (settings.light) viewer.SetLightColour(viewer.lightColor);
    viewer.camera.modelRotation = Multiply(RotationMatrix(options.pitch, 1, 0, 0), RotationMatrix(options.yaw, 0, 1, 0));

    const auto frameStart = std::chrono::steady_clock::now();
    viewer.DrawFrame(FrameMode::Render);
    glFinish();
    const double frameSeconds = Seconds(frameStart);
    Texture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = context.ReadPixels();
    viewer.SetModel(nullptr);
    ReleaseModelLists(*model);
    viewer.ReleaseGl();
    SaveContext save;
    if (!WriteImageFile(picture, options.outPath, *imageType, options.image, save)) {
        std::fprintf(stderr, "solvane-cli render: %s\n", save.error.c_str());
        return 1;
    }
    if (options.times) {
        std::fprintf(stderr, "load %.3f s, prepare %.3f s, compile %.3f s, frame %.3f s, total %.3f s\n", loadSeconds,
                     prepareSeconds, compileSeconds, frameSeconds, Seconds(start));
    }
    return 0;
}

}  // namespace

CommandRun AddRenderCommand(CLI::App& command)
{
    auto o = std::make_shared<RenderOptions>();
    Settings& settings = o->settings;
    command.add_option("FILE", o->modelPath, "the model to draw")->type_name("")->required();
    command.add_option("OUT", o->outPath,
                       "the image file to write, in the format its extension names: png, bmp (24 bit), jpg, pcx "
                       "(8 bit, 256 colours by median cut), ppm or tga (24 bit)")
        ->type_name("")
        ->required()
        ->check(ImageExtensionCheck());

    const auto onOff = [&command](const std::string& name, uint8_t& target, const char* what) {
        AddParsedOption(
            command, name, [&target](std::string_view v) { return ParseSwitch(v, target); }, "on|off", "on or off",
            std::string(what) + " (default " + (target ? "on" : "off") + ")");
    };
    AddParsedOption(
        command, "--size", [o](std::string_view v) { return ParseSize(v, o->width, o->height); }, "WxH",
        "WxH, each side a whole number from 1 to 8192", "picture size in pixels (default 1024x768)");
    AddParsedOption(
        command, "--mode",
        [&settings](std::string_view v) {
            if (v != "solid" && v != "wireframe" && v != "hidden") return false;
            settings.solid = v == "solid";
            settings.wireframe = v == "wireframe";
            settings.hidden_lines = v == "hidden";
            return true;
        },
        "solid|wireframe|hidden", "solid, wireframe or hidden", "drawing mode (default solid)");
    AddParsedOption(
        command, "--yaw", [o](std::string_view v) { return ParseNumber(v, o->yaw); }, "DEG", "a number of degrees",
        "turn the model about the vertical axis");
    AddParsedOption(
        command, "--pitch", [o](std::string_view v) { return ParseNumber(v, o->pitch); }, "DEG",
        "a number of degrees", "tilt the model about the horizontal axis, after --yaw");
    onOff("--light", settings.light, "lighting");
    onOff("--texturing", settings.texturing, "textures");
    onOff("--axes", settings.axes, "coordinate axes");
    onOff("--box", settings.bounding_box, "bounding box");
    onOff("--pivot", settings.show_pivot, "pivot marker");
    AddParsedOption(
        command, "--depth-cue", [&settings](std::string_view v) { return ParseNumber(v, settings.depth_cue_factor); },
        "F", "a number", "depth-cueing factor (default " + DefaultText(settings.depth_cue_factor) + ")");
    AddParsedOption(
        command, "--gamma",
        [&settings](std::string_view v) {
            float gamma = 0;
            if (!ParseNumber(v, gamma) || gamma <= 0) return false;
            settings.gamma_value = gamma;
            return true;
        },
        "G", "a number above 0", "gamma correction (default " + DefaultText(settings.gamma_value) + ")");
    AddParsedOption(
        command, "--background",
        [&settings](std::string_view v) {
            std::array<float, 3> colour{};
            if (!ParseColour(v, colour)) return false;
            settings.bg_color_r = colour[0];
            settings.bg_color_g = colour[1];
            settings.bg_color_b = colour[2];
            settings.depthCueColor = settings.Background();
            return true;
        },
        "R,G,B", "three numbers separated by commas",
        "background colour, each channel 0 to 1 (default " + DefaultText(settings.bg_color_r) + "," +
            DefaultText(settings.bg_color_g) + "," + DefaultText(settings.bg_color_b) + ")");
    AddParsedOption(
        command, "--wash",
        [o](std::string_view v) {
            std::array<float, 3> colour{};
            float amount = 0;
            if (!ParseWash(v, colour, amount)) return false;
            o->settings.ef_color_r = colour[0];
            o->settings.ef_color_g = colour[1];
            o->settings.ef_color_b = colour[2];
            o->settings.eye_filter_amount = amount;
            o->washOn = true;
            return true;
        },
        "R,G,B,AMOUNT", "four numbers from 0 to 1 separated by commas",
        "eye filter: mix the picture with the colour R,G,B by AMOUNT (0 leaves it, 1 gives only the colour)");
    AddParsedOption(
        command, "--filter-image",
        [o](std::string_view v) { return ParseFilterImage(v, o->filterImagePath, o->filterImageAlpha); },
        "FILE[,ALPHA]", "an image file, then optionally a comma and an opacity from 0 to 1",
        "eye filter: stretch the image (bmp, iff, jpg, pcx, png, ppm, tga) over the picture at opacity ALPHA (default "
        "0.5), under the --wash colour");
    AddParsedOption(
        command, "--background-image",
        [o](std::string_view v) {
            o->backgroundImage = std::string(v);
            return !v.empty();
        },
        "FILE", "an image file",
        "draw this image behind the model, stretched over the picture (its kind from the name's last three "
        "letters: bmp, iff, jpg, pcx, png, ppm or tga)");
    AddParsedOption(
        command, "--background-quality",
        [&settings](std::string_view v) {
            if (v.size() != 1 || v[0] < '0' || v[0] > '5') return false;
            settings.background_texture_quality = v[0] - '0';
            return true;
        },
        "0..5", "a whole number from 0 to 5",
        "texture quality of the background image, 16 to 512 texels a side (default " +
            std::to_string(settings.background_texture_quality) + ")");
    command.add_flag("--ppm-ascii", o->ppmAscii, "write a .ppm as text samples (P3) instead of bytes (P6)");
    AddParsedOption(
        command, "--jpeg-quality",
        [o](std::string_view v) {
            double quality = 0;
            if (!ParseNumber(v, quality) || quality < 1 || quality > 100 || quality != static_cast<int>(quality)) return false;
            o->image.jpegQuality = static_cast<int>(quality);
            return true;
        },
        "Q", "a whole number from 1 to 100", "JPEG quality (default 90)");
    command.add_flag("--times", o->times, "print the time of each step on standard error");
    return [o] { return RunRender(*o); };
}

}  // namespace solvane::cli
