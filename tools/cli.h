// The subcommands of solvane-cli. Each lives in its own file with one entry point that declares
// its arguments on the command's CLI::App and returns what runs the command once the whole line
// has parsed (it owns the parsed options). That returns the process exit status: 0 done, 1 a file
// did not load or could not be written; usage errors (status 2) never reach it.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace solvane::cli {

using CommandRun = std::function<int()>;

CommandRun AddInfoCommand(CLI::App& command);
CommandRun AddImageCommand(CLI::App& command);
CommandRun AddRenderCommand(CLI::App& command);

// Escapes a string for a JSON string literal (without the quotes).
std::string JsonEscape(const std::string& text);

}  // namespace solvane::cli
