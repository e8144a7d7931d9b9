// The subcommands of solvane-cli. Each lives in its own file with one entry point that declares
// its arguments on the command's CLI::App and returns what runs the command once the whole line
// has parsed (it owns the parsed options). That returns the process exit status: 0 done, 1 a file
// did not load or could not be written; usage errors (status 2) never reach it.
#pragma once

#include <functional>
#include <memory>
#include <string>

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

// Loads a model and finishes it as a load in the window does, with these settings; null (after
// printing why on standard error) when it does not load.
std::unique_ptr<Model> LoadPreparedModel(const std::string& path, Settings& settings);

// The text as UTF-8: unchanged when it is well-formed UTF-8, otherwise read as Windows-1252 (the
// code page most model files were written in; a path that is not UTF-8 is taken the same way).
std::string Utf8Text(const std::string& text);
// Escapes a string for a JSON string literal (without the quotes), converted by Utf8Text.
std::string JsonEscape(const std::string& text);

}  // namespace solvane::cli
