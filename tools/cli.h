// The subcommands of solvane-cli; each returns the process exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "load/save.h"

namespace solvane::cli {

int RunInfo(const std::vector<std::string>& args);
int RunImage(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

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

// Escapes a string for a JSON string literal (without the quotes).
std::string JsonEscape(const std::string& text);

}  // namespace solvane::cli
