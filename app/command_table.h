// The command table: every command of the menus and the toolbar as one row of data (number, menu
// place and text, toolbar alias and button, push / toggle / radio group, the setting it changes,
// whether it needs a model, its handler and its keyboard shortcut). The window builds its menus and toolbar from the
// rows, dispatches command numbers through them and sets check marks and enabled states from
// them. A new command is one row here and one handler in app/commands/.
#pragma once

#include <cstdint>
#include <span>

#include "core/settings.h"

namespace solvane {

namespace command {

// Menu items.
constexpr int Open = 40007;
constexpr int Close = 40008;
constexpr int SaveAllSettings = 40009;
constexpr int Quit = 40010;
constexpr int Axes = 40015;
constexpr int PivotPoint = 40016;
constexpr int HiddenLines = 40019;
constexpr int ZoomDependentRotation = 40020;
constexpr int Spin = 40021;
constexpr int PivotMass = 40023;
constexpr int PivotOrigin = 40024;
constexpr int BoundingBox = 40025;
constexpr int Wireframe = 40027;
constexpr int Solid = 40028;
constexpr int About = 40030;
constexpr int ExportImage = 40032;
constexpr int SaveAs = 40033;
constexpr int ClearRecentReads = 40036;
constexpr int BackgroundTexture = 40038;
constexpr int DepthCueOff = 40051;  // 40051..40061: the depth-cueing entries
constexpr int DepthCue99 = 40061;
constexpr int MaterialDialog = 40062;
constexpr int BackgroundColor = 40063;
constexpr int SaveSettingsOnExit = 40067;
constexpr int LightColor = 40095;
constexpr int Lighting = 40096;
constexpr int Texturing = 40103;
constexpr int FlyMode = 40110;
constexpr int ResetView = 40111;
constexpr int Scale = 40112;
constexpr int AlwaysOnTop = 40113;
constexpr int FileInfo = 40115;
constexpr int ConfigurationWizard = 40118;
constexpr int TakeSnapshot = 40119;
constexpr int SnapshotLargest = 40120;  // 40120..40124: the snapshot sizes, largest first
constexpr int SnapshotLarger = 40121;
constexpr int SnapshotNormal = 40122;
constexpr int SnapshotSmaller = 40123;
constexpr int SnapshotSmallest = 40124;
constexpr int FileBrowser = 40125;
constexpr int ClearSnapshots = 40127;
constexpr int CopyToClipboard = 40128;
constexpr int ExportToPrinter = 40129;
constexpr int DockableWindows = 40133;
constexpr int ExportHtml = 40135;
constexpr int UserGuide = 40131;
constexpr int EyeFilter = 40132;
constexpr int InvertNormals = 40136;
constexpr int GammaCorrection = 40169;
constexpr int DepthCueColor = 40173;
constexpr int RotateMode = 40215;
constexpr int GenerateLightData = 40218;
constexpr int Culling = 40219;
constexpr int ClearRecentWrites = 40221;
constexpr int QualityMinimal = 40227;
constexpr int QualityVeryLow = 40228;
constexpr int QualityNormal = 40229;
constexpr int QualityLow = 40230;
constexpr int Triangulate = 40233;
constexpr int Decimate = 40234;
constexpr int QualityVeryHigh = 40235;
constexpr int QualityHigh = 40236;
constexpr int PivotCenter = 40238;
constexpr int TextureMap = 40240;
constexpr int Faq = 40241;
constexpr int HardwareReport = 40242;

// The entries of the recent-files submenus: entry i of the reads is RecentReadFirst + i, of the
// writes RecentWriteFirst + i. Each submenu's entries end with a separator (RecentReadsSeparator,
// RecentWritesSeparator), followed by its "&Clear List".
constexpr int RecentReadFirst = 30000;
constexpr int RecentWriteFirst = 35000;
constexpr int RecentEntries = 10;
constexpr int RecentReadsSeparator = 40000;
constexpr int RecentWritesSeparator = 45000;

// Toolbar buttons and the other short aliases of menu commands.
constexpr int ButtonOpen = 1;
constexpr int ButtonClose = 2;
constexpr int ButtonWire = 3;
constexpr int ButtonLine = 4;
constexpr int ButtonSolid = 5;
constexpr int ButtonMaterial = 6;
constexpr int ButtonBackground = 7;
constexpr int ButtonAxes = 8;
constexpr int ButtonBox = 9;
constexpr int ButtonPivot = 10;
constexpr int ButtonSpin = 11;
constexpr int ButtonTexture = 13;
constexpr int ButtonSave = 15;
constexpr int ButtonLight = 16;
constexpr int ButtonRotate = 17;
constexpr int ButtonFly = 18;

}  // namespace command

class CommandContext;
struct CommandRow;

// Runs after the row's setting has been changed and its check marks moved (toggle and radio rows).
using CommandHandler = void (*)(CommandContext& context, const CommandRow& row);

enum class CommandKind : uint8_t {
    Push,    // does its work only
    Toggle,  // flips its flag
    Radio,   // selects itself within its group
};

// Rows of one group are mutually exclusive.
enum class RadioGroup : uint8_t { None, DisplayMode, DepthCue, TextureQuality, ThumbnailSize, MouseMode, Pivot };

// When a command is enabled.
enum class Availability : uint8_t {
    Always,
    WithModel,      // only while a model is shown; the dispatch ignores it otherwise
    WithSnapshots,  // only while a snapshot exists
};

// The setting a toggle or radio row changes, and so what its check mark shows.
struct SettingBinding {
    enum class Kind : uint8_t { None, Flag, Int, Float };
    Kind kind = Kind::None;
    uint8_t Settings::*flag = nullptr;  // Flag: checked while set
    int32_t Settings::*intField = nullptr;  // Int: checked while the field holds intValue
    int32_t intValue = 0;
    float Settings::*floatField = nullptr;  // Float: checked while the field holds floatValue exactly
    float floatValue = 0;
    // Checked also when the field holds a value no row of the group has.
    bool fallback = false;
};

constexpr SettingBinding Flag(uint8_t Settings::*flag)
{
    return {.kind = SettingBinding::Kind::Flag, .flag = flag};
}
constexpr SettingBinding IntIs(int32_t Settings::*field, int32_t value, bool fallback = false)
{
    return {.kind = SettingBinding::Kind::Int, .intField = field, .intValue = value, .fallback = fallback};
}
constexpr SettingBinding FloatIs(float Settings::*field, float value)
{
    return {.kind = SettingBinding::Kind::Float, .floatField = field, .floatValue = value};
}

// A button of the tool band. Slots run left to right; a gap in the numbering between two present
// buttons is a separator.
struct ToolbarButton {
    int slot = 0;  // 0: no button
    const char* label = nullptr;
    const char* tooltip = nullptr;
};

// A push row without a handler is a command still to come: it has no menu item yet, and its
// toolbar button is shown greyed.
struct CommandRow {
    int number = 0;
    // The menu the item sits in, as the menu texts from the menu bar down joined by "/". A submenu
    // appears where its first row is; rows are in menu order.
    const char* menu = nullptr;
    const char* text = nullptr;
    // A separator goes before the first entry this row adds (the item, or a new submenu).
    bool separatorBefore = false;
    CommandKind kind = CommandKind::Push;
    RadioGroup group = RadioGroup::None;
    SettingBinding setting{};
    Availability availability = Availability::Always;
    CommandHandler handler = nullptr;
    int alias = 0;  // short command number (1..18), 0 for none
    ToolbarButton button{};
    // The menu item's keyboard accelerator in QKeySequence's portable text ("Ctrl+O"); null for
    // none.
    const char* shortcut = nullptr;
};

// Every command, in menu order.
std::span<const CommandRow> CommandTable();
// The row of a menu number or of a short alias; null for unknown numbers.
const CommandRow* FindCommand(int number);
// What the row's check mark shows for these settings.
bool IsChecked(const CommandRow& row, const Settings& settings);
// A toggle flips its flag; a radio row sets its group's fields so that it alone is chosen.
void ApplySetting(const CommandRow& row, Settings& settings);
// Whether the row does anything yet (see CommandRow).
bool IsAvailableYet(const CommandRow& row);

}  // namespace solvane
