// The plain-text report on a loaded model that the information panel shows and `solvane-cli
// report` prints: file, counts, extents, materials and textures, one line per item.
#pragma once

#include <string>
#include <string_view>

#include "core/model.h"

namespace solvane {

enum class ReportForm {
    // Built when the panel opens: extents in the model's own (resized) coordinates, material
    // values as stored (0 to 1, two decimals), specular before diffuse.
    Initial,
    // Built after every load, display rebuild and model operation: extents divided by loadScale
    // (the file's units), material values times 255 truncated, diffuse before specular.
    Refresh,
};

// The report on model, loaded from path (the path as the window knows it: its last "/" separates
// the folder from the name). Lines end with "\r\n": each line is written with the end marks "&$",
// and afterwards every "&" of the whole text (names included) becomes "\r" and every "$" "\n".
// Empty when model is null or path is shorter than 2 characters. The file's size is read from
// disk; a file that can no longer be read shows "unknown" for it.
std::string BuildModelReport(const Model* model, std::string_view path, ReportForm form);

// The same text with each line ended by a line feed alone: "\r\n" and a lone "\r" (an "&" inside a
// name) both become "\n", as the panel shows the lines.
std::string ReportWithLineFeeds(std::string_view report);

// The name and folder parts of a path as the report shows them: the name after the last "/" (at
// most 63 bytes, never ending inside a UTF-8 sequence), and the folder up to and including it.
std::string ReportDisplayName(std::string_view path);
std::string ReportLocation(std::string_view path);

}  // namespace solvane
