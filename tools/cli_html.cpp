// solvane-cli html: the web page of the viewer's Export HTML for a model, its pictures drawn in a
// headless GL context from the view the viewer shows after a load, and from the model's sides.
#include <GL/gl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "tools/cli.h"
#include "tools/cli_options.h"
#include "viewer/headless_context.h"
#include "viewer/html_capture.h"
#include "viewer/html_export.h"
#include "viewer/viewer.h"

namespace solvane::cli {
namespace {

struct HtmlCommandOptions {
    std::string modelPath, pagePath;
    HtmlExportOptions page;
};

// A whole number from low to high, nothing else.
bool ParseWhole(std::string_view text, int low, int high, int& value)
{
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

// "R,G,B", each a whole number from 0 to 255.
bool ParseRgb(std::string_view text, std::array<int, 3>& rgb)
{
    std::array<int, 3> parsed{};
    for (int k = 0; k < 3; ++k) {
        const size_t comma = k < 2 ? text.find(',') : text.size();
        if (comma == std::string_view::npos || !ParseWhole(text.substr(0, comma), 0, 255, parsed[k])) return false;
        text.remove_prefix(k < 2 ? comma + 1 : comma);
    }
    rgb = parsed;
    return true;
}

// The GL side of the pictures: a headless surface as large as the largest picture, and the
// viewer drawing the model as the window does after a load.
class HeadlessPictures {
public:
    bool Start(Model& model, Settings& settings, int width, int height)
    {
        if (!context_.Create(width, height)) {
            std::fprintf(stderr, "solvane-cli html: no headless GL context: %s\n", context_.Error().c_str());
            return false;
        }
        model_ = &model;
        viewer_ = std::make_unique<Viewer>(settings);
        viewer_->InitGl();
        viewer_->ResizeView(width, height);
        if (settings.texturing) glEnable(GL_TEXTURE_2D);
        viewer_->SetModel(&model);
        viewer_->PrepareModelGl(nullptr);
        viewer_->ResetView(false);
        viewer_->ApplyCullingState();
        if (settings.light) viewer_->SetLightColour(viewer_->lightColor);
        return true;
    }

    ~HeadlessPictures()
    {
        if (!viewer_) return;
        viewer_->SetModel(nullptr);
        ReleaseModelLists(*model_);
        viewer_->ReleaseGl();
    }

    std::unique_ptr<Texture> Capture(const HtmlPictureRequest& request)
    {
        return viewer_ ? CaptureHtmlPicture(*viewer_, request) : nullptr;
    }

private:
    HeadlessContext context_;
    std::unique_ptr<Viewer> viewer_;
    Model* model_ = nullptr;
};

int RunHtml(const HtmlCommandOptions& o)
{
    const std::string problem = HtmlOptionsProblem(o.page);
    if (!problem.empty()) {
        std::fprintf(stderr, "solvane-cli html: %s\n", problem.c_str());
        return 1;
    }
    Settings settings = DefaultSettings();
    const std::unique_ptr<Model> model = LoadPreparedModel(o.modelPath, settings);
    if (!model) return 1;

    HeadlessPictures pictures;
    const std::vector<HtmlPictureRequest> requests = HtmlPictureRequests(o.page);
    if (!requests.empty()) {
        int width = 1, height = 1;
        for (const HtmlPictureRequest& request : requests) {
            width = std::max(width, request.width);
            height = std::max(height, request.height);
        }
        if (!pictures.Start(*model, settings, width, height)) return 3;
    }
    std::string error;
    const auto capture = [&pictures](const HtmlPictureRequest& request) { return pictures.Capture(request); };
    if (!WriteHtmlPage(*model, o.modelPath, o.page, o.pagePath, capture, &error)) {
        std::fprintf(stderr, "solvane-cli html: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

CommandRun AddHtmlCommand(CLI::App& command)
{
    auto o = std::make_shared<HtmlCommandOptions>();
    HtmlExportOptions& page = o->page;
    command.add_option("FILE", o->modelPath, "the model to describe")->type_name("")->required();
    command.add_option("OUT.htm", o->pagePath, "the page to write; its pictures go in OUT_files/ beside it")
        ->type_name("")
        ->required();
    AddParsedOption(
        command, "--width", [o](std::string_view v) { return ParseWhole(v, 1, kMaxHtmlImageWidth, o->page.imageWidth); },
        "W", "a whole number from 1 to 1600", "width of the pictures in pixels (default 200)");
    AddParsedOption(
        command, "--height",
        [o](std::string_view v) { return ParseWhole(v, 1, kMaxHtmlImageHeight, o->page.imageHeight); }, "H",
        "a whole number from 1 to 1200", "height of the pictures in pixels (default 200)");
    command.add_flag("--no-image", page.noImage, "no pictures of the model");
    command.add_flag("--single-image", page.singleImage, "only the view's picture, not the front, side and top ones");
    command.add_flag("--absolute-links", page.absoluteLinks, "link the pictures and the model by file: addresses");
    command.add_flag("--no-geometry", page.noGeometry, "leave out the geometry section");
    command.add_flag("--no-materials", page.noMaterials, "leave out the materials section");
    command.add_flag("--no-textures", page.noTextures, "leave out the textures section");
    command.add_flag("--no-animation", page.noAnimation, "leave out the animation section");
    command.add_flag("--dump-all", page.dumpAll, "add every vertex, normal, texture coordinate and polygon");
    command.add_flag("--no-message", page.noMessage, "leave out the line naming the program");
    command.add_flag("--zoomable", page.zoomable, "link each picture to one twice its size");
    command.add_option("--header", page.headerPath, "a file whose contents (HTML) open the page")->type_name("F");
    command.add_option("--footer", page.footerPath, "a file whose contents (HTML) end the page")->type_name("F");
    AddParsedOption(
        command, "--page-color", [o](std::string_view v) { return ParseRgb(v, o->page.pageColor); }, "R,G,B",
        "three whole numbers from 0 to 255 separated by commas", "page colour (default 255,255,255)");
    AddParsedOption(
        command, "--text-color", [o](std::string_view v) { return ParseRgb(v, o->page.textColor); }, "R,G,B",
        "three whole numbers from 0 to 255 separated by commas", "text colour (default 0,0,0)");
    return [o] { return RunHtml(*o); };
}

}  // namespace solvane::cli
