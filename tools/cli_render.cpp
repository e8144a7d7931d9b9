// solvane-cli render: loads a model, prepares it as the window does after a load, draws one frame
// in a headless GL context with the settings' defaults (or the options given) and writes the
// picture in the image format its output name's extension gives.
#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "load/dispatch.h"
#include "core/prepare.h"
#include "core/writer_output.h"
#include "image/image_writer.h"
#include "tools/cli.h"
#include "viewer/headless_context.h"
#include "viewer/viewer.h"

namespace solvane::cli {
namespace {

constexpr const char* kRenderUsage =
    "usage: solvane-cli render FILE OUT.{png,bmp,jpg,pcx,ppm,tga} [--size WxH] [--mode solid|wireframe|hidden]\n"
    "         [--yaw DEG] [--pitch DEG] [--light on|off] [--texturing on|off] [--axes on|off] [--box on|off]\n"
    "         [--pivot on|off] [--depth-cue F] [--gamma G] [--background R,G,B] [--ppm-ascii]\n"
    "         [--jpeg-quality Q] [--times]\n"
    "The picture is written in the format OUT's extension names: PNG, BMP (24 bit), JPEG (quality Q,\n"
    "1-100, default 90), PCX (8 bit, 256 colours by median cut), PPM (binary, or text with --ppm-ascii)\n"
    "or TGA (24 bit).\n";

bool ParseSwitch(const std::string& value, uint8_t& out)
{
    if (value == "on") out = 1;
    else if (value == "off") out = 0;
    else return false;
    return true;
}

bool ParseFloat(const std::string& value, float& out)
{
    char* end = nullptr;
    const double parsed = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0') return false;
    out = static_cast<float>(parsed);
    return true;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int RunRender(const std::vector<std::string>& args)
{
    Settings settings = DefaultSettings();
    std::vector<std::string> files;
    int width = 1024, height = 768;
    float yaw = 0, pitch = 0;
    bool times = false;
    bool ppmAscii = false;
    ImageWriteOptions imageOptions;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        bool ok = true;
        if (arg == "--times") {
            times = true;
            continue;
        } else if (arg == "--ppm-ascii") {
            ppmAscii = true;
            continue;
        } else if (arg.rfind("--", 0) != 0) {
            files.push_back(arg);
            continue;
        } else if (!hasValue) {
            ok = false;
        } else if (arg == "--size") {
            ok = std::sscanf(value.c_str(), "%dx%d", &width, &height) == 2 && width > 0 && height > 0 &&
                 width <= 8192 && height <= 8192;
        } else if (arg == "--mode") {
            settings.solid = value == "solid";
            settings.wireframe = value == "wireframe";
            settings.hidden_lines = value == "hidden";
            ok = settings.solid || settings.wireframe || settings.hidden_lines;
        } else if (arg == "--jpeg-quality") {
            float quality = 0;
            ok = ParseFloat(value, quality) && quality >= 1 && quality <= 100 && quality == static_cast<int>(quality);
            imageOptions.jpegQuality = static_cast<int>(quality);
        } else if (arg == "--yaw") {
            ok = ParseFloat(value, yaw);
        } else if (arg == "--pitch") {
            ok = ParseFloat(value, pitch);
        } else if (arg == "--light") {
            ok = ParseSwitch(value, settings.light);
        } else if (arg == "--texturing") {
            ok = ParseSwitch(value, settings.texturing);
        } else if (arg == "--axes") {
            ok = ParseSwitch(value, settings.axes);
        } else if (arg == "--box") {
            ok = ParseSwitch(value, settings.bounding_box);
        } else if (arg == "--pivot") {
            ok = ParseSwitch(value, settings.show_pivot);
        } else if (arg == "--depth-cue") {
            ok = ParseFloat(value, settings.depth_cue_factor);
        } else if (arg == "--gamma") {
            ok = ParseFloat(value, settings.gamma_value) && settings.gamma_value > 0;
        } else if (arg == "--background") {
            ok = std::sscanf(value.c_str(), "%f,%f,%f", &settings.bg_color_r, &settings.bg_color_g,
                             &settings.bg_color_b) == 3;
            settings.depthCueColor = settings.Background();
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "solvane-cli render: bad option %s %s\n%s", arg.c_str(), value.c_str(), kRenderUsage);
            return 2;
        }
        ++i;
    }
    if (files.size() != 2) {
        std::fputs(kRenderUsage, stderr);
        return 2;
    }
    const std::optional<ImageFileType> imageType = ImageFileTypeFromPath(files[1], ppmAscii);
    if (!imageType) {
        std::fprintf(stderr, "solvane-cli render: %s: the extension names no image format (png, bmp, jpg, pcx, ppm, tga)\n",
                     files[1].c_str());
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    LoadContext load;
    std::unique_ptr<Model> model = LoadModelFile(files[0], load);
    if (!model) {
        std::string message = ResultMessage(load);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        std::fprintf(stderr, "%s: %s\n", files[0].c_str(), message.c_str());
        return 1;
    }
    const double loadSeconds = Seconds(start);

    HeadlessContext context;
    if (!context.Create(width, height)) {
        std::fprintf(stderr, "solvane-cli render: no headless GL context: %s\n", context.Error().c_str());
        return 3;
    }
    Viewer viewer(settings);
    viewer.InitGl();
    viewer.ResizeView(width, height);
    if (settings.texturing) glEnable(GL_TEXTURE_2D);

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
    viewer.camera.modelRotation = Multiply(RotationMatrix(pitch, 1, 0, 0), RotationMatrix(yaw, 0, 1, 0));

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
    if (!WriteImageFile(picture, files[1], *imageType, imageOptions, save)) {
        std::fprintf(stderr, "solvane-cli render: %s\n", save.error.c_str());
        return 1;
    }
    if (times) {
        std::fprintf(stderr, "load %.3f s, prepare %.3f s, compile %.3f s, frame %.3f s, total %.3f s\n", loadSeconds,
                     prepareSeconds, compileSeconds, frameSeconds, Seconds(start));
    }
    return 0;
}

}  // namespace solvane::cli
