// The subcommands of solvane-cli; each returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace solvane::cli {

int RunInfo(const std::vector<std::string>& args);
int RunImage(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);

// The text as UTF-8: unchanged when it is well-formed UTF-8, otherwise read as Windows-1252 (the
// code page most model files were written in; a path that is not UTF-8 is taken the same way).
std::string Utf8Text(const std::string& text);
// Escapes a string for a JSON string literal (without the quotes), converted by Utf8Text.
std::string JsonEscape(const std::string& text);

}  // namespace solvane::cli
