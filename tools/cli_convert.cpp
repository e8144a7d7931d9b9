// solvane-cli convert: loads models through the dispatch and writes them with a writer of the
// save table. One file (IN OUT, the format from OUT's extension or --as), or many files into a
// folder (--to FORMAT --out-dir DIR IN...), converted in parallel on every core.
#include <unistd.h>

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

namespace solvane::cli {
namespace {

constexpr const char* kConvertUsage =
    "usage: solvane-cli convert IN OUT [--as FORMAT]\n"
    "       solvane-cli convert --to FORMAT --out-dir DIR IN...\n";

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

int RunConvert(const std::vector<std::string>& args)
{
    std::string as, to, outDir;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string* target = arg == "--as" ? &as : arg == "--to" ? &to : arg == "--out-dir" ? &outDir : nullptr;
        if (target) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "solvane-cli convert: %s needs a value\n%s", arg.c_str(), kConvertUsage);
                return 2;
            }
            *target = args[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::printf("%s", kConvertUsage);
            std::printf("formats: %s (x = DirectX binary, x-ascii = DirectX text)\n", FormatNames().c_str());
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "solvane-cli convert: unknown option '%s'\n%s", arg.c_str(), kConvertUsage);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    const auto unknownFormat = [](const std::string& name) {
        std::fprintf(stderr, "solvane-cli convert: unknown format '%s' (formats: %s)\n", name.c_str(),
                     FormatNames().c_str());
        return 2;
    };

    // Many files into a folder.
    if (!to.empty() || !outDir.empty()) {
        if (to.empty() || outDir.empty() || !as.empty() || files.empty()) {
            std::fprintf(stderr, "solvane-cli convert: --to and --out-dir go together, with input files\n%s",
                         kConvertUsage);
            return 2;
        }
        const WriterEntry* writer = FindWriter(to);
        if (!writer) return unknownFormat(to);
        std::error_code error;
        std::filesystem::create_directories(outDir, error);
        if (!std::filesystem::is_directory(outDir)) {
            std::fprintf(stderr, "solvane-cli convert: cannot create folder %s\n", outDir.c_str());
            return 1;
        }
        // A progress line only for a person watching a terminal.
        const bool terminal = ::isatty(STDERR_FILENO) && ::isatty(STDOUT_FILENO);
        const size_t total = files.size();
        std::function<void(size_t, size_t)> progress;
        if (terminal) {
            progress = [total](size_t done, size_t failed) {
                std::fprintf(stderr, "\rconverting: %zu of %zu done, %zu failed", done, total, failed);
                std::fflush(stderr);
            };
        }
        const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        const std::vector<ConversionResult> results = ConvertModelFiles(files, outDir, *writer, threads, progress);
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
    if (files.size() != 2) {
        std::fprintf(stderr, "%s", kConvertUsage);
        return 2;
    }
    const WriterEntry* writer = as.empty() ? WriterForPath(files[1]) : FindWriter(as);
    if (!writer) {
        if (!as.empty()) return unknownFormat(as);
        std::fprintf(stderr, "solvane-cli convert: no writer for the extension of %s; name one with --as (formats: %s)\n",
                     files[1].c_str(), FormatNames().c_str());
        return 2;
    }
    const ConversionResult result = ConvertModelFile(files[0], files[1], *writer);
    if (!result.ok) {
        std::fprintf(stderr, "solvane-cli convert: %s: %s\n", result.input.c_str(), result.error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace solvane::cli
