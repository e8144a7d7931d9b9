// The command table and what the window builds from it: the table's own consistency, the menus
// and the tool band, check marks from stored settings, and the commands that need a model.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <set>

#include "app/command_table.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::ModalWatcher;
using test::SamplePath;
using test::Session;
using test::WaitUntil;

// Rows that later commands are added to must stay consistent: one row per number and alias, a
// setting for every toggle and radio row, a group for every radio row, an alias for every button.
TEST(CommandTable, RowsAreConsistent)
{
    std::set<int> numbers;
    std::set<int> buttonSlots;
    for (const CommandRow& row : CommandTable()) {
        SCOPED_TRACE(row.number);
        EXPECT_TRUE(numbers.insert(row.number).second) << "number used twice";
        if (row.alias != 0) {
            EXPECT_TRUE(numbers.insert(row.alias).second) << "alias used twice";
            EXPECT_GE(row.alias, 1);
            EXPECT_LE(row.alias, 18);
            EXPECT_EQ(FindCommand(row.alias), &row);
        }
        EXPECT_EQ(FindCommand(row.number), &row);
        ASSERT_NE(row.menu, nullptr);
        ASSERT_NE(row.text, nullptr);
        switch (row.kind) {
        case CommandKind::Push:
            EXPECT_EQ(row.setting.kind, SettingBinding::Kind::None);
            EXPECT_EQ(row.group, RadioGroup::None);
            break;
        case CommandKind::Toggle:
            EXPECT_EQ(row.setting.kind, SettingBinding::Kind::Flag);
            EXPECT_EQ(row.group, RadioGroup::None);
            break;
        case CommandKind::Radio:
            EXPECT_NE(row.setting.kind, SettingBinding::Kind::None);
            EXPECT_NE(row.group, RadioGroup::None);
            break;
        }
        if (row.button.slot != 0) {
            EXPECT_NE(row.alias, 0) << "a button is reached through its alias";
            EXPECT_TRUE(buttonSlots.insert(row.button.slot).second) << "slot used twice";
            EXPECT_NE(row.button.label, nullptr);
            EXPECT_NE(row.button.tooltip, nullptr);
        }
    }
    EXPECT_EQ(FindCommand(39999), nullptr);
    EXPECT_EQ(FindCommand(12), nullptr);  // an alias no command has
}

// Choosing a radio row clears the flags of its group or sets the shared field; a toggle flips.
TEST(CommandTable, ApplyingRowsChangesTheirSettings)
{
    Settings settings = DefaultSettings();
    ApplySetting(*FindCommand(command::Wireframe), settings);
    EXPECT_EQ(settings.wireframe, 1);
    EXPECT_EQ(settings.solid, 0);
    EXPECT_EQ(settings.hidden_lines, 0);
    ApplySetting(*FindCommand(command::DepthCueOff + 2), settings);
    EXPECT_EQ(settings.depth_cue_factor, 0.075f);  // "20%" is 0.075
    ApplySetting(*FindCommand(command::QualityVeryHigh), settings);
    EXPECT_EQ(settings.mapping_texture_quality, 5);
    ApplySetting(*FindCommand(command::PivotOrigin), settings);
    EXPECT_EQ(settings.pivot_center, 0);
    EXPECT_EQ(settings.pivot_origin, 1);
    ApplySetting(*FindCommand(command::ButtonAxes), settings);
    EXPECT_EQ(settings.axes, 0);
    ApplySetting(*FindCommand(command::Axes), settings);
    EXPECT_EQ(settings.axes, 1);
}

// Each menu's entries: "-" a separator, ">" a submenu.
QString MenuLayout(const QMenu* menu)
{
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) entries << "-";
        else if (action->menu()) entries << action->text() + ">";
        else entries << action->text();
    }
    return entries.join(" | ");
}

TEST(CommandsGui, MenusAndToolBandFollowTheTable)
{
    test::FreshSession s;
    QStringList menus;
    for (const QAction* top : s.window->menuBar()->actions()) menus << top->text() + ": " + MenuLayout(top->menu());
    EXPECT_EQ(menus, QStringList({
                         "&File: &Recent Reads> | Recent Writes> | - | &Open... | &Save As... | &Close | - | "
                         "Export 2D Image... | Export HTML... | Export To Printer... | - | "
                         "Open File Browser... | Open 3D File Info... | - | &Quit",
                         "&Display: Copy to Clipboard | - | Reset View | Take Scene Snapshot | Clear All Snapshots | - | "
                         "Solid | Wireframe | "
                         "Hidden Lines Removed | - | Lighting On | Texturing On | Culling On | - | Model's Axes | "
                         "Pivot Point | Bounding Box | Eye Filter...",
                         "Scene: Background Color... | Background Texture... | - | Depth Cueing> | "
                         "Depth Cueing Color... | Light Color... | - | Gamma Correction...",
                         "Mesh: Material... | Texture Map... | Scale... | Decimate... | Triangulate | "
                         "Generate Normals | Invert Normals",
                         "&Options: Texture Quality> | Snapshot Size> | - | Mouse Mode> | Pivot Point> | "
                         "Zoom Dependent Rotation Speed | Spin (Hands-Free Rotation) | - | Solvane Always On Top | "
                         "Dockable Windows | - | Save A&ll Settings | Save Settings On Exit | - | Configuration Wizard...",
                         "&Help: 3D Hardware Report... | - | Online User's Guide... | Online FAQ... | - | A&bout...",
                     }));
    const QMenu* options = s.window->menuBar()->actions()[4]->menu();
    EXPECT_EQ(MenuLayout(options->actions()[0]->menu()), "Very High | High | Normal | Low | Very Low | Minimal");
    const QMenu* scene = s.window->menuBar()->actions()[2]->menu();
    EXPECT_EQ(MenuLayout(scene->actions()[3]->menu()), "OFF | 10% | 20% | 30% | 40% | 50% | 60% | 70% | 80% | 90% | 99%");

    // The command numbers of the entries added to the Mesh and Scene menus.
    for (const auto& [number, text] : {std::pair{40038, "Background Texture..."}, {40095, "Light Color..."},
                                       {40240, "Texture Map..."}, {40112, "Scale..."}, {40234, "Decimate..."}}) {
        EXPECT_EQ(s.window->MenuAction(number)->text(), text) << number;
    }

    QStringList tools;
    for (const QAction* action : s.window->ToolBand()->actions()) tools << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(tools.join(" "), "Open Save - Rotate Fly - Wire Line Solid - Texture Light - Box Axes Pivot - Spin");
    EXPECT_EQ(s.window->ToolButton(command::ButtonSpin)->toolTip(), "Toggle Hands-Free Rotation");
    EXPECT_FALSE(s.window->ToolButton(command::ButtonOpen)->isCheckable());
}

// Check marks come from the stored settings, including values no item has.
TEST(CommandsGui, CheckMarksFollowTheStoredSettings)
{
    test::FreshStore store;
    Settings stored = DefaultSettings();
    stored.mapping_texture_quality = 7;  // no item: shown as "Low"
    stored.depth_cue_factor = 0.35f;     // "40%", stored as 3 tenths: reads back 0.3, no item
    stored.solid = 0;
    stored.wireframe = 1;
    stored.rotate_mode = 0;
    stored.fly_mode = 1;
    stored.pivot_center = 0;
    stored.pivot_mass = 1;
    stored.axes = 0;
    stored.culling = 0;
    WriteAll(stored);
    Session s;
    auto checked = [&](int command) { return s.window->MenuAction(command)->isChecked(); };
    EXPECT_TRUE(checked(command::QualityLow));
    EXPECT_FALSE(checked(command::QualityNormal));
    for (int item = command::DepthCueOff; item <= command::DepthCue99; ++item) EXPECT_FALSE(checked(item)) << item;
    EXPECT_TRUE(checked(command::Wireframe));
    EXPECT_FALSE(checked(command::Solid));
    EXPECT_TRUE(s.window->ToolButton(command::ButtonWire)->isChecked());
    EXPECT_FALSE(s.window->ToolButton(command::ButtonSolid)->isChecked());
    EXPECT_TRUE(checked(command::FlyMode));
    EXPECT_TRUE(s.window->ToolButton(command::ButtonFly)->isChecked());
    EXPECT_FALSE(s.window->ToolButton(command::ButtonRotate)->isChecked());
    EXPECT_TRUE(checked(command::PivotMass));
    EXPECT_FALSE(checked(command::PivotCenter));
    EXPECT_FALSE(checked(command::Axes));
    EXPECT_FALSE(checked(command::Culling));
    EXPECT_TRUE(checked(command::SaveSettingsOnExit));

    // A quality item moves the mark from the fallback to itself.
    s.Trigger(command::QualityHigh);
    EXPECT_EQ(s.settings.mapping_texture_quality, 4);
    EXPECT_TRUE(checked(command::QualityHigh));
    EXPECT_FALSE(checked(command::QualityLow));
}

// Every model-dependent command is greyed without a model and ignored when dispatched anyway;
// all of them are enabled while a model is shown, and a short alias reaches its command.
TEST(CommandsGui, ModelCommandsNeedAModel)
{
    test::FreshSession s;
    auto enabled = [&](bool expected) {
        for (const CommandRow& row : CommandTable()) {
            if (row.availability != Availability::WithModel || !IsAvailableYet(row)) continue;
            EXPECT_EQ(s.window->MenuAction(row.number)->isEnabled(), expected) << row.text;
        }
    };
    enabled(false);
    ModalWatcher noBox;
    noBox.Arm();
    for (int command : {command::MaterialDialog, command::ButtonMaterial, command::TextureMap, command::Scale,
                        command::Decimate, command::Triangulate, command::GenerateLightData, command::InvertNormals,
                        command::ResetView, command::Close}) {
        s.window->DispatchCommand(command);
    }
    QTest::qWait(200);
    EXPECT_FALSE(noBox.seen) << noBox.title.toStdString();
    EXPECT_EQ(s.window->CurrentModel(), nullptr);

    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    enabled(true);
    s.window->DispatchCommand(command::ButtonClose);
    EXPECT_EQ(s.window->CurrentModel(), nullptr);
    EXPECT_EQ(s.window->windowTitle(), "Solvane Viewer");
    enabled(false);
    s.window->DispatchCommand(40099);  // unknown: ignored
}

}  // namespace
}  // namespace solvane
