// solvane-cli thumbnail: a PNG of a model for file managers (the command of the installed
// thumbnailer entry: solvane-cli thumbnail -s %s %i %o). The picture is written only when the
// whole of it could be made: on any failure the output file is not created.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "load/dispatch.h"
#include "tools/cli.h"
#include "tools/cli_options.h"
#include "viewer/thumbnail.h"

namespace solvane::cli {
namespace {

struct ThumbnailOptions {
    std::string modelPath, outPath;
    int size = 256;
    bool times = false;
};

bool ParseSize(std::string_view text, int& size)
{
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || error != std::errc() || ptr != end || parsed < 1 || parsed > kMaxThumbnailSize) return false;
    size = parsed;
    return true;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Writes the picture beside the output under a temporary name, then renames it into place, so
// that the output never holds half a picture.
bool WriteAtomically(const std::string& path, const RgbaImage& image)
{
    const std::string temporary = path + ".part-" + std::to_string(getpid());
    if (WritePngRgba(temporary, image)) {
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (!error) return true;
    }
    std::remove(temporary.c_str());
    return false;
}

int RunThumbnail(const ThumbnailOptions& options)
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Model> model = LoadModelOrSayWhy(options.modelPath);
    if (!model) return 1;
    const double loadSeconds = Seconds(start);
    const auto drawStart = std::chrono::steady_clock::now();
    RgbaImage thumbnail;
    std::string error;
    if (!DrawThumbnail(*model, options.size, thumbnail, error)) {
        std::fprintf(stderr, "solvane-cli thumbnail: %s: %s\n", options.modelPath.c_str(), error.c_str());
        return 1;
    }
    const double drawSeconds = Seconds(drawStart);
    if (!WriteAtomically(options.outPath, thumbnail)) {
        std::fprintf(stderr, "solvane-cli thumbnail: cannot write %s\n", options.outPath.c_str());
        return 1;
    }
    if (options.times) {
        std::fprintf(stderr, "load %.3f s, draw %.3f s, total %.3f s (%dx%d)\n", loadSeconds, drawSeconds,
                     Seconds(start), thumbnail.width, thumbnail.height);
    }
    return 0;
}

}  // namespace

CommandRun AddThumbnailCommand(CLI::App& command)
{
    auto o = std::make_shared<ThumbnailOptions>();
    command.add_option("FILE", o->modelPath, "the model to draw")->type_name("")->required();
    command.add_option("OUT.png", o->outPath, "the PNG file to write (not created when anything fails)")
        ->type_name("")
        ->required();
    const std::string expected = "a whole number of pixels from 1 to " + std::to_string(kMaxThumbnailSize);
    command
        .add_option_function<std::string>(
            "-s,--size",
            [o, expected](const std::string& value) {
                if (!ParseSize(value, o->size)) {
                    throw CLI::ValidationError("--size", "bad value '" + value + "' (expected " + expected + ")");
                }
            },
            "longest side of the picture at most SIZE pixels (default 256)")
        ->type_name("SIZE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command.add_flag("--times", o->times, "print the time of loading and drawing on standard error");
    return [o] { return RunThumbnail(*o); };
}

}  // namespace solvane::cli
