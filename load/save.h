// The model writers as one table: a row per writable format with its key name (what the
// command-line tool's --as and --to take), default extension, the save chooser's row text and the
// writer. The save chooser lists the rows that have a text, in table order.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "core/format_id.h"
#include "core/model.h"
#include "core/writer_output.h"
#include "formats/native.h"

namespace solvane {

using ModelWriter = bool (*)(const Model& model, const std::string& path, SaveContext& ctx);

struct WriterEntry {
    const char* name;          // key: "svs", "obj", "x" (DirectX binary), "x-ascii" (DirectX text), ...
    const char* extension;     // default extension with its dot
    const char* chooserText;   // the save chooser's row text; null for command-line-only formats
    const char* pattern;       // the chooser row's file pattern
    FormatId preselectFor;     // the chooser preselects this row for models read in this format
    const char* reportName;    // the format's name in the save usage report
    ModelWriter write;
    bool withScene = false;    // a scene file: SaveModelFile passes it the view to store
};

// Every row, chooser rows first in chooser order.
std::span<const WriterEntry> WriterTable();
// The rows of the save chooser, in order.
std::span<const WriterEntry> SaveChooserRows();
// The chooser row preselected for a model read in the given format: the row of that format where
// there is one, else the first (the scene).
size_t ChooserRowForFormat(FormatId id);

// The row of a key name (case-insensitive); null when there is none.
const WriterEntry* FindWriter(std::string_view name);
// The row for a path's extension (case-insensitive; ".x" is DirectX binary); null when no writer
// takes it.
const WriterEntry* WriterForPath(std::string_view path);

// Writes the model with the row's writer. A model the load step resized (loadScale other than 1)
// is written in its own units: its first key frame divided by loadScale, as the file it came from
// held it. A scene row stores scene when it is given, else the default view. False with the message
// in ctx.error when the file could not be written (no partial file is left).
bool SaveModelFile(const Model& model, const std::string& path, const WriterEntry& entry, SaveContext& ctx,
                   const SceneRecord* scene = nullptr);

}  // namespace solvane
