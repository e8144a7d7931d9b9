// The subcommands of solvane-cli; each returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace solvane::cli {

int RunInfo(const std::vector<std::string>& args);
int RunImage(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);

// Escapes a string for a JSON string literal (without the quotes).
std::string JsonEscape(const std::string& text);

}  // namespace solvane::cli
