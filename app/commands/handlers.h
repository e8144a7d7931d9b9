// The command handlers, one file per menu. Each runs after the dispatch has applied the row's
// setting (toggles and radio rows) and before it repaints the view; commands that need a model
// only run while one is shown.
#pragma once

#include "app/command_table.h"
#include "app/commands/command_context.h"

namespace solvane::commands {

// File (file.cpp)
void Open(CommandContext& context, const CommandRow& row);
void Close(CommandContext& context, const CommandRow& row);
void Quit(CommandContext& context, const CommandRow& row);
void ExportHtml(CommandContext& context, const CommandRow& row);
void ExportImage(CommandContext& context, const CommandRow& row);
void FileBrowser(CommandContext& context, const CommandRow& row);
void FileInfo(CommandContext& context, const CommandRow& row);
void ExportToPrinter(CommandContext& context, const CommandRow& row);
void SaveAs(CommandContext& context, const CommandRow& row);
void ClearRecentReads(CommandContext& context, const CommandRow& row);
void ClearRecentWrites(CommandContext& context, const CommandRow& row);

// Display (display.cpp)
void CopyToClipboard(CommandContext& context, const CommandRow& row);
void ResetView(CommandContext& context, const CommandRow& row);
void DisplayMode(CommandContext& context, const CommandRow& row);
void Lighting(CommandContext& context, const CommandRow& row);
void Texturing(CommandContext& context, const CommandRow& row);
void Culling(CommandContext& context, const CommandRow& row);
void TakeSnapshot(CommandContext& context, const CommandRow& row);
void ClearSnapshots(CommandContext& context, const CommandRow& row);
void EyeFilter(CommandContext& context, const CommandRow& row);

// Scene (scene.cpp)
void BackgroundColor(CommandContext& context, const CommandRow& row);
void DepthCueColor(CommandContext& context, const CommandRow& row);
void GammaCorrection(CommandContext& context, const CommandRow& row);
void BackgroundTexture(CommandContext& context, const CommandRow& row);
void LightColor(CommandContext& context, const CommandRow& row);
// At start-up: the stored background image, when it is in use.
void LoadBackgroundAtStart(CommandContext& context);

// Mesh (mesh.cpp)
void Material(CommandContext& context, const CommandRow& row);
void TextureMap(CommandContext& context, const CommandRow& row);
void Scale(CommandContext& context, const CommandRow& row);
void Decimate(CommandContext& context, const CommandRow& row);
void Triangulate(CommandContext& context, const CommandRow& row);
void GenerateNormals(CommandContext& context, const CommandRow& row);
void InvertNormals(CommandContext& context, const CommandRow& row);
// Normals for the shown model under a status box, then its lists rebuilt (also run by lighting).
void GenerateNormalsWithStatus(CommandContext& context);

// Options (options.cpp)
void TextureQuality(CommandContext& context, const CommandRow& row);
void SnapshotSize(CommandContext& context, const CommandRow& row);
void RotateMode(CommandContext& context, const CommandRow& row);
void Spin(CommandContext& context, const CommandRow& row);
void AlwaysOnTop(CommandContext& context, const CommandRow& row);
void DockableWindows(CommandContext& context, const CommandRow& row);
void SaveAllSettings(CommandContext& context, const CommandRow& row);
void RunWizard(CommandContext& context, const CommandRow& row);

// Help (help.cpp)
void HardwareReport(CommandContext& context, const CommandRow& row);
void UserGuide(CommandContext& context, const CommandRow& row);
void Faq(CommandContext& context, const CommandRow& row);
void About(CommandContext& context, const CommandRow& row);

}  // namespace solvane::commands
