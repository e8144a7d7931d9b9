// The subcommands of solvane-cli. Each lives in its own file with one entry point that declares
// its arguments on the command's CLI::App and returns what runs the command once the whole line
// has parsed (it owns the parsed options). That returns the process exit status: 0 done, 1 a file
// did not load or could not be written; usage errors (status 2) never reach it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "load/save.h"

#include "core/model.h"
#include "core/settings.h"

namespace CLI {
class App;
}

namespace solvane::cli {

using CommandRun = std::function<int()>;

CommandRun AddInfoCommand(CLI::App& command);
CommandRun AddImageCommand(CLI::App& command);
CommandRun AddRenderCommand(CLI::App& command);
CommandRun AddThumbnailCommand(CLI::App& command);
CommandRun AddReportCommand(CLI::App& command);
CommandRun AddHtmlCommand(CLI::App& command);

// Loads a model with a context of its own; null (after printing why on standard error) when it
// does not load.
std::unique_ptr<Model> LoadModelOrSayWhy(const std::string& path);
// Loads a model and finishes it as a load in the window does, with these settings; null (after
// printing why on standard error) when it does not load.
std::unique_ptr<Model> LoadPreparedModel(const std::string& path, Settings& settings);

CommandRun AddConvertCommand(CLI::App& command);

// One conversion: the input, the output written, and what went wrong (empty when ok).
struct ConversionResult {
    std::string input;
    std::string output;
    bool ok = false;
    std::string error;
};
// Loads input with a context of its own and writes it to output with the writer; a scene file
// written as a scene file keeps its view.
ConversionResult ConvertModelFile(const std::string& input, const std::string& output, const WriterEntry& writer);
// The output paths of a batch: the folder, each input's name without its extension and the writer's
// extension; inputs of the same name keep their extension in it ("a_obj.ply", "a_3ds.ply").
std::vector<std::string> BatchOutputPaths(const std::vector<std::string>& inputs, const std::string& folder,
                                          const WriterEntry& writer);
// Converts the inputs into the folder on up to `threads` threads; progress(done, failed) is called
// after each file (one call at a time). Results in input order.
std::vector<ConversionResult> ConvertModelFiles(const std::vector<std::string>& inputs, const std::string& folder,
                                                const WriterEntry& writer, int threads,
                                                const std::function<void(size_t done, size_t failed)>& progress);

// The text as UTF-8: unchanged when it is well-formed UTF-8, otherwise read as Windows-1252 (the
// code page most model files were written in; a path that is not UTF-8 is taken the same way).
std::string Utf8Text(const std::string& text);
// Escapes a string for a JSON string literal (without the quotes), converted by Utf8Text.
std::string JsonEscape(const std::string& text);

}  // namespace solvane::cli
