#include "app/command_table.h"

#include <iterator>

#include "app/commands/handlers.h"

namespace solvane {
namespace {

using namespace command;
using enum CommandKind;
using enum RadioGroup;
using enum Availability;

constexpr const char* kFile = "&File";
constexpr const char* kRecentReads = "&File/&Recent Reads";
constexpr const char* kRecentWrites = "&File/Recent Writes";
constexpr const char* kDisplay = "&Display";
constexpr const char* kScene = "Scene";
constexpr const char* kDepthCueing = "Scene/Depth Cueing";
constexpr const char* kMesh = "Mesh";
constexpr const char* kOptions = "&Options";
constexpr const char* kTextureQuality = "&Options/Texture Quality";
constexpr const char* kSnapshotSize = "&Options/Snapshot Size";
constexpr const char* kMouseMode = "&Options/Mouse Mode";
constexpr const char* kPivot = "&Options/Pivot Point";
constexpr const char* kHelp = "&Help";

// The depth-cueing items: the percentage is a label, the factor is what the fog uses.
constexpr SettingBinding CueFactor(float factor)
{
    return FloatIs(&Settings::depth_cue_factor, factor);
}
constexpr SettingBinding Quality(int32_t quality, bool fallback = false)
{
    return IntIs(&Settings::mapping_texture_quality, quality, fallback);
}
constexpr SettingBinding SnapshotEdge(int32_t edge)
{
    return IntIs(&Settings::current_snapshot_size, edge);
}

constexpr CommandRow kCommands[] = {
    // File
    {.number = ClearRecentReads, .menu = kRecentReads, .text = "&Clear List", .handler = commands::ClearRecentReads},
    {.number = ClearRecentWrites, .menu = kRecentWrites, .text = "&Clear List",
     .handler = commands::ClearRecentWrites},
    {.number = Open, .menu = kFile, .text = "&Open...", .separatorBefore = true, .handler = commands::Open,
     .alias = ButtonOpen, .button = {1, "Open", "Open File"}, .shortcut = "Ctrl+O"},
    {.number = SaveAs, .menu = kFile, .text = "&Save As...", .availability = WithModel, .handler = commands::SaveAs,
     .alias = ButtonSave, .button = {2, "Save", "Save File"}, .shortcut = "Ctrl+S"},
    {.number = Close, .menu = kFile, .text = "&Close", .availability = WithModel, .handler = commands::Close,
     .alias = ButtonClose, .shortcut = "Ctrl+W"},
    {.number = ExportImage, .menu = kFile, .text = "Export 2D Image...", .separatorBefore = true,
     .handler = commands::ExportImage},
    {.number = ExportHtml, .menu = kFile, .text = "Export HTML...", .availability = WithModel,
     .handler = commands::ExportHtml},
    {.number = ExportToPrinter, .menu = kFile, .text = "Export To Printer...", .handler = commands::ExportToPrinter},
    {.number = FileBrowser, .menu = kFile, .text = "Open File Browser...", .separatorBefore = true, .kind = Toggle,
     .setting = Flag(&Settings::file_browser), .handler = commands::FileBrowser},
    {.number = FileInfo, .menu = kFile, .text = "Open 3D File Info...", .kind = Toggle,
     .setting = Flag(&Settings::model_info), .availability = WithModel, .handler = commands::FileInfo},
    {.number = Quit, .menu = kFile, .text = "&Quit", .separatorBefore = true, .handler = commands::Quit,
     .shortcut = "Ctrl+Q"},

    // Display
    {.number = CopyToClipboard, .menu = kDisplay, .text = "Copy to Clipboard", .handler = commands::CopyToClipboard},
    {.number = ResetView, .menu = kDisplay, .text = "Reset View", .separatorBefore = true,
     .availability = WithModel, .handler = commands::ResetView},
    {.number = TakeSnapshot, .menu = kDisplay, .text = "Take Scene Snapshot", .availability = WithModel,
     .handler = commands::TakeSnapshot},
    {.number = ClearSnapshots, .menu = kDisplay, .text = "Clear All Snapshots", .availability = WithSnapshots,
     .handler = commands::ClearSnapshots},
    {.number = Solid, .menu = kDisplay, .text = "Solid", .separatorBefore = true, .kind = Radio,
     .group = DisplayMode, .setting = Flag(&Settings::solid), .handler = commands::DisplayMode,
     .alias = ButtonSolid, .button = {9, "Solid", "Solid Display"}},
    {.number = Wireframe, .menu = kDisplay, .text = "Wireframe", .kind = Radio, .group = DisplayMode,
     .setting = Flag(&Settings::wireframe), .handler = commands::DisplayMode, .alias = ButtonWire,
     .button = {7, "Wire", "Wireframe Display"}},
    {.number = HiddenLines, .menu = kDisplay, .text = "Hidden Lines Removed", .kind = Radio, .group = DisplayMode,
     .setting = Flag(&Settings::hidden_lines), .handler = commands::DisplayMode, .alias = ButtonLine,
     .button = {8, "Line", "Hidden Lines Removed Display"}},
    {.number = Lighting, .menu = kDisplay, .text = "Lighting On", .separatorBefore = true, .kind = Toggle,
     .setting = Flag(&Settings::light), .handler = commands::Lighting, .alias = ButtonLight,
     .button = {12, "Light", "Toggle Lighting"}},
    {.number = Texturing, .menu = kDisplay, .text = "Texturing On", .kind = Toggle,
     .setting = Flag(&Settings::texturing), .handler = commands::Texturing, .alias = ButtonTexture,
     .button = {11, "Texture", "Toggle Texturing"}},
    {.number = Culling, .menu = kDisplay, .text = "Culling On", .kind = Toggle, .setting = Flag(&Settings::culling),
     .handler = commands::Culling},
    {.number = Axes, .menu = kDisplay, .text = "Model's Axes", .separatorBefore = true, .kind = Toggle,
     .setting = Flag(&Settings::axes), .alias = ButtonAxes, .button = {15, "Axes", "Show Model's Axes"}},
    {.number = PivotPoint, .menu = kDisplay, .text = "Pivot Point", .kind = Toggle,
     .setting = Flag(&Settings::show_pivot), .alias = ButtonPivot, .button = {16, "Pivot", "Show Pivot Point"}},
    {.number = BoundingBox, .menu = kDisplay, .text = "Bounding Box", .kind = Toggle,
     .setting = Flag(&Settings::bounding_box), .alias = ButtonBox, .button = {14, "Box", "Show Bounding Box"}},
    {.number = EyeFilter, .menu = kDisplay, .text = "Eye Filter...", .handler = commands::EyeFilter},

    // Scene
    {.number = BackgroundColor, .menu = kScene, .text = "Background Color...", .handler = commands::BackgroundColor,
     .alias = ButtonBackground},
    {.number = BackgroundTexture, .menu = kScene, .text = "Background Texture...",
     .handler = commands::BackgroundTexture},
    {.number = DepthCueOff, .menu = kDepthCueing, .text = "OFF", .separatorBefore = true, .kind = Radio,
     .group = DepthCue, .setting = CueFactor(0.0f)},
    {.number = 40052, .menu = kDepthCueing, .text = "10%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.01f)},
    {.number = 40053, .menu = kDepthCueing, .text = "20%", .kind = Radio, .group = DepthCue,
     .setting = CueFactor(0.075f)},
    {.number = 40054, .menu = kDepthCueing, .text = "30%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.15f)},
    {.number = 40055, .menu = kDepthCueing, .text = "40%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.35f)},
    {.number = 40056, .menu = kDepthCueing, .text = "50%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.5f)},
    {.number = 40057, .menu = kDepthCueing, .text = "60%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.6f)},
    {.number = 40058, .menu = kDepthCueing, .text = "70%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.7f)},
    {.number = 40059, .menu = kDepthCueing, .text = "80%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.8f)},
    {.number = 40060, .menu = kDepthCueing, .text = "90%", .kind = Radio, .group = DepthCue, .setting = CueFactor(0.9f)},
    {.number = DepthCue99, .menu = kDepthCueing, .text = "99%", .kind = Radio, .group = DepthCue,
     .setting = CueFactor(0.99f)},
    {.number = DepthCueColor, .menu = kScene, .text = "Depth Cueing Color...", .handler = commands::DepthCueColor},
    {.number = LightColor, .menu = kScene, .text = "Light Color...", .handler = commands::LightColor},
    {.number = GammaCorrection, .menu = kScene, .text = "Gamma Correction...", .separatorBefore = true,
     .handler = commands::GammaCorrection},

    // Mesh
    {.number = MaterialDialog, .menu = kMesh, .text = "Material...", .availability = WithModel,
     .handler = commands::Material, .alias = ButtonMaterial},
    {.number = TextureMap, .menu = kMesh, .text = "Texture Map...", .availability = WithModel,
     .handler = commands::TextureMap},
    {.number = Scale, .menu = kMesh, .text = "Scale...", .availability = WithModel, .handler = commands::Scale},
    {.number = Decimate, .menu = kMesh, .text = "Decimate...", .availability = WithModel,
     .handler = commands::Decimate},
    {.number = Triangulate, .menu = kMesh, .text = "Triangulate", .availability = WithModel,
     .handler = commands::Triangulate},
    {.number = GenerateLightData, .menu = kMesh, .text = "Generate Normals", .availability = WithModel,
     .handler = commands::GenerateNormals},
    {.number = InvertNormals, .menu = kMesh, .text = "Invert Normals", .availability = WithModel,
     .handler = commands::InvertNormals},

    // Options. Texture quality 2 and values outside 0..5 show as "Low".
    {.number = QualityVeryHigh, .menu = kTextureQuality, .text = "Very High", .kind = Radio, .group = TextureQuality,
     .setting = Quality(5), .handler = commands::TextureQuality},
    {.number = QualityHigh, .menu = kTextureQuality, .text = "High", .kind = Radio, .group = TextureQuality,
     .setting = Quality(4), .handler = commands::TextureQuality},
    {.number = QualityNormal, .menu = kTextureQuality, .text = "Normal", .kind = Radio, .group = TextureQuality,
     .setting = Quality(3), .handler = commands::TextureQuality},
    {.number = QualityLow, .menu = kTextureQuality, .text = "Low", .kind = Radio, .group = TextureQuality,
     .setting = Quality(2, true), .handler = commands::TextureQuality},
    {.number = QualityVeryLow, .menu = kTextureQuality, .text = "Very Low", .kind = Radio, .group = TextureQuality,
     .setting = Quality(1), .handler = commands::TextureQuality},
    {.number = QualityMinimal, .menu = kTextureQuality, .text = "Minimal", .kind = Radio, .group = TextureQuality,
     .setting = Quality(0), .handler = commands::TextureQuality},
    {.number = SnapshotLargest, .menu = kSnapshotSize, .text = "Lar&gest", .kind = Radio, .group = ThumbnailSize,
     .setting = SnapshotEdge(250), .handler = commands::SnapshotSize},
    {.number = SnapshotLarger, .menu = kSnapshotSize, .text = "&Larger", .kind = Radio, .group = ThumbnailSize,
     .setting = SnapshotEdge(200), .handler = commands::SnapshotSize},
    {.number = SnapshotNormal, .menu = kSnapshotSize, .text = "&Normal", .kind = Radio, .group = ThumbnailSize,
     .setting = SnapshotEdge(150), .handler = commands::SnapshotSize},
    {.number = SnapshotSmaller, .menu = kSnapshotSize, .text = "&Smaller", .kind = Radio, .group = ThumbnailSize,
     .setting = SnapshotEdge(100), .handler = commands::SnapshotSize},
    {.number = SnapshotSmallest, .menu = kSnapshotSize, .text = "Sm&allest", .kind = Radio, .group = ThumbnailSize,
     .setting = SnapshotEdge(50), .handler = commands::SnapshotSize},
    {.number = RotateMode, .menu = kMouseMode, .text = "Rotate Mode", .separatorBefore = true, .kind = Radio,
     .group = MouseMode, .setting = Flag(&Settings::rotate_mode), .handler = commands::RotateMode,
     .alias = ButtonRotate, .button = {4, "Rotate", "Switch to ROTATION mode"}},
    {.number = FlyMode, .menu = kMouseMode, .text = "Fly Mode", .kind = Radio, .group = MouseMode,
     .setting = Flag(&Settings::fly_mode), .alias = ButtonFly, .button = {5, "Fly", "Switch to FLY mode"}},
    {.number = PivotCenter, .menu = kPivot, .text = "Center", .kind = Radio, .group = Pivot,
     .setting = Flag(&Settings::pivot_center)},
    {.number = PivotMass, .menu = kPivot, .text = "Center Of Geometric Mass", .kind = Radio, .group = Pivot,
     .setting = Flag(&Settings::pivot_mass)},
    {.number = PivotOrigin, .menu = kPivot, .text = "Model's Origin", .kind = Radio, .group = Pivot,
     .setting = Flag(&Settings::pivot_origin)},
    {.number = ZoomDependentRotation, .menu = kOptions, .text = "Zoom Dependent Rotation Speed", .kind = Toggle,
     .setting = Flag(&Settings::diff_zoom)},
    {.number = Spin, .menu = kOptions, .text = "Spin (Hands-Free Rotation)", .kind = Toggle,
     .setting = Flag(&Settings::inertial_rotation), .handler = commands::Spin, .alias = ButtonSpin,
     .button = {18, "Spin", "Toggle Hands-Free Rotation"}},
    {.number = AlwaysOnTop, .menu = kOptions, .text = "Solvane Always On Top", .separatorBefore = true,
     .kind = Toggle, .setting = Flag(&Settings::always_on_top), .handler = commands::AlwaysOnTop},
    {.number = DockableWindows, .menu = kOptions, .text = "Dockable Windows", .kind = Toggle,
     .setting = Flag(&Settings::dock), .handler = commands::DockableWindows},
    {.number = SaveAllSettings, .menu = kOptions, .text = "Save A&ll Settings", .separatorBefore = true,
     .handler = commands::SaveAllSettings},
    {.number = SaveSettingsOnExit, .menu = kOptions, .text = "Save Settings On Exit", .kind = Toggle,
     .setting = Flag(&Settings::save_settings)},
    {.number = ConfigurationWizard, .menu = kOptions, .text = "Configuration Wizard...", .separatorBefore = true,
     .handler = commands::RunWizard},

    // Help
    {.number = HardwareReport, .menu = kHelp, .text = "3D Hardware Report...", .handler = commands::HardwareReport},
    {.number = UserGuide, .menu = kHelp, .text = "Online User's Guide...", .separatorBefore = true,
     .handler = commands::UserGuide, .shortcut = "F1"},
    {.number = Faq, .menu = kHelp, .text = "Online FAQ...", .handler = commands::Faq},
    {.number = About, .menu = kHelp, .text = "A&bout...", .separatorBefore = true, .handler = commands::About},
};

bool Holds(const SettingBinding& binding, const Settings& settings)
{
    switch (binding.kind) {
    case SettingBinding::Kind::Flag: return settings.*binding.flag != 0;
    case SettingBinding::Kind::Int: return settings.*binding.intField == binding.intValue;
    case SettingBinding::Kind::Float: return settings.*binding.floatField == binding.floatValue;
    case SettingBinding::Kind::None: break;
    }
    return false;
}

}  // namespace

std::span<const CommandRow> CommandTable()
{
    return kCommands;
}

const CommandRow* FindCommand(int number)
{
    for (const CommandRow& row : kCommands) {
        if (row.number == number || (row.alias != 0 && row.alias == number)) return &row;
    }
    return nullptr;
}

bool IsChecked(const CommandRow& row, const Settings& settings)
{
    if (Holds(row.setting, settings)) return true;
    if (!row.setting.fallback) return false;
    for (const CommandRow& other : kCommands) {
        if (other.group == row.group && Holds(other.setting, settings)) return false;
    }
    return true;
}

bool IsAvailableYet(const CommandRow& row)
{
    return row.kind != CommandKind::Push || row.handler != nullptr;
}

void ApplySetting(const CommandRow& row, Settings& settings)
{
    if (row.kind == CommandKind::Toggle && row.setting.kind == SettingBinding::Kind::Flag) {
        uint8_t& flag = settings.*row.setting.flag;
        flag = !flag;
        return;
    }
    if (row.kind != CommandKind::Radio) return;
    for (const CommandRow& member : kCommands) {
        if (member.group != row.group) continue;
        const SettingBinding& binding = member.setting;
        if (binding.kind == SettingBinding::Kind::Flag) settings.*binding.flag = &member == &row;
    }
    if (row.setting.kind == SettingBinding::Kind::Int) settings.*row.setting.intField = row.setting.intValue;
    if (row.setting.kind == SettingBinding::Kind::Float) settings.*row.setting.floatField = row.setting.floatValue;
}

}  // namespace solvane
