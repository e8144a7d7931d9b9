// solvane-cli convert: loads models through the dispatch and writes them with a writer of the
// save table. One file (IN OUT, the format from OUT's extension or --as), or many files into a
// folder (--to FORMAT --out-dir DIR IN...), converted in parallel on every core.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "load/dispatch.h"
#include "load/save.h"
#include "load/load_job.h"
#include "tools/cli.h"
#include "tools/cli_options.h"

namespace solvane::cli {
namespace {

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string FormatNames()
{
    std::string names;
    for (const WriterEntry& entry : WriterTable()) {
        if (!names.empty()) names += ", ";
        names += entry.name;
    }
    return names;
}

}  // namespace

ConversionResult ConvertModelFile(const std::string& input, const std::string& output, const WriterEntry& writer)
{
    ConversionResult result;
    result.input = input;
    result.output = output;
    LoadContext ctx;
    std::unique_ptr<Model> model = LoadModelFile(input, ctx);
    if (!model) {
        int32_t code = 0;
        const std::string message = Trimmed(ResultMessage(ctx, &code));
        result.error = "cannot load (result ";
        result.error += std::to_string(code);
        result.error += "): ";
        result.error += message;
        return result;
    }
    // A scene file converted to a scene file keeps its view.
    SceneRecord scene;
    int64_t sceneOffset = ctx.sceneOffset.load();
    const bool hasScene = writer.withScene && IsScenePath(input) && ReadNativeScene(input.c_str(), sceneOffset, scene);
    SaveContext save;
    if (!SaveModelFile(*model, output, writer, save, hasScene ? &scene : nullptr)) {
        result.error = save.error;
        return result;
    }
    result.ok = true;
    return result;
}

std::vector<std::string> BatchOutputPaths(const std::vector<std::string>& inputs, const std::string& folder,
                                          const WriterEntry& writer)
{
    namespace fs = std::filesystem;
    // Inputs of the same name (a.obj and a.3ds) keep their own extension in the output's name.
    std::map<std::string, int> uses;
    for (const std::string& input : inputs) ++uses[fs::path(input).stem().string()];
    std::vector<std::string> outputs;
    std::map<std::string, int> taken;
    for (const std::string& input : inputs) {
        const fs::path path(input);
        std::string name = path.stem().string();
        if (uses[name] > 1) {
            std::string extension = path.extension().string();
            if (!extension.empty()) {
                name += '_';
                name += extension.substr(1);
            }
        }
        // The same name twice over (the same file given twice, or a/b.obj and c/b.obj): a number.
        if (const int seen = taken[name]++; seen > 0) {
            name += '-';
            name += std::to_string(seen + 1);
        }
        outputs.push_back((fs::path(folder) / (name + writer.extension)).string());
    }
    return outputs;
}

std::vector<ConversionResult> ConvertModelFiles(const std::vector<std::string>& inputs, const std::string& folder,
                                                const WriterEntry& writer, int threads,
                                                const std::function<void(size_t done, size_t failed)>& progress)
{
    const std::vector<std::string> outputs = BatchOutputPaths(inputs, folder, writer);
    std::vector<ConversionResult> results(inputs.size());
    std::atomic<size_t> next{0}, done{0}, failed{0};
    std::mutex progressMutex;  // one progress report at a time
    const size_t workers = std::min<size_t>(inputs.size(), static_cast<size_t>(std::max(threads, 1)));
    std::vector<std::thread> pool;
    for (size_t w = 0; w < workers; ++w) {
        pool.emplace_back([&] {
            for (size_t i = next++; i < inputs.size(); i = next++) {
                results[i] = ConvertModelFile(inputs[i], outputs[i], writer);
                if (!results[i].ok) ++failed;
                const size_t finished = ++done;
                if (progress) {
                    std::lock_guard<std::mutex> lock(progressMutex);
                    progress(finished, failed.load());
                }
            }
        });
    }
    for (std::thread& thread : pool) thread.join();
    return results;
}

namespace {

struct ConvertOptions {
    std::vector<std::string> files;
    const WriterEntry* as = nullptr;
    const WriterEntry* to = nullptr;
    std::string outDir;
};

int RunConvert(const ConvertOptions& o)
{
    // Many files into a folder.
    if (o.to) {
        std::error_code error;
        std::filesystem::create_directories(o.outDir, error);
        if (!std::filesystem::is_directory(o.outDir)) {
            std::fprintf(stderr, "solvane-cli convert: cannot create the folder %s\n", o.outDir.c_str());
            return 1;
        }
        // A progress line only for a person watching a terminal.
        const bool terminal = ::isatty(STDERR_FILENO) && ::isatty(STDOUT_FILENO);
        const size_t total = o.files.size();
        std::function<void(size_t, size_t)> progress;
        if (terminal) {
            progress = [total](size_t done, size_t failed) {
                std::fprintf(stderr, "\rconverting: %zu of %zu done, %zu failed", done, total, failed);
                std::fflush(stderr);
            };
        }
        const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        const std::vector<ConversionResult> results = ConvertModelFiles(o.files, o.outDir, *o.to, threads, progress);
        if (terminal) std::fprintf(stderr, "\n");
        bool allOk = true;
        for (const ConversionResult& result : results) {
            if (result.ok) {
                std::printf("%s -> %s\n", result.input.c_str(), result.output.c_str());
            } else {
                std::fprintf(stderr, "solvane-cli convert: %s: %s\n", result.input.c_str(), result.error.c_str());
                allOk = false;
            }
        }
        return allOk ? 0 : 1;
    }

    // One file.
    const ConversionResult result = ConvertModelFile(o.files[0], o.files[1], *o.as);
    if (!result.ok) {
        std::fprintf(stderr, "solvane-cli convert: %s: %s\n", result.input.c_str(), result.error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

CommandRun AddConvertCommand(CLI::App& command)
{
    auto o = std::make_shared<ConvertOptions>();
    const std::string formats = FormatNames();
    AddPathList(command, "FILE", o->files,
                "IN OUT: the model and the file to write (its format from OUT's extension unless --as names "
                "it); with --to: the models to write into DIR, in parallel");
    const auto format = [](const WriterEntry*& target) {
        return [&target](std::string_view value) {
            target = FindWriter(value);
            return target != nullptr;
        };
    };
    CLI::Option* as = AddParsedOption(command, "--as", format(o->as), "FORMAT", "one of " + formats,
                                      "the format to write (x = DirectX binary, x-ascii = DirectX text; otherwise "
                                      "the extension): " + formats);
    CLI::Option* to = AddParsedOption(command, "--to", format(o->to), "FORMAT", "one of " + formats,
                                      "convert every FILE into DIR in this format");
    CLI::Option* outDir = command.add_option("--out-dir", o->outDir, "the folder --to writes into (made when missing)")
                              ->type_name("DIR");
    to->needs(outDir);
    outDir->needs(to);
    as->excludes(to);
    // The number of paths and the format of OUT depend on the form: checked once the line has parsed.
    command.parse_complete_callback([o, &command] {
        if (command.count("--to") > 0) return;
        if (o->files.size() != 2) {
            throw CLI::ValidationError("FILE", "expected IN and OUT (or --to FORMAT --out-dir DIR IN...), got " +
                                                   std::to_string(o->files.size()) + " paths");
        }
        if (command.count("--as") == 0 && !WriterForPath(o->files[1])) {
            throw CLI::ValidationError("OUT", "no format has the extension of '" + o->files[1] +
                                                  "'; name one with --as (" + FormatNames() + ")");
        }
    });
    return [o] {
        if (!o->to && !o->as) o->as = WriterForPath(o->files[1]);
        return RunConvert(*o);
    };
}

}  // namespace solvane::cli
